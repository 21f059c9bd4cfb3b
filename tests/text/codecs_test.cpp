#include "text/codecs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora {
namespace {

// 'S' strict base64, 'T' tolerant base64, 'Q' quoted-printable. Output arrays have exactly
// the documented size, so that the sanitizers see any write beyond them.
std::string Decode(char codec, const std::string& text) {
    std::vector<unsigned char> out(text.size() + (codec == 'S' ? 0 : 1), 0xAA);
    size_t n;
    if (codec == 'S') {
        n = Base64Decode(text.data(), text.size(), out.data());
        EXPECT_EQ(n, Base64Decode(text.data(), text.size(), nullptr)) << "counting differs";
    } else {
        n = (codec == 'T' ? Base64DecodeText : QuotedPrintableDecode)(text.data(), text.size(),
                                                                      out.data());
        EXPECT_EQ(out[n], 0) << "no terminator";
    }
    return std::string(out.begin(), out.begin() + static_cast<long>(n));
}

TEST(Codecs, DecodeBrokenText) {
    const struct {
        char codec;
        std::string in, out;
    } cases[] = {
        {'S', "Q", "@"},                   // a lone first character still gives its six bits
        {'S', "Q!", "@"},                  // ... also when only skipped characters follow it
        {'S', "YQ", "a"},                  // padding may be left out
        {'S', "YQ=x", "a"},                // "=" as the third character ends the text
        {'S', "YWI=Yg==", "ab"},           // ... and as the fourth
        {'S', "Y=Q==", "a"},               // "=" in the first two places is not padding
        {'S', "\x80\xffYW\r\nJj", "abc"},  // outside the alphabet: skipped
        {'T', " \tYW\r\nJj\r\n", "abc"},
        {'T', "YWJj=ZZZZ", "abc"},  // the first "=" ends it, wherever it stands
        {'T', "Y", ""},             // a lone first character gives nothing here
        {'T', "YQ", "a"},
        {'T', "Y*W#J!j", "abc"},
        {'Q', "a=3Db=\r\nc", "a=bc"},
        {'Q', "=4a", "J"},
        {'Q', "=4g", "\x50"},                      // letters count on past F
        {'Q', "=zz", "\x53"},                      // kept to eight bits
        {'Q', "=\x01\x02", std::string("\0", 1)},  // non-digits count 0
        {'Q', "a=\nb", "ab"},                      // soft break with a bare LF
        {'Q', "ab=", "ab"},                        // an "=" near the end ends the text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.codec, c.in), c.out) << c.codec << " " << c.in;
    }
}

TEST(Codecs, InputEndsAtTheLengthOrTheFirstNul) {
    const std::string withNul("YWJj\0YWJj", 9);
    EXPECT_EQ(Decode('S', withNul), "abc");
    EXPECT_EQ(Decode('T', withNul), "abc");
    EXPECT_EQ(Decode('Q', std::string("a=41\0b", 6)), "aA");
    // A length shorter than the text: nothing beyond it is read.
    unsigned char out[8] = {};
    EXPECT_EQ(Base64Decode("YWJj", 2, out), 1u);
    EXPECT_EQ(Base64DecodeText("YWJj", 3, out), 2u);
    EXPECT_EQ(QuotedPrintableDecode("=41", 2, out), 0u);
    EXPECT_EQ(Base64Decode(nullptr, 4, out), 0u);
}

}  // namespace
}  // namespace pelmora
