#include "text/dual_string.h"

#include <gtest/gtest.h>

#include <cstring>

#include "text/format.h"

namespace pelmora {
namespace {

// The same table runs on the native build (iconv) and under Wine (code page 932): both
// converters must agree on valid text, unmappable characters and invalid bytes.
struct AnsiCase {
    const char* name;
    std::string bytes;
    std::u16string wide;
};

const AnsiCase kToWide[] = {
    {"ascii", "Re: hello", u"Re: hello"},
    {"kana and kanji", "\x82\xa0\x8a\xbf", u"あ漢"},
    {"half-width katakana", "\xb1\xb2", u"ｱｲ"},
    {"yen sign byte stays backslash", "\x5c", u"\\"},
    {"NEC row 13", "\x87\x40\x87\x8a\x87\x5f", u"①㈱㍉"},
    {"IBM extension kanji", "\xfa\x40\xfa\x5c", u"ⅰ纊"},
    {"NEC-selected IBM extension", "\xed\x40", u"纊"},
    {"user-defined area", "\xf0\x40", u"\ue000"},
    {"lone lead byte at the end", "a\x81", u"a\u30fb"},
    {"lead byte before NUL", std::string("\x81\0b", 3), std::u16string(u"\u30fb\0b", 3)},
    {"lead byte with invalid trail swallows it", "\x81\x20z", u"\u30fbz"},
    {"unassigned pair", "\x85\x40", u"\u30fb"},
    {"single bytes without a character", "\x80\xa0\xfd\xfe\xff", u"\u0080\uf8f0\uf8f1\uf8f2\uf8f3"},
};

TEST(CodePage, BytesToWideAgreeOnEveryBuild) {
    for (const AnsiCase& c : kToWide) {
        EXPECT_EQ(ToWide(c.bytes), c.wide) << c.name;
    }
}

struct WideCase {
    const char* name;
    std::u16string wide;
    std::string bytes;
};

const WideCase kToAnsi[] = {
    {"kana", u"つさ", "\x82\xc2\x82\xb3"},
    {"NEC special", u"①", "\x87\x40"},
    {"duplicate code points take the NEC row", u"≒¬∵", "\x81\xe0\x81\xca\x81\xe6"},
    {"hangul is unmappable", u"가", "?"},
    {"emoji surrogate pair", u"\U0001F600", "??"},
    {"lone surrogate", std::u16string(1, char16_t(0xD83D)), "?"},
    {"best fit for Latin letters", u"é¥©", "e\\c"},
    {"wave dash has no mapping, full-width tilde has", u"\u301c\uff5e", "?\x81\x60"},
    {"private use round-trips", u"\ue000", "\xf0\x40"},
};

TEST(CodePage, WideToBytesAgreeOnEveryBuild) {
    for (const WideCase& c : kToAnsi) {
        EXPECT_EQ(ToMultibyte(c.wide), c.bytes) << c.name;
    }
}

TEST(DualString, MirrorFollowsEveryChange) {
    DualString s(u"x");
    EXPECT_EQ(s.Multibyte(), "x");
    s.Assign(u"");
    EXPECT_EQ(s.Multibyte(), "");
    s.AssignMultibyte("\x82\xa0", 2);
    EXPECT_EQ(s.Wide(), u"あ");
    s.AssignMultibyte("", 0);
    EXPECT_TRUE(s.Empty());
    EXPECT_EQ(s.Multibyte(), "");
    s.Append(u"a").AppendMultibyte("\x82\xa2", 2).Append(DualString(u"b")).Append(u'c');
    EXPECT_EQ(s.Wide(), u"aいbc");
    EXPECT_EQ(s.Multibyte(),
              "a\x82\xa2"
              "bc");
    s.Append(static_cast<const char16_t*>(nullptr));
    EXPECT_EQ(s.Wide(), u"aいbc");
}

TEST(DualString, ConstructionFromBytesKeepsThemUntilChanged) {
    // Raw ISO-2022-JP and bytes the code page cannot represent survive in the mirror.
    const std::string raw = "\x1b$B$D$5\x1b(B \x85\x40 \x81";
    DualString s = DualString::FromMultibyte(raw);
    EXPECT_EQ(s.Multibyte(), raw);
    DualString copy = s;  // a copy rebuilds its mirror from the wide text
    EXPECT_NE(copy.Multibyte(), raw);
    DualString moved = std::move(s);
    EXPECT_EQ(moved.Multibyte(), raw);
    moved.Append(u"!");
    EXPECT_EQ(moved.Multibyte(), ToMultibyte(moved.Wide()));
    DualString assigned;
    assigned.AssignMultibyte(raw);  // assignment is the round trip
    EXPECT_EQ(assigned.Multibyte(), copy.Multibyte());
}

TEST(DualString, ComparesOrdinally) {
    DualString s(u"abc");
    EXPECT_EQ(s.Compare(u"abc"), 0);
    EXPECT_LT(s.Compare(u"abd"), 0);
    EXPECT_GT(s.Compare(u"ABC"), 0);
    EXPECT_LT(s.Compare(static_cast<const char16_t*>(nullptr)), 0);
    EXPECT_TRUE(s == u"abc");
    EXPECT_FALSE(s == u"abc ");
    EXPECT_EQ(DualString(u"ActiveSync").Compare(DualString(u"activesync")), -1);
}

TEST(DualString, EditBufferTakesTextUpToNul) {
    DualString s(u"hello");
    char16_t* b = s.GetBuffer(3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::u16string(b), u"hel");
    b[0] = u'H';
    b[2] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(s.Wide(), u"He");
    EXPECT_EQ(s.Multibyte(), "He");
    b = s.GetBuffer(10);
    std::memcpy(b, u"abcdef", 7 * sizeof(char16_t));
    s.ReleaseBuffer(4);
    EXPECT_EQ(s.Wide(), u"abcd");
    s.ReleaseBuffer(2);  // no edit buffer: nothing happens
    EXPECT_EQ(s.Wide(), u"abcd");
}

TEST(DualString, FormatCutsAt1023) {
    DualString s;
    s.Format(u"\\Program Files\\%s\\%s", u"Pelmora", u"Pelmora.ini");
    EXPECT_EQ(s.Wide(), u"\\Program Files\\Pelmora\\Pelmora.ini");
    s.Format(u"%d|%u|%04X|%-3s|%c|%%|%5d", -12, 7u, 0xbeefu, u"a", 'z', 42);
    EXPECT_EQ(s.Wide(), u"-12|7|BEEF|a  |z|%|   42");
    std::u16string big(2000, u'x');
    s.Format(u"%s", big.c_str());
    EXPECT_EQ(s.Length(), 1023u);
    s.Format(nullptr);
    EXPECT_EQ(s.Length(), 1023u);
}

TEST(DualString, NulTerminatedConversions) {
    EXPECT_EQ(WideFromAnsi(nullptr), nullptr);
    EXPECT_EQ(AnsiFromWide(nullptr), nullptr);
    auto w = WideFromAnsi("\x82\xa0z");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::u16string(w.get()), u"あz");
    auto a = AnsiFromWide(u"あz");
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a.get(), "\x82\xa0z");
}

}  // namespace
}  // namespace pelmora
