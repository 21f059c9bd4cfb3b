#include "mime/parse_message.h"

#include <gtest/gtest.h>

#include <sstream>
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
    std::istringstream lines(expected);
    size_t files = 0;
    for (std::string line; std::getline(lines, line); ++files) {
        const std::string file = line.substr(9, line.find('"', 9) - 9);  // after {"file":"
        SCOPED_TRACE(file);
        std::string bytes;
        ASSERT_TRUE(ReadBytes(DataPath(u"mail/" + WideFromUtf8(file)), bytes));
        ParsedMessage m;
        ASSERT_TRUE(ParseMessage(m, bytes.data(), bytes.size()));
        std::string got = "{\"file\":\"" + file + "\",";
        AppendParsedMessageMembers(got, m);
        EXPECT_EQ(got + "}", line);
    }
    EXPECT_GE(files, 30u);
}

TEST(ParseMessage, ReadsOnlyTheGivenBytesUpToTheFirstNul) {
    const std::string text = "Subject: abcdef\r\nContent-Type: text/plain\r\n\r\nseen\0not\r\n"s;
    ParsedMessage m;
    ParseMessage(m, text.data(), text.size());
    EXPECT_EQ(m.body.Wide(), u"seen");
    ParseMessage(m, text.data(), 12);
    EXPECT_EQ(m.subject.Wide(), u"abc");
    EXPECT_TRUE(m.contentType.Empty());
}

TEST(ParseMessage, LeavesTheBodyEmptyWithoutQuotableText) {
    // The only text part has no empty line: it is chosen, but there is nothing to quote.
    const std::string head = "Content-Type: multipart/mixed; boundary=x\r\n";
    const std::string text = head + "\r\n--x\r\nContent-Type: text/plain\r\n";
    ParsedMessage m;
    ParseMessage(m, text.data(), text.size());
    EXPECT_EQ(m.contentType.Wide(), u"text/plain");
    EXPECT_TRUE(m.body.Empty());
    // A multipart type keeps the message's own Content-Transfer-Encoding out.
    const std::string noParts = head + "Content-Transfer-Encoding: 7bit\r\n\r\n";
    ParseMessage(m, noParts.data(), noParts.size());
    EXPECT_TRUE(m.isMultipart);
    EXPECT_TRUE(m.contentTransferEncoding.Empty());
}

}  // namespace
}  // namespace pelmora
