// Mail text decoding: ISO-2022-JP to Shift_JIS, encoded words in header values, body text
// by charset. The charset table runs on both builds, whose converters (the platform's
// multi-language service under Windows, iconv natively) must agree on it.
#include "text/mail_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/text/com_apartment.h"
#include "text/codepage.h"

namespace pelmora {
namespace {

std::string ToSjis(const std::string& in) {
    std::vector<char> out(in.size() + 1, 'X');
    const size_t end = Iso2022JpToShiftJis(in.data(), in.size(), out.data());
    EXPECT_EQ(out[end], '\0');
    return std::string(out.data(), end);
}

// The one-pass conversion must give what its two steps give, appending to what is there.
void ExpectOnePassMatchesSteps(const std::string& in) {
    const std::string sjis = ToSjis(in);
    std::u16string steps = u"<";
    ASSERT_TRUE(AppendWideFromAnsi(sjis.data(), sjis.size(), steps));
    std::u16string onePass = u"<";
    EXPECT_TRUE(AppendWideFromIso2022Jp(in.data(), in.size(), onePass));
    EXPECT_EQ(onePass, steps) << testing::PrintToString(in);
}

TEST(Iso2022JpToShiftJis, ConvertsEscapesAndModes) {
    const std::string tsu = "\x82\xC2";
    struct Case {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"kanji in, ascii out", "a\x1b$B$D\x1b(Bb", "a" + tsu + "b"},
        // Row and cell edges: 0x7F skipped, even rows, the lead byte gap, IBM rows.
        {"pairs", "\x1b$B!!!_!`\"!^~_!|~",
         "\x81\x40\x81\x7E\x81\x80\x81\x9F\x9F\xFC\xE0\x40\xEE\xFC"},
        {"old JIS in, roman out", "\x1b$@$D\x1b(J$D", tsu + "$D"},
        {"ESC ( H leaves kanji", "\x1b$B$D\x1b(H$D", tsu + "$D"},
        {"other ESC ( x copied", "\x1b$B$D\x1b(I$D", tsu + "\x1b(I$D"},
        {"other ESC $ x copied", "\x1b$Ax", "\x1b$Ax"},
        {"ESC * sets drop", "\x1b*Xab", "ab"},
        {"ESC N with G2 katakana", "\x1b*I\x1bN1\x1bN2", "\xB1\xB2"},
        {"ESC N without G2", "\x1bN1", "\x1bN1"},
        {"G2 katakana off", "\x1b*I\x1b*B\x1bN1", "\x1bN1"},
        {"ESC K / ESC H", "\x1bK$D\x1bH$D", tsu + "$D"},
        {"unknown escape copied", "\x1bxy", "\x1bxy"},
        {"LF and CR leave kanji", "\x1b$B$D\n$D\x1b$B$D\r$D", tsu + "\n$D" + tsu + "\r$D"},
        {"lone byte before escape", "\x1b$B$\x1b(Bab", "$ab"},
        {"lone byte before space", "\x1b$B$ $D", "$ " + tsu},
        {"SO ... SI", "\x0e\x31\x32\x0f\x33", "\xB1\xB2\x33"},
        {"SO stops at CR", "\x0e\x31\r\n2", "\xB1\r\n2"},
        {"SO inside kanji", "\x1b$B\x0e\x31\x0f$D", "\xB1" + tsu},
        {"EUC-JP bytes copied", "\xA4\xA2\x1b$B\xA4\xA2", "\xA4\xA2\xA4\xA2"},
        // The end of input in the middle of things.
        {"ESC at end", "ab\x1b", "ab"},
        {"ESC $ at end", "a\x1b$", "a\x1b$"},
        {"ESC * at end", "a\x1b*", "a"},
        {"ESC N at end", "\x1b*I\x1bN", ""},
        {"half a character at end", "\x1b$B$D$", tsu},
        {"NUL ends input", std::string("ab\0cd", 5), "ab"},
        // Vendor rows inside ISO-2022-JP: ①, ㈱, ㍉ and IBM kanji 纊.
        {"NEC and IBM rows", "\x1b$B-!-j-@y!\x1b(B", "\x87\x40\x87\x8A\x87\x5F\xED\x40"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToSjis(c.in), c.out) << c.name;
        ExpectOnePassMatchesSteps(c.in);
    }
}

struct TextCase {
    const char* what;
    std::string in;
    std::u16string out;
};

// Decodes into an array of exactly the promised size plus a guard element.
std::u16string Header(const std::string& value) {
    std::vector<char16_t> out(value.size() + 2, u'G');
    const size_t n = DecodeHeaderText(value.data(), value.size(), out.data());
    EXPECT_LE(n, value.size());
    EXPECT_EQ(out[n], u'\0');
    EXPECT_EQ(out[value.size() + 1], u'G');
    return std::u16string(out.data(), n);
}

TEST(DecodeHeaderText, DecodesLiteralTextAndEncodedWords) {
    const std::string w = "=?ISO-2022-JP?B?GyRCJEQkNRsoQg==?=";  // つさ
    const TextCase cases[] = {
        {"space between words", w + " " + w, u"つさつさ"},
        {"space at the end", w + "  \r\n", u"つさ"},
        {"Q word", "=?US-ASCII?Q?a_b=3F?=", u"a b?"},
        {"underscore escaped", "=?US-ASCII?Q?a=5F_?=", u"a_ "},
        {"unknown encoding letter", "=?US-ASCII?X?a_b?=", u"a_b"},
        {"line ends dropped", "=?US-ASCII?Q?a=0D=0Ab?=", u"ab"},
        {"NUL inside a word", "=?US-ASCII?Q?a=00b?=c", u"ac"},
        {"unknown charset as ANSI", "=?x-unknown?B?gqA=?=", u"あ"},
        {"language tag", "=?ISO-2022-JP*ja?B?GyRCJEQkNRsoQg==?=", u"つさ"},
        {"unterminated word", "=?ISO-2022-JP?B?abc", u"=?ISO-2022-JP?B?abc"},
        {"bad word then good word", "=?x " + w, u"=?x つさ"},
        {"question at the end of text", "1+1=? " + w, u"1+1=? つさ"},
        {"raw old JIS", "Re: \x1b$@$D$5\x1b(J!", u"Re: つさ!"},
        // The words keep their own characters when raw JIS is converted.
        {"raw JIS with a word", "\x1b$B$D\x1b(B =?UTF-8?B?w6k=?=", u"つ é"},
        {"NUL ends the value", std::string("ab\0cd", 5), u"ab"},
        // From a real iPhone mail: テスト① with the NEC circled digit.
        {"vendor row in a word", "=?iso-2022-jp?B?GyRCJUYlOSVILSEbKEI=?=", u"テスト①"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(Header(c.in), c.out) << c.what;
    }
}

// Mailers cut a long text into words wherever its bytes fall, even inside a character:
// words of one charset separated only by white space are converted as one byte string (a
// subject cut at every byte is the message parser's case).
TEST(DecodeHeaderText, JoinsAdjacentWordsOfOneCharset) {
    // つさ cut inside the second character: "ESC $ B $ D $" and "5 ESC ( B".
    const std::string head = "=?ISO-2022-JP?B?GyRCJEQk?=";
    const std::string tail = "=?iso-2022-jp?q?5=1B(B?=";
    const TextCase cases[] = {
        {"same charset, folded", head + "\r\n\t" + tail + " x", u"つさ x"},
        {"different charsets", "=?UTF-8?B?w6k=?= =?ISO-8859-1?B?6Q==?=", u"éé"},
        // Each half alone: the lone byte at the end is dropped, the "5" is ASCII.
        {"separated by text", head + " x " + tail, u"つ x 5"},
        {"bad word between", head + " =?bad word?= " + tail, u"つ =?bad word?= 5"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(Header(c.in), c.out) << c.what;
    }
}

TEST(DecodeBodyText, TakesTheCharsetFromTheContentType) {
    const std::string jis = "\x1b$B$D\x1b(B\r\n";
    const TextCase cases[] = {
        // Content-Type, body, text
        {"text/plain", jis, u"つ\r\n"},
        {"text/plain", "\x82\xA0", u"あ"},
        {"text/plain; charset=x-unknown", jis, u"つ\r\n"},
        // No "=": the UTF-8 bytes are read as Shift_JIS.
        {"text/plain; charset", "\xE3\x81\x82\xE3\x81\x84", u"縺ゅ＞"},
        {"text/plain; format=flowed; Charset = \"UTF-8\" ; delsp=yes", "\xE3\x81\x82", u"あ"},
        {"text/plain;\tcharset=utf-8 (comment)", "\xE3\x81\x82", u"あ"},
        {"text/plain; charset*0*=''utf%2D; charset*1=8", "\xE3\x81\x82", u"あ"},
        {"text/plain; charset*=us-ascii'en'utf-8; charset=shift_jis", "\x82\xA0", u"あ"},
        {"text/plain; charset=iso-2022-jp", std::string("a\0b", 3), u"a"},
        // A real au mail: symbols of NEC row 13 inside ISO-2022-JP.
        {"text/plain; charset=\"iso-2022-jp\"", "\x1b$B-!-\"-#-4-5->-@-A-V-_-`-b-j-k-p-t-|\x1b(B",
         u"①②③⑳ⅠⅩ㍉㌔㎡㍻〝№㈱㈲≒∑∪"},
    };
    for (const TextCase& c : cases) {
        std::u16string out = u"old";
        ASSERT_TRUE(DecodeBodyText(c.in.data(), c.in.size(), c.what, out)) << c.what;
        EXPECT_EQ(out, c.out) << c.what;
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
    {u"utf-8", "\xC3", u"\uFFFD"},
    {u"utf-8", "\xFF\x41", u"\uFFFDA"},
    {u"Shift_JIS", "\x82\xA0\xB1", u"\u3042\uFF71"},
    {u"shift_jis", "\x87\x40\x87\x8A\xED\x40\xFA\x40", u"\u2460\u3231\u7E8A\u2170"},
    {u"EUC-JP", "\xA4\xA2\x8E\xB1", u"\u3042\uFF71"},
    {u"ISO-8859-1", "\xE9\xFF\x80", u"\u00E9\u00FF\u0080"},
    {u"Windows-1252", "\x80\xE9", u"\u20AC\u00E9"},
    {u"ks_c_5601-1987", "\xBD\xBA\xC6\xBC\xC7\xD8", u"\uC2A4\uD2F0\uD574"},
    {u"utf-7", "+AGEAYgBj-", u"abc"},
    // The ISO-2022-JP family under other names goes to the platform converter.
    {u"csISO2022JP", "\x1b$B$D$5\x1b(B", u"\u3064\u3055"},
    // Our own path, with the vendor rows: ①, ㈱, ㍉, 纊 and ⅱ.
    {u"ISO-2022-JP", "\x1b$B-!-j-@y!|r\x1b(Bx", u"\u2460\u3231\u3349\u7E8A\u2171x"},
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

}  // namespace
}  // namespace pelmora
