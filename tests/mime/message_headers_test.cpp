#include "mime/message_headers.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmora {
namespace {

// Field lookup, unfolding and joining; the mail corpus covers the common cases.
TEST(ReadHeaderField, MatchesNamesAtLineStartsOfTheHeaderBlockOnly) {
    const struct {
        const char* text;
        const char* name;
        bool all;
        const char16_t* decoded;  // null: the field stays as it was
    } cases[] = {
        {"SUBJECT:x\r\n\r\n", "Subject:", false, u"x"},
        {"Subject : x\r\n\r\n", "Subject:", false, nullptr},
        {"X-Note: Subject: no\r\n\r\n", "Subject:", false, nullptr},
        {"A: 1\r\n\r\nSubject: body\r\n", "Subject:", false, nullptr},
        {"A: 1\r\n Subject: fold\r\nSubject: real\r\n", "Subject:", false, u"real"},
        {"Subject:\t \tpadded\r\n", "Subject:", false, u"padded"},
        {"Subject: \r\n\r\n", "Subject:", false, nullptr},
        // Each fold loses its CR LF and one blank; an empty line ends the value.
        {"Subject: a\r\n\tb\r\n  c\r\n\r\n d", "Subject:", false, u"ab c"},
        {"Subject: bare\n b\rc", "Subject:", false, u"bare\n b\rc"},
        {"Reply-To: r\r\nTo: t\r\n\r\n", "To:", true, u"t"},
        {"To: ann\r\nCc: c\r\nTo: bob\r\n\r\nTo: f\r\n", "To:", true, u"ann,bob"},
        // An empty occurrence still gets its comma.
        {"To:\r\nTo: a\r\nTo:\r\nTo: b\r\n", "To:", true, u"a,,b"},
        // Text inside a folded value is never taken for a further field.
        {"To: a\r\n b\r\n To:zzz\r\nTo: c\r\n\r\n", "To:", true, u"abTo:zzz,c"},
    };
    for (const auto& c : cases) {
        DualString field(u"untouched");
        ReadHeaderField(c.text, c.name, field, c.all);
        EXPECT_EQ(field.Wide(), c.decoded ? c.decoded : u"untouched") << c.text;
    }
}

}  // namespace
}  // namespace pelmora
