#include "mime/message_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora {
namespace {

TEST(GetParameterValue, TakesTheFirstSegmentBeginningWithTheName) {
    const struct {
        const char* value;
        const char* name;
        const char* expected;  // null: not found
    } cases[] = {
        {"multipart/mixed; boundary=\"a b;c\"", "boundary", "a b"},
        {"multipart/mixed; BOUNDARY = x ; y", "boundary", "x "},
        {"text/plain; charsetx=1", "charset", "x=1"},
        {"text/plain; name=\"a\"", "charset", nullptr},
        // Extended values (RFC 2231): the plain form wins, quoted ";" is no segment.
        {"multipart/signed; boundary*=\"us-ascii''a%20b\"", "boundary", "a b"},
        {"m; boundary*1*=%63d; boundary*0*=us-ascii'en'ab; boundary*3=gh", "boundary", "abcd"},
        {"m; boundary*=x; boundary=y", "boundary", "y"},
        {"m; x=\"; boundary*=q\"; boundary*0=r; boundary*0=s", "boundary", "r"},
        {"m; boundary*1=cd", "boundary", nullptr},
        {"m; boundary*4294967296=x", "boundary", nullptr},
        {"m; boundary*=''a%00b%4", "boundary", "a"},
        {"m; boundary*=''a%4", "boundary", "a%4"},
    };
    for (const auto& c : cases) {
        std::string out = "-";
        const bool found = GetParameterValue(c.value, c.name, out);
        EXPECT_EQ(found ? std::string(out) : "(none)", c.expected ? c.expected : "(none)")
            << c.value;
    }
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
            out += std::string(text.substr(p.bodyStart, p.bodyEnd - p.bodyStart));
            out += p.bodyEnd == kNoPosition ? "" : "|";
        }
        out += "\n";
    }
    return out;
}

TEST(CollectParts, WalksNestedPartsDepthFirst) {
    const struct {
        const char* what;
        const char* text;
        const char* parts;
    } cases[] = {
        {"closed nesting, text after the end ignored",
         "--out\r\nContent-Type: multipart/alternative;\r\n boundary=\"in\"\r\n\r\n"
         "--in\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding:\r\n  base64\r\n\r\nA\r\n"
         "--in\r\nContent-Type: text/html\r\n\r\n<p>\r\n--in--\r\n"
         "--out\r\nContent-Type: application/pdf\r\n\r\n%PDF\r\n"
         "--out--\r\nepilogue --out\r\n--out\r\nContent-Type: text/late\r\n\r\nx\r\n",
         "text/plain| base64|A\r\n|\ntext/html||<p>\r\n|\napplication/pdf||%PDF\r\n|\n"},
        // The nested part ends at the outer boundary line instead of swallowing the
        // attachment, and nothing is collected twice.
        {"unclosed nested part",
         "--out\r\nContent-Type: multipart/alternative; boundary=in\r\n\r\n"
         "--in\r\nContent-Type: text/plain\r\n\r\nfirst\r\n"
         "--out\r\nContent-Type: image/gif\r\n\r\nGIF\r\n--out--\r\n",
         "text/plain||first\r\n|\nimage/gif||GIF\r\n|\n"},
        {"nested boundary extending the outer one",
         "--out\r\nContent-Type: multipart/alternative; boundary=out_alt\r\n\r\n"
         "--out_alt\r\nContent-Type: text/plain\r\n\r\nplain\r\n--out_alt--\r\nend\r\n\r\n"
         "--out\r\nContent-Type: image/png\r\n\r\nPNG\r\n--out--\r\n",
         "text/plain||plain\r\n|\nimage/png||PNG\r\n|\n"},
        // A part whose header block runs to the end of the text ends the walk, kept without
        // a body.
        {"part without a body", "--out\r\n\r\none\r\n--out\r\nContent-Type: text/b\r\n",
         "||one\r\n|\ntext/b||-\n"},
        // Without the empty line the first line that cannot be a header starts the body:
        // one without a colon, or JIS text whose pairs hold ":" bytes.
        {"parts without their empty line",
         "--out\r\nContent-Type: text/a\r\nHello\r\n"
         "--out\r\nContent-Type: text/b\r\n\x1b$B$:\x1b(B: x\r\n--out--\r\n",
         "text/a||Hello\r\n|\ntext/b||\x1b$B$:\x1b(B: x\r\n|\n"},
        {"nested multipart without a body", "--out\r\nContent-Type: multipart/a; boundary=y\r\n",
         ""},
        {"a bare LF starts no line", "x\n--out\r\n\r\nq\r\n", ""},
        {"rest of a boundary line is no header", "--outContent-Type: text/a\r\n\r\nq\r\n",
         "||q\r\n\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Walk("multipart/mixed; boundary=out", c.text), c.parts) << c.what;
    }
    EXPECT_EQ(Walk("multipart/mixed", "--x\r\n\r\nbody"), "");
}

// A message of `levels` nested multiparts with a text part at the bottom; `same` gives
// every level the same boundary.
std::string Nested(int levels, bool same) {
    auto boundary = [same](int i) { return "b" + (same ? std::string() : std::to_string(i)); };
    std::string text;
    for (int i = 0; i < levels; ++i) {
        text += "--" + boundary(i) +
                "\r\nContent-Type: multipart/mixed; boundary=" + boundary(i + 1) + "\r\n\r\n";
    }
    text += "--" + boundary(levels) + "\r\nContent-Type: text/plain\r\n\r\nbottom\r\n";
    for (int i = levels; i >= 0; --i) {
        text += "--" + boundary(i) + "--\r\n";
    }
    return text;
}

TEST(CollectParts, NestingIsBounded) {
    // The message itself is one level, so kMaxPartNesting - 1 nested levels still reach the
    // text part; one more ends the walk.
    EXPECT_EQ(Walk("m; boundary=b0", Nested(kMaxPartNesting - 1, false)),
              "text/plain||bottom\r\n|\n");
    EXPECT_EQ(Walk("m; boundary=b0", Nested(kMaxPartNesting, false)), "");
    // Far deeper than the bound: no deep recursion, no walk that revisits the same lines
    // level after level.
    EXPECT_EQ(Walk("m; boundary=b0", Nested(20000, false)), "");
    EXPECT_EQ(Walk("m; boundary=b", Nested(20000, true)), "");
}

}  // namespace
}  // namespace pelmora
