#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/mail_decode.h"

namespace pelmora {
namespace {

// Decodes into an array of exactly the promised size plus a guard element.
std::u16string Header(const std::string& value) {
    std::vector<char16_t> out(value.size() + 2, u'G');
    const size_t n = DecodeHeaderText(value.data(), value.size(), out.data());
    EXPECT_LE(n, value.size());
    EXPECT_EQ(out[n], u'\0');
    EXPECT_EQ(out[value.size() + 1], u'G');
    return std::u16string(out.data(), n);
}

const char kTsuSa[] = "=?ISO-2022-JP?B?GyRCJEQkNRsoQg==?=";  // つさ

TEST(DecodeHeaderText, DecodesLiteralTextAndEncodedWords) {
    const std::string w = kTsuSa;
    struct Case {
        const char* name;
        std::string in;
        std::u16string out;
    } cases[] = {
        {"B word", w, u"つさ"},
        {"lower-case names", "=?iso-2022-jp?b?GyRCJEQkNRsoQg==?=", u"つさ"},
        {"literal before a word", "Re: " + w, u"Re: つさ"},
        {"space between words", w + " " + w, u"つさつさ"},
        {"folded words", w + "\r\n\t" + w, u"つさつさ"},
        {"space before literal", w + " x", u"つさ x"},
        {"space at the end", w + "  \r\n", u"つさ"},
        {"Q word", "=?US-ASCII?Q?a_b=3F?=", u"a b?"},
        {"underscore escaped", "=?US-ASCII?Q?a=5F_?=", u"a_ "},
        {"unknown encoding letter", "=?US-ASCII?X?a_b?=", u"a_b"},
        {"line ends dropped", "=?US-ASCII?Q?a=0D=0Ab?=", u"ab"},
        {"NUL inside a word", "=?US-ASCII?Q?a=00b?=c", u"ac"},
        {"unknown charset as ANSI", "=?x-unknown?B?gqA=?=", u"あ"},
        {"language tag", "=?ISO-2022-JP*ja?B?GyRCJEQkNRsoQg==?=", u"つさ"},
        {"UTF-8 word", "=?utf-8?B?44GC?= =?UTF-8?Q?=E3=81=84?=", u"あい"},
        {"Shift_JIS literal", "\x82\xA0 x", u"あ x"},
        {"unterminated word", "=?ISO-2022-JP?B?abc", u"=?ISO-2022-JP?B?abc"},
        {"no encoding field", "=?a?", u"=?a?"},
        {"bad word then good word", "=?x " + w, u"=?x つさ"},
        {"question at the end of text", "1+1=? " + w, u"1+1=? つさ"},
        {"raw ISO-2022-JP", "\x1b$B$D$5\x1b(B!", u"つさ!"},
        // The words keep their own characters when raw JIS is converted.
        {"raw JIS with a word", "\x1b$B$D\x1b(B =?UTF-8?B?w6k=?=", u"つ é"},
        {"NUL ends the value",
         std::string("ab\0"
                     "cd",
                     5),
         u"ab"},
        // From a real iPhone mail: テスト① with the NEC circled digit.
        {"vendor row in a word", "=?iso-2022-jp?B?GyRCJUYlOSVILSEbKEI=?=", u"テスト①"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Header(c.in), c.out) << c.name;
    }
}

TEST(DecodeHeaderText, StaysWithinTheValueForAnyBytes) {
    std::mt19937 rng(11);
    const char* pieces[] = {"=?",   "?=",  "?B?",  "?Q?",  "ISO-2022-JP", "utf-8",  "GyRC",
                            "_",    "=3D", " ",    "\r\n", "\x1b$B",      "\x1b(B", "\x0e",
                            "\x82", "$D",  "\x0f", "\x87", "!",           "*"};
    for (int round = 0; round < 1000; ++round) {
        std::string value;
        for (unsigned k = rng() % 16; k > 0; --k) {
            value += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        }
        Header(value);
    }
}

TEST(DecodeBodyText, TakesTheCharsetFromTheContentType) {
    const std::string jis = "\x1b$B$D\x1b(B\r\n";
    struct Case {
        const char* type;
        std::string body;
        std::u16string text;
    } cases[] = {
        {"text/plain; charset=\"ISO-2022-JP\"", jis, u"つ\r\n"},
        {"text/plain", jis, u"つ\r\n"},
        {"text/plain; charset=us-ascii", jis, u"つ\r\n"},
        {"text/plain", "\x82\xA0", u"あ"},
        {"text/plain; charset=x-unknown", jis, u"つ\r\n"},
        // No "=": the UTF-8 bytes are read as Shift_JIS.
        {"text/plain; charset", "\xE3\x81\x82\xE3\x81\x84", u"縺ゅ＞"},
        {"text/plain; charset=utf-8", "\xE3\x81\x82", u"あ"},
        {"text/plain; format=flowed; Charset = \"UTF-8\" ; delsp=yes", "\xE3\x81\x82", u"あ"},
        {"text/plain;\tcharset=utf-8 (comment)", "\xE3\x81\x82", u"あ"},
        {"text/plain; charset=euc-jp", "\xA4\xA2", u"あ"},
        {"text/plain; charset=iso-2022-jp", std::string("a\0b", 3), u"a"},
        // A real au mail: symbols of NEC row 13 inside ISO-2022-JP.
        {"text/plain; charset=\"iso-2022-jp\"", "\x1b$B-!-\"-#-4-5->-@-A-V-_-`-b-j-k-p-t-|\x1b(B",
         u"①②③⑳ⅠⅩ㍉㌔㎡㍻〝№㈱㈲≒∑∪"},
    };
    for (const Case& c : cases) {
        std::u16string out = u"old";
        ASSERT_TRUE(DecodeBodyText(c.body.data(), c.body.size(), c.type, out)) << c.type;
        EXPECT_EQ(out, c.text) << c.type;
    }
}

TEST(DecodeBodyText, TakesEmptyViewsWithoutStorage) {
    std::u16string out = u"old";
    ASSERT_TRUE(DecodeBodyText(nullptr, 0, std::string_view(), out));
    EXPECT_EQ(out, u"");
    char16_t header[1] = {u'G'};
    EXPECT_EQ(DecodeHeaderText(nullptr, 0, header), 0u);
    EXPECT_EQ(header[0], u'\0');
}

}  // namespace
}  // namespace pelmora
