#include "mime/parse_message.h"

#include <gtest/gtest.h>

#include <string>

#include "mime/message_parts.h"
#include "tests/support/test_files.h"
#include "text/utf8.h"

#ifdef _WIN32
#include <objbase.h>
#endif

namespace pelmora {
namespace {

using namespace std::string_literals;

#ifdef _WIN32
// Body charsets other than ISO-2022-JP go through a COM service, as in the Inbox's thread.
class ComApartment : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};
const auto* const kComApartment = ::testing::AddGlobalTestEnvironment(new ComApartment);
#endif

using testing_support::DataPath;
using testing_support::ReadBytes;

// One raw message of tests/data/mail and the fields ParseMessage must give for it. Files
// named public_* are real-world mail from public test suites; the others are made to
// show one rule each.
struct MailCase {
    const char* file;
    bool multipart;
    const char16_t* from;
    const char16_t* to;
    const char16_t* cc;
    const char16_t* subject;
    const char16_t* replyTo;
    const char16_t* contentType;
    const char16_t* transferEncoding;
    const char16_t* body;
    bool bodyIsPrefix;
};

const MailCase kMail[] = {
    {"alternative_html_first.eml", true, u"Taro <taro@example.jp>", u"hanako@example.jp", u"",
     u"alt", u"", u"text/html; charset=us-ascii", u"", u"<p>hello</p>\r\n", false},
    {"alternative_plain_first.eml", true, u"Taro <taro@example.jp>", u"hanako@example.jp", u"",
     u"alt", u"", u"text/plain; charset=\"ISO-2022-JP\"", u"7bit",
     u"こんにちは、世界。\r\n二行目です。\r\n", false},
    {"bare_lf_headers.eml", false, u"", u"", u"",
     u"first line\nFrom: x@example.com\nContent-Type: text/plain\n\nbody\n", u"", u"", u"", u"",
     false},
    {"base64_decodes_to_nothing.eml", false, u"", u"", u"", u"b64", u"", u"text/plain", u"BASE64",
     u"====\r\n", false},
    {"boundary_letter_case.eml", true, u"", u"", u"", u"case", u"", u"TEXT/PLAIN; charset=us-ascii",
     u"", u"found it\r\n", false},
    {"encoded_words_folded.eml", false, u"山田 <yamada@example.jp>",
     u"鈴木 <suzuki@example.jp>,佐藤 <sato@example.jp>,late@example.jp",
     u"cc1@example.jp,田中 <tanaka@example.jp>", u"返信のテストです", u"返信先 <reply@example.jp>",
     u"text/plain; charset=iso-2022-jp", u"", u"本文\r\n", false},
    {"missing_closing_delimiter.eml", true, u"", u"", u"", u"open", u"", u"text/plain", u"",
     u"rest of\r\nthe message\r\n", false},
    {"mixed_nested_alternative.eml", true, u"a@example.com", u"b@example.com", u"", u"nested", u"",
     u"text/plain; charset=utf-8", u"base64", u"ネストした本文です。\r\n", false},
    {"no_content_type.eml", false, u"plain@example.com", u"you@example.com", u"", u"no type", u"",
     u"", u"", u"", false},
    {"public_bare_lf.eml", false, u"", u"", u"", u"", u"", u"", u"", u"", false},
    {"public_bare_lf_jis.eml", false, u"", u"", u"", u"", u"", u"", u"", u"", false},
    {"public_base64_utf8.eml", false, u"Mikel Lindsaar <raasdnil@gmail.com>",
     u"みける <raasdnil@gmail.com>", u"", u"まみむめも", u"", u"text/plain; charset=UTF-8",
     u"base64", u"かきくえこ\n\n-- \nhttp://lindsaar.net/\nRails, RSpec and Life blog....\n",
     false},
    {"public_boundary_never_appears.eml", true, u"\"Free-Quilting.com\" <enews@Free-Quilting.com>",
     u"<someone@live.com>", u"", u"40% OFF holiday patterns and fabric!", u"",
     u"multipart/alternative; boundary=\"--PART.BOUNDARY.0001\"", u"", u"", false},
    {"public_decomail_depth3.eml", true, u"docomo@docomo.ne.jp", u"info@jpm-rails.org", u"",
     u"テスト", u"", u"text/plain; charset=\"iso-2022-jp\"", u"7bit", u" \r\n\r\nテストです \r\n",
     false},
    {"public_folded_subject_words.eml", false, u"Shin-ichiro OGAWA <info@jpmobile.jp>",
     u"info+to@jp.mobile", u"",
     u"タイトルの長いメールの場合の対処を実装するためのテストケースとしてのメールに含まれている件名"
     u"であるサブジェクト部分",
     u"", u"text/plain; charset=ISO-2022-JP", u"7bit", u"本文です\r\n\r\n", false},
    {"public_folded_words_blank_line.eml", false, u"Atsushi Yoshida <atsushi@example.com>",
     u"rudeboyjet@gmail.com", u"", u"Re: TESTテストテスト", u"rudeboyjet@gmail.com",
     u"text/plain; charset=iso-2022-jp", u"7bit", u"Hello\r\n", false},
    {"public_forwarded_rfc822.eml", true, u"Shin-ichiro OGAWA <info@jpmobile.jp>",
     u"info+to@jp.mobile", u"",
     u"タイトルの長いメールの場合の対処を実装するためのテストケースとしてのメールに含まれている件名"
     u"であるサブジェクト部分",
     u"", u"text/plain; charset=ISO-2022-JP", u"7bit", u"本文です\r\n\r\n\r\n", false},
    {"public_iphone_base64_utf8.eml", false, u"\"au@ezweb.ne.jp\" <au@ezweb.ne.jp>",
     u"\"info@jpmobile.jp\" <info@jpmobile.jp>", u"", u"Re: 【NKSC】test", u"",
     u"text/plain;charset=utf-8", u"base64",
     u"\r\n\r\niPhoneから送信○◎\r\n\r\nOn 2012/08/30, at 13:56, info@jpmobile.jp wrote:\r\n\r\n> "
     u"本文改行なし＿５１２文字＿あああああああああああああ",
     true},
    {"public_iso2022jp_folded_type.eml", false, u"Mikel Lindsaar <raasdnil@gmail.com>",
     u"みける <raasdnil@gmail.com>", u"", u"まみむめも", u"", u"text/plain;charset=iso-2022-jp",
     u"7bit", u"すみません。\r\n\r\n", false},
    {"public_outer_close_missing.eml", true, u"xxx@xxxx.xxx", u"xxx@xxxx.xxx", u"", u"Filth", u"",
     u"text/plain; charset=utf-8", u"7bit", u"Some text\r\n\r\n", false},
    {"public_part_without_type.eml", true,
     u"Mail Delivery Subsystem <MAILER-DAEMON@antivirus.uqam.ca>", u"<roor32@gmail.com>", u"",
     u"Warning: could not send message for past 1 day", u"",
     u"multipart/report; "
     u"report-type=delivery-status;boundary=\"k9JMDbg4005560.1161332913/antivirus.uqam.ca\"",
     u"", u"", false},
    {"public_qp_iso2022jp_alternative.eml", true, u"au@ezweb.ne.jp", u"info@jpm-rails.org", u"",
     u"Fwd: 【NurseryMail】日日", u"", u"text/plain; charset=iso-2022-jp", u"quoted-printable",
     u"iPhoneから送信\r\n\r\nBegin forwarded message:\r\n\r\n> 差出人: xxxx@example.com\r\n> 日時: "
     u"2012年7月30日 10:09:12 JST\r\n> ",
     true},
    {"public_qp_misspelt_encoding.eml", true, u"\"Wilmer Capps\" <fyouizjnp@swissonline.ch>",
     u"bait-passover@em.ca", u"", u"Low or High Blood Pressure? We can help.", u"",
     u"text/plain;          charset=\"iso-8859-1\"", u"quoted printable",
     u"If you're in need of a good RX site for online purchases, we are your answer.\r\n\r\nWith "
     u"Tens of Thousa",
     true},
    {"public_similar_boundaries.eml", true, u"Xxxxx <xxxxxx@xxxxxxxx.xxx>",
     u"<xxxxxxx@xxxxxxxxxxx.xxx>", u"", u"Xxxxxx", u"", u"text/plain; charset=\"utf-8\"", u"8bit",
     u"Test\r\n\r\n", false},
    {"public_sjis_8bit_alternative.eml", true, u"<softbank@softbank.ne.jp>", u"info@jpm-rails.org",
     u"", u"テスト\ue5a4\ue5a6\ue5a4", u"", u"text/plain;charset=SHIFT_JIS", u"8bit",
     u"テストです\ue6b4\r\n", false},
    {"public_two_content_types.eml", true, u"<redacted@flashmail.net>", u"<redacted@Enron.com>",
     u"", u"Redacted", u"", u"text/plain;charset=\"utf-8\"", u"7Bit", u"foo\r\n\r\n", false},
    {"public_unquoted_boundary.eml", true, u"Mikel Lindsaar <email_test@me.nowhere>",
     u"mikel@me.nowhere", u"", u"Testing outlook", u"Mikel Lindsaar <email_test@me.nowhere>",
     u"text/plain; charset=iso-8859-1", u"Quoted-printable",
     u"Hello\r\nThis is an outlook test\r\n\r\nSo there.\r\n\r\nMe.\r\n\r\n", false},
    {"quoted_printable_soft_breaks.eml", false, u"qp@example.com", u"", u"", u"qp", u"",
     u"text/plain; charset=utf-8", u"Quoted-Printable", u"あいう a=b c\r\nnext line\r\n", false},
    {"single_html.eml", false, u"", u"", u"", u"h", u"", u"text/html", u"", u"<b>bold</b>\r\n",
     false},
    {"single_pdf.eml", false, u"", u"", u"", u"p", u"", u"application/pdf", u"base64", u"", false},
};

class ParseMailFile : public ::testing::TestWithParam<MailCase> {};

TEST_P(ParseMailFile, GivesTheExpectedFields) {
    const MailCase& c = GetParam();
    std::string bytes;
    ASSERT_TRUE(ReadBytes(DataPath(u"mail/" + WideFromUtf8(c.file)), bytes));
    ParsedMessage m;
    ASSERT_TRUE(ParseMessage(m, bytes.data(), bytes.size()));
    EXPECT_EQ(m.isMultipart, c.multipart);
    EXPECT_EQ(m.from.Wide(), c.from);
    EXPECT_EQ(m.to.Wide(), c.to);
    EXPECT_EQ(m.cc.Wide(), c.cc);
    EXPECT_EQ(m.subject.Wide(), c.subject);
    EXPECT_EQ(m.replyTo.Wide(), c.replyTo);
    EXPECT_EQ(m.contentType.Wide(), c.contentType);
    EXPECT_EQ(m.contentTransferEncoding.Wide(), c.transferEncoding);
    if (c.bodyIsPrefix) {
        EXPECT_EQ(m.body.Wide().substr(0, std::u16string(c.body).size()), c.body);
    } else {
        EXPECT_EQ(m.body.Wide(), c.body);
    }
}

std::string CaseName(const ::testing::TestParamInfo<MailCase>& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find('.'));
    return name;
}

INSTANTIATE_TEST_SUITE_P(Mail, ParseMailFile, ::testing::ValuesIn(kMail), CaseName);

ParsedMessage Parse(std::string_view text) {
    ParsedMessage m;
    ParseMessage(m, text.data(), text.size());
    return m;
}

TEST(ParseMessage, ReadsOnlyTheGivenBytesUpToTheFirstNul) {
    const std::string text = "Subject: cut\r\nContent-Type: text/plain\r\n\r\nvisible\0hidden\r\n"s;
    EXPECT_EQ(Parse(text).body.Wide(), u"visible");
    // An explicit length shorter than the buffer: nothing after it is seen.
    const std::string longer = "Subject: abcdef\r\nContent-Type: text/plain\r\n\r\nbody";
    ParsedMessage m;
    ParseMessage(m, longer.data(), 12);
    EXPECT_EQ(m.subject.Wide(), u"abc");
    EXPECT_TRUE(m.contentType.Empty());
    ParseMessage(m, nullptr, 0);
    EXPECT_TRUE(m.subject.Empty());
}

TEST(ParseMessage, StartsFromAnEmptyRecord) {
    ParsedMessage m;
    ParseMessage(m, "Subject: one\r\nCc: x\r\nContent-Type: text/plain\r\n\r\nbody", 46);
    ASSERT_EQ(m.cc.Wide(), u"x");
    const std::string second = "Subject: two\r\n\r\n";
    ParseMessage(m, second.data(), second.size());
    EXPECT_EQ(m.subject.Wide(), u"two");
    EXPECT_TRUE(m.cc.Empty());
    EXPECT_TRUE(m.contentType.Empty());
    EXPECT_TRUE(m.body.Empty());
}

TEST(ParseMessage, LeavesTheBodyEmptyWithoutQuotableText) {
    // The empty line ends the text: no body bytes.
    EXPECT_TRUE(Parse("Content-Type: text/plain\r\n\r\n").body.Empty());
    // A multipart message whose only text part has no empty line: the part is chosen,
    // but there is nothing to quote.
    const ParsedMessage m = Parse(
        "Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\nContent-Type: text/plain\r\n");
    EXPECT_EQ(m.contentType.Wide(), u"text/plain");
    EXPECT_TRUE(m.body.Empty());
    // A multipart Content-Type keeps the message's own Content-Transfer-Encoding out.
    const ParsedMessage n = Parse(
        "Content-Type: multipart/mixed; boundary=x\r\nContent-Transfer-Encoding: 7bit\r\n\r\n");
    EXPECT_TRUE(n.isMultipart);
    EXPECT_TRUE(n.contentTransferEncoding.Empty());
}

TEST(ParseMessage, SurvivesNestingFarBeyondTheBound) {
    std::string text = "Subject: deep\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (int i = 0; i < 5000; ++i) {
        text += "--b\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
    }
    text += "--b\r\nContent-Type: text/plain\r\n\r\nbottom\r\n--b--\r\n";
    const ParsedMessage m = Parse(text);
    EXPECT_EQ(m.subject.Wide(), u"deep");
    EXPECT_TRUE(m.isMultipart);
    EXPECT_TRUE(m.body.Empty());
}

}  // namespace
}  // namespace pelmora
