#include "mime/parse_message.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/test_files.h"
#include "tests/text/com_apartment.h"
#include "text/codecs.h"
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

// A long subject cut into two encoded words at any byte, even inside a character or an
// escape sequence, comes out whole: the first half B-encoded, the second Q-encoded.
TEST(ParseMessage, JoinsASubjectCutAtAnyByte) {
    const struct {
        const char* charset;
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"ISO-2022-JP", "Re: \x1b$B=5Js!J;07n!K\x1b(B/\x1b$B%_!<%F%#%s%0\x1b(B",
         u"Re: 週報（三月）/ミーティング"},
        {"Shift_JIS", "Re: \x8F\x54\x95\xF1\x81\x69\x8E\x4F\x8C\x8E\x81\x6A/\xB1\xB2",
         u"Re: 週報（三月）/ｱｲ"},
        {"UTF-8", "Re: \xE9\x80\xB1\xE5\xA0\xB1/\xF0\x9F\x98\x80", u"Re: 週報/\U0001F600"},
    };
    for (const auto& c : cases) {
        for (size_t cut = 1; cut < c.bytes.size(); ++cut) {
            std::string q;
            for (size_t i = cut; i < c.bytes.size(); ++i) {
                static const char kHex[] = "0123456789ABCDEF";
                const unsigned char b = static_cast<unsigned char>(c.bytes[i]);
                q += {'=', kHex[b >> 4], kHex[b & 15]};
            }
            const std::string text = std::string("Subject: =?") + c.charset + "?B?" +
                                     Base64Encode(c.bytes.data(), cut) + "?=\r\n =?" + c.charset +
                                     "?Q?" + q + "?=\r\n\r\n";
            ParsedMessage m;
            ParseMessage(m, text.data(), text.size());
            EXPECT_EQ(m.subject.Wide(), c.text) << c.charset << " cut at " << cut;
        }
    }
}

}  // namespace
}  // namespace pelmora
