#include "mime/parse_message.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/test_files.h"
#include "tests/text/com_apartment.h"
#include "text/utf8.h"
#include "tools/message_json.h"

namespace pelmora {
namespace {

using testing_support::DataPath;
using testing_support::ReadBytes;

// tests/data/mail/expected.jsonl holds, for each raw message there, one line with the
// file name and the fields ParseMessage must give. Files named public_* are real-world
// mail from public test suites; the others are made to show one rule each, header field
// lookup and unfolding included.
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

TEST(ParseMessage, ReadsOnlyTheGivenBytes) {
    const char text[] = "Subject: abcdef\r\nContent-Type: text/plain\r\n\r\nbody";
    ParsedMessage m;
    ParseMessage(m, text, 12);
    EXPECT_EQ(m.subject.Wide(), u"abc");
    EXPECT_TRUE(m.contentType.Empty());
}

}  // namespace
}  // namespace pelmora
