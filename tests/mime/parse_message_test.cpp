#include "mime/parse_message.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"
#include "text/utf8.h"
#include "tools/message_json.h"

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

// tests/data/mail/expected.jsonl holds, for each raw message there, one line with the
// file name and the fields ParseMessage must give. Files named public_* are real-world
// mail from public test suites; the others are made to show one rule each.
TEST(ParseMessage, GivesTheExpectedFieldsForTheMailCorpus) {
    std::string expected;
    ASSERT_TRUE(ReadBytes(DataPath(u"mail/expected.jsonl"), expected));
    size_t files = 0;
    for (size_t start = 0, end; start < expected.size(); start = end + 1) {
        end = expected.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = expected.substr(start, end - start);
        const std::string prefix = "{\"file\":\"";
        ASSERT_EQ(line.rfind(prefix, 0), 0u);
        const std::string file =
            line.substr(prefix.size(), line.find('"', prefix.size()) - prefix.size());
        SCOPED_TRACE(file);
        std::string bytes;
        ASSERT_TRUE(ReadBytes(DataPath(u"mail/" + WideFromUtf8(file)), bytes));
        ParsedMessage m;
        ASSERT_TRUE(ParseMessage(m, bytes.data(), bytes.size()));
        std::string got = prefix + file + "\",";
        AppendParsedMessageMembers(got, m);
        EXPECT_EQ(got + "}", line);
        ++files;
    }
    EXPECT_GE(files, 30u);
}

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

}  // namespace
}  // namespace pelmora
