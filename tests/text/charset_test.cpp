// One table of charset conversions that both converters (the platform's multi-language
// service under Windows, iconv natively) must give the same way.
#include <gtest/gtest.h>

#include <string>

#include "text/mail_decode.h"

#ifdef _WIN32
#include <objbase.h>

namespace {
// The host initialises COM on its thread before any conversion; so do the tests.
class ComEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};
testing::Environment* const kCom = testing::AddGlobalTestEnvironment(new ComEnvironment);
}  // namespace
#endif

namespace pelmora {
namespace {

struct Case {
    const char16_t* charset;
    std::string bytes;
    std::u16string text;
};

// Left out on purpose, because the two converters differ there:
// - names only one of them knows: "cp932", "sjis", "utf8", "latin1", "ISO-2022-JP-2",
//   "_autodetect";
// - malformed double-byte text (Windows gives U+30FB and takes the next byte as the
//   trail, iconv gives U+FFFD), and UTF-8 surrogates or code points above U+10FFFF
//   (they differ in the number of U+FFFD);
// - the five bytes Windows-1252 leaves undefined (C1 controls on Windows, U+FFFD here),
//   EUC-JP's three-byte JIS X 0212 and its NEC row 13.
const Case kCases[] = {
    {u"utf-8", "\xE3\x81\x82\xF0\x9F\x98\x80", u"\u3042\U0001F600"},
    {u"UTF-8", "a\xC3\xA9", u"a\u00E9"},
    {u"utf-8", "\xC3", u"\uFFFD"},
    {u"utf-8", "\xFF\x41", u"\uFFFDA"},
    {u"utf-8", "\xC3(", u"\uFFFD("},
    {u"Shift_JIS", "\x82\xA0\xB1", u"\u3042\uFF71"},
    {u"shift_jis", "\x87\x40\x87\x8A\xED\x40\xFA\x40", u"\u2460\u3231\u7E8A\u2170"},
    {u"EUC-JP", "\xA4\xA2\x8E\xB1", u"\u3042\uFF71"},
    {u"ISO-8859-1", "\xE9\xFF\x80", u"\u00E9\u00FF\u0080"},
    {u"iso-8859-15", "\xA4\xA6\xB4", u"\u20AC\u0160\u017D"},
    {u"Windows-1252", "\x80\xE9", u"\u20AC\u00E9"},
    {u"GB2312", "\xC4\xE3\xBA\xC3", u"\u4F60\u597D"},
    {u"Big5", "\xA7\x41\xA6\x6E", u"\u4F60\u597D"},
    {u"EUC-KR", "\xC7\xD1\xB1\xDB", u"\uD55C\uAE00"},
    {u"ks_c_5601-1987", "\xBD\xBA\xC6\xBC\xC7\xD8", u"\uC2A4\uD2F0\uD574"},
    {u"KOI8-R", "\xF0\xF2\xC1", u"\u041F\u0420\u0430"},
    {u"utf-7", "+AGEAYgBj-", u"abc"},
    // The ISO-2022-JP family under other names goes to the platform converter.
    {u"csISO2022JP", "\x1b$B$D$5\x1b(B", u"\u3064\u3055"},
    // Our own path, with the vendor rows: ①, ㈱, ㍉, 纊 and ⅱ.
    {u"ISO-2022-JP", "\x1b$B-!-j-@y!|r\x1b(Bx", u"\u2460\u3231\u3349\u7E8A\u2171x"},
    {u"iso-2022-jp", "\x1b$B$D\x1b(B", u"\u3064"},
    {u"utf-8", "", u""},
    {u"utf-8", std::string("a\0b", 3), u"a"},
};

TEST(ConvertCharsetText, ConvertsTheCommonMailCharsets) {
    for (const Case& c : kCases) {
        std::u16string out = u"old";
        const std::string name(c.charset,
                               c.charset + std::char_traits<char16_t>::length(c.charset));
        ASSERT_TRUE(ConvertCharsetText(c.bytes.data(), c.bytes.size(), c.charset, out)) << name;
        EXPECT_EQ(out, c.text) << name;
        EXPECT_LE(out.size(), c.bytes.size()) << name;
    }
}

TEST(ConvertCharsetText, FailsForUsAsciiAndUnknownNames) {
    // UTF-16 and its kin cannot travel in NUL-terminated text and are refused too.
    const char16_t* names[] = {u"US-ASCII", u"us-ascii", u"x-unknown", u"",        u"utf-16",
                               u"UTF-16LE", u"unicode",  u"../utf-8",  u"utf-8//x"};
    for (const char16_t* name : names) {
        std::u16string out = u"kept";
        EXPECT_FALSE(ConvertCharsetText("AB", 2, name, out));
        EXPECT_EQ(out, u"kept");
    }
}

TEST(ConvertCharsetText, Iso2022Jp2EitherConvertsOrFails) {
    // Some converters do not know the name; none may crash on it or garble it.
    std::u16string out;
    if (ConvertCharsetText("\x1b$B$D$5\x1b(B", 10, u"ISO-2022-JP-2", out)) {
        EXPECT_EQ(out, u"\u3064\u3055");
    }
}

}  // namespace
}  // namespace pelmora
