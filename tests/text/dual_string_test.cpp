#include "text/dual_string.h"

#include <gtest/gtest.h>

#include <cstring>

#include "text/format.h"

namespace pelmora {
namespace {

// The same table runs on the native build (iconv) and under Wine (code page 932): both
// converters must agree on valid text, unmappable characters and invalid bytes.
TEST(CodePage, ConversionsAgreeOnEveryBuild) {
    const struct {
        char way;  // '=' both ways, '>' bytes to wide only, '<' wide to bytes only
        std::string bytes;
        std::u16string wide;
    } cases[] = {
        {'=', "Re: \x82\xa0\x8a\xbf", u"Re: あ漢"},
        {'=', "\xb1\xb2", u"ｱｲ"},                     // half-width katakana
        {'=', "\x5c", u"\\"},                         // the yen sign byte stays backslash
        {'=', "\x87\x40\x87\x8a\x87\x5f", u"①㈱㍉"},  // NEC row 13
        {'=', "\xfa\x40\xfa\x5c", u"ⅰ纊"},            // IBM extension kanji
        {'=', "\xf0\x40", u"\ue000"},                 // user-defined area
        {'>', "\xed\x40", u"纊"},                     // NEC-selected IBM extension
        {'>', "a\x81", u"a\u30fb"},                   // lone lead byte at the end
        {'>', std::string("\x81\0b", 3), std::u16string(u"\u30fb\0b", 3)},
        {'>', "\x81\x20z", u"\u30fbz"},  // an invalid trail is swallowed
        {'>', "\x85\x40", u"\u30fb"},    // unassigned pair
        {'>', "\x80\xa0\xfd\xfe\xff", u"\u0080\uf8f0\uf8f1\uf8f2\uf8f3"},
        {'<', "\x81\xe0\x81\xca\x81\xe6", u"≒¬∵"},        // duplicates take the JIS X 0208 code
        {'<', "???", u"가\U0001F600"},                    // unmappable, surrogate pair
        {'<', "?", std::u16string(1, char16_t(0xD83D))},  // lone surrogate
        {'<', "e\\c", u"é¥©"},                            // best fit for Latin letters
        {'<', "?\x81\x60", u"\u301c\uff5e"},              // wave dash has no mapping
    };
    for (const auto& c : cases) {
        if (c.way != '<') {
            EXPECT_EQ(ToWide(c.bytes), c.wide) << testing::PrintToString(c.bytes);
        }
        if (c.way != '>') {
            EXPECT_EQ(ToMultibyte(c.wide), c.bytes) << testing::PrintToString(c.bytes);
        }
    }
}

TEST(DualString, MirrorFollowsEveryChange) {
    DualString s(u"x");
    s.Assign(u"");
    EXPECT_EQ(s.Multibyte(), "");
    s.AssignMultibyte("\x82\xa0", 2);
    EXPECT_EQ(s.Wide(), u"あ");
    s.AssignMultibyte("", 0);
    EXPECT_EQ(s.Multibyte(), "");
    s.Append(u"a").AppendMultibyte("\x82\xa2", 2).Append(DualString(u"b")).Append(u'c');
    s.Append(static_cast<const char16_t*>(nullptr));
    EXPECT_EQ(s.Wide(), u"aいbc");
    EXPECT_EQ(s.Multibyte(), std::string("a\x82\xa2") + "bc");
    // Comparisons are ordinal.
    s = u"abc";
    EXPECT_EQ(s.Compare(u"abc"), 0);
    EXPECT_LT(s.Compare(u"abd"), 0);
    EXPECT_TRUE(s == u"abc" && !(s == u"abc "));
    EXPECT_LT(s.Compare(static_cast<const char16_t*>(nullptr)), 0);
    EXPECT_EQ(DualString(u"ActiveSync").Compare(DualString(u"activesync")), -1);
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
    moved.AssignMultibyte(raw);  // assignment is the round trip
    EXPECT_EQ(moved.Multibyte(), copy.Multibyte());
}

TEST(DualString, EditBufferTakesTextUpToNul) {
    DualString s(u"hello");
    char16_t* b = s.GetBuffer(3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::u16string(b), u"hel");
    std::memcpy(b, u"H\0x", 3 * sizeof(char16_t));
    s.ReleaseBuffer();
    EXPECT_EQ(s.Multibyte(), "H");
    std::memcpy(s.GetBuffer(10), u"abcdef", 7 * sizeof(char16_t));
    s.ReleaseBuffer(4);
    s.ReleaseBuffer(2);  // no edit buffer: nothing happens
    EXPECT_EQ(s.Wide(), u"abcd");
}

TEST(DualString, FormatCutsAt1023) {
    DualString s;
    s.Format(u"%d|%u|%04X|%-3s|%c|%%|%5d", -12, 7u, 0xbeefu, u"a", 'z', 42);
    EXPECT_EQ(s.Wide(), u"-12|7|BEEF|a  |z|%|   42");
    std::u16string big(2000, u'x');
    s.Format(u"%s", big.c_str());
    EXPECT_EQ(s.Length(), 1023u);
    s.Format(nullptr);
    EXPECT_EQ(s.Length(), 1023u);
}

}  // namespace
}  // namespace pelmora
