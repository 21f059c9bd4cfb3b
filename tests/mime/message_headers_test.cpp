#include "mime/message_headers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace pelmora {
namespace {

std::optional<std::string> FieldValue(std::string_view text, std::string_view name) {
    const size_t value = FindHeaderField(text, name);
    if (value == kNoPosition) {
        return std::nullopt;
    }
    std::string out;
    CopyUnfolded(text.substr(value), out);
    return out;
}

struct FieldCase {
    const char* text;
    const char* name;
    std::optional<std::string> value;
};

TEST(FindHeaderField, MatchesNamesAtLineStartsOfTheHeaderBlockOnly) {
    const FieldCase cases[] = {
        {"subject: x\r\n\r\n", "Subject:", "x"},
        {"SUBJECT:x\r\n\r\n", "Subject:", "x"},
        {"Subject : x\r\n\r\n", "Subject:", std::nullopt},
        {"X-Note: Subject: no\r\n\r\n", "Subject:", std::nullopt},
        {"A: 1\r\n\r\nSubject: body\r\n", "Subject:", std::nullopt},
        {"A: 1\r\n Subject: fold\r\nSubject: real\r\n", "Subject:", "real"},
        {"Subject:\t \tpadded\r\n", "Subject:", "padded"},
        {"", "Subject:", std::nullopt},
        // A bare LF is text: only the first line can match, and it runs to the end.
        {"A: 1\nSubject: x\n\n", "Subject:", std::nullopt},
        {"Subject: x\nFrom: y\n", "Subject:", "x\nFrom: y\n"},
        {"Reply-To: r\r\nTo: t\r\n\r\n", "To:", "t"},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FieldValue(c.text, c.name), c.value);
    }
}

struct UnfoldCase {
    const char* value;
    const char* unfolded;
    size_t extent;
};

TEST(Unfolding, RemovesEachFoldWithOneBlank) {
    const UnfoldCase cases[] = {
        {"Re: long\r\n subject\r\nNext: x", "Re: longsubject", 18},
        {"a\r\n\tb\r\n  c\r\n", "ab c", 10},
        {"ends\r\n", "ends", 4},
        {"ends\r\n ", "ends", 7},
        {"a\r\n\r\n b", "a", 1},
        {"bare\n b\rc", "bare\n b\rc", 9},
        {"", "", 0},
    };
    for (const UnfoldCase& c : cases) {
        SCOPED_TRACE(c.value);
        std::string out = "=";
        EXPECT_EQ(CopyUnfolded(c.value, out), c.extent);
        EXPECT_EQ(out, std::string("=") + c.unfolded);
        EXPECT_EQ(ValueExtent(c.value), c.extent);
        EXPECT_EQ(UnfoldedLength(c.value), std::string(c.unfolded).size());
    }
}

struct ReadCase {
    const char* text;
    const char* name;
    bool all;
    const char16_t* decoded;  // null: the field stays as it was
    size_t count;
};

TEST(ReadHeaderField, DecodesJoinsAndCounts) {
    const char* const mixed = "To: ann\r\nCc: c\r\nTo: bob\r\n\r\nTo: f\r\n";
    const ReadCase cases[] = {
        {mixed, "To:", true, u"ann,bob", 8},
        {mixed, "To:", false, u"ann", 3},
        {mixed, "Cc:", true, u"c", 2},
        {mixed, "Bcc:", true, nullptr, 0},
        {"Subject: =?ISO-2022-JP?B?GyRCJEQkNRsoQg==?=\r\n =?ISO-2022-JP?B?GyRCJEQkNRsoQg==?=\r\n",
         "Subject:", false, u"つさつさ", 68},
        {"Subject: a\r\n b\r\n\r\n", "Subject:", false, u"ab", 2},
        {"Subject: \r\n\r\n", "Subject:", false, nullptr, 0},
        // An empty occurrence still counts and still gets its comma.
        {"To:\r\nTo: a\r\nTo:\r\nTo: b\r\n", "To:", true, u"a,,b", 6},
        // Text inside a folded value is never taken for a further field.
        {"To: a\r\n b\r\n To:zzz\r\nTo: c\r\n\r\n", "To:", true, u"abTo:zzz,c", 11},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.text);
        DualString field(u"untouched");
        EXPECT_EQ(ReadHeaderField(c.text, c.name, field, c.all), c.count);
        EXPECT_EQ(field.Wide(), c.decoded ? c.decoded : u"untouched");
    }
}

}  // namespace
}  // namespace pelmora
