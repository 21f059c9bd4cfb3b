#include "mime/message_parts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pelmora {
namespace {

struct ParameterCase {
    const char* value;
    const char* name;
    std::optional<std::string> expected;
};

TEST(GetParameterValue, FindsTheFirstSegmentBeginningWithTheName) {
    const ParameterCase cases[] = {
        {"multipart/mixed; boundary=\"a b;c\"", "boundary", "a b"},
        {"multipart/mixed; BOUNDARY = x ; y", "boundary", "x "},
        {"  multipart/mixed;\t boundary=\"q\"; charset=z", "charset", "z"},
        {"text/plain; charset", "charset", ""},
        {"text/plain; charsetx=1", "charset", "x=1"},
        {"text/plain; name=\"a\"", "charset", std::nullopt},
        {"text/plain; ", "charset", std::nullopt},
        {"", "charset", std::nullopt},
    };
    for (const ParameterCase& c : cases) {
        SCOPED_TRACE(c.value);
        std::string_view out;
        const bool found = GetParameterValue(c.value, c.name, out);
        EXPECT_EQ(found ? std::optional<std::string>(std::string(out)) : std::nullopt, c.expected);
    }
}

TEST(FindBoundaryLine, MatchesLineStartsByPrefixIgnoringCase) {
    EXPECT_EQ(FindBoundaryLine("--Abc\r\n", "aBC"), 0u);
    EXPECT_EQ(FindBoundaryLine("x --abc\r\n--abcdef\r\n", "abc"), 9u);
    EXPECT_EQ(FindBoundaryLine("x\n--abc\r\n", "abc"), 9u);  // a bare LF starts no line
    EXPECT_EQ(FindBoundaryLine("--ab\r\n-abc", "abc"), 10u);
    EXPECT_EQ(FindBoundaryLine("--abc\r\n--abc", "abc", 1), 7u);
    EXPECT_EQ(FindBoundaryLine("--ab", "abc"), 4u);
}

// The walk's parts as "type|encoding|body|" lines, the body's last "|" left out when the
// part has no end ("-" for no body at all).
std::string Walk(std::string_view contentType, std::string_view text) {
    std::vector<MessagePart> parts;
    CollectParts(contentType, text, parts);
    std::string out;
    for (const MessagePart& p : parts) {
        out += p.contentType + "|" + p.transferEncoding + "|";
        if (p.bodyStart == kNoPosition) {
            out += "-";
        } else {
            const size_t end = p.bodyEnd == kNoPosition ? text.size() : p.bodyEnd;
            out += std::string(text.substr(p.bodyStart, end - p.bodyStart));
            out += p.bodyEnd == kNoPosition ? "" : "|";
        }
        out += "\n";
    }
    return out;
}

TEST(CollectParts, WalksNestedPartsDepthFirst) {
    const char* text =
        "Content-Type: multipart/mixed; boundary=out\r\n\r\n"
        "--out\r\n"
        "Content-Type: multipart/alternative;\r\n boundary=\"in\"\r\n\r\n"
        "--in\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding:\r\n  base64\r\n\r\nAAA\r\n"
        "--in\r\nContent-Type: text/html\r\n\r\n<p>\r\n"
        "--in--\r\n"
        "--out\r\nContent-Type: application/pdf\r\n\r\n%PDF\r\n"
        "--out--\r\nepilogue --out\r\n--out\r\nContent-Type: text/late\r\n\r\nx\r\n";
    EXPECT_EQ(Walk("multipart/mixed; boundary=out", text),
              "text/plain| base64|AAA\r\n|\n"
              "text/html||<p>\r\n|\n"
              "application/pdf||%PDF\r\n|\n");
}

TEST(CollectParts, EndsMalformedWalksWithWhatWasFound) {
    // No boundary parameter, or no boundary line: nothing.
    EXPECT_EQ(Walk("multipart/mixed", "--x\r\n\r\nbody"), "");
    EXPECT_EQ(Walk("multipart/mixed; boundary=x", "no boundary here\r\n"), "");
    EXPECT_EQ(Walk("", "--x\r\n\r\nbody"), "");
    // A missing closing delimiter: the last part runs to the end.
    EXPECT_EQ(Walk("m; boundary=x", "--x\r\nContent-Type: text/plain\r\n\r\nto the end\r\n"),
              "text/plain||to the end\r\n\n");
    // A part without an empty line ends the walk, the part kept without a body.
    EXPECT_EQ(Walk("m; boundary=x", "--x\r\n\r\none\r\n--x\r\nContent-Type: text/b\r\n--x\r\n"),
              "||one\r\n|\n"
              "text/b||-\n");
    // A nested multipart without an empty line ends the walk.
    EXPECT_EQ(Walk("m; boundary=x", "--x\r\nContent-Type: multipart/a; boundary=y\r\n--y\r\n"), "");
    // The rest of a boundary line is not a header line.
    EXPECT_EQ(Walk("m; boundary=x", "--xContent-Type: text/a\r\n\r\nq\r\n"), "||q\r\n\n");
    // The boundary matches in any letter case.
    EXPECT_EQ(Walk("m; boundary=\"AbC\"", "--aBc\r\nContent-Type: text/a\r\n\r\nq\r\n--ABC--\r\n"),
              "text/a||q\r\n|\n");
}

TEST(CollectParts, NestedWalkEndsAtAnEnclosingBoundary) {
    // The nested alternative lacks its closing delimiter: its last part ends at the outer
    // boundary line instead of swallowing the attachment, and nothing is collected twice.
    const char* text =
        "--out\r\nContent-Type: multipart/alternative; boundary=in\r\n\r\n"
        "--in\r\nContent-Type: text/plain\r\n\r\nfirst\r\n"
        "--out\r\nContent-Type: image/gif\r\n\r\nGIF\r\n--out--\r\n";
    EXPECT_EQ(Walk("multipart/mixed; boundary=out", text),
              "text/plain||first\r\n|\n"
              "image/gif||GIF\r\n|\n");
}

TEST(CollectParts, NestedBoundaryThatExtendsTheOuterOneStaysNested) {
    const char* text =
        "--b\r\nContent-Type: multipart/alternative; boundary=b_alt\r\n\r\n"
        "--b_alt\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
        "--b_alt\r\nContent-Type: text/html\r\n\r\nhtml\r\n--b_alt--\r\n"
        "--b\r\nContent-Type: image/png\r\n\r\nPNG\r\n--b--\r\n";
    EXPECT_EQ(Walk("multipart/mixed; boundary=b", text),
              "text/plain||plain\r\n|\n"
              "text/html||html\r\n|\n"
              "image/png||PNG\r\n|\n");
}

// A message of `levels` nested multiparts with a text part at the bottom.
std::string Nested(int levels, bool sameBoundary) {
    std::string text;
    for (int i = 0; i < levels; ++i) {
        const std::string own = sameBoundary ? "b" : "b" + std::to_string(i);
        const std::string inner = sameBoundary ? "b" : "b" + std::to_string(i + 1);
        text += "--" + own + "\r\nContent-Type: multipart/mixed; boundary=" + inner + "\r\n\r\n";
    }
    const std::string last = sameBoundary ? "b" : "b" + std::to_string(levels);
    text += "--" + last + "\r\nContent-Type: text/plain\r\n\r\nbottom\r\n";
    for (int i = levels; i >= 0; --i) {
        text += "--" + (sameBoundary ? std::string("b") : "b" + std::to_string(i)) + "--\r\n";
    }
    return text;
}

TEST(CollectParts, NestingIsBounded) {
    // The message itself is one level, so kMaxPartNesting - 1 nested levels still reach the
    // text part; one more ends the walk.
    std::vector<MessagePart> parts;
    CollectParts("multipart/mixed; boundary=b0", Nested(kMaxPartNesting - 1, false), parts);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].contentType, "text/plain");
    parts.clear();
    CollectParts("multipart/mixed; boundary=b0", Nested(kMaxPartNesting, false), parts);
    EXPECT_TRUE(parts.empty());
    // Far deeper than the bound, with distinct or repeated boundaries: no deep recursion,
    // no walk that revisits the same lines level after level.
    for (bool same : {false, true}) {
        parts.clear();
        CollectParts(same ? "multipart/mixed; boundary=b" : "multipart/mixed; boundary=b0",
                     Nested(20000, same), parts);
        EXPECT_TRUE(parts.empty());
    }
}

}  // namespace
}  // namespace pelmora
