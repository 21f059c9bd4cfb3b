#include "text/codecs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora {
namespace {

// Decodes with an output array of exactly the documented size, so that the sanitizers
// see any write beyond it.
std::string Strict(const std::string& text) {
    std::vector<unsigned char> out(text.size());
    const size_t n = Base64Decode(text.data(), text.size(), out.data());
    EXPECT_EQ(n, Base64Decode(text.data(), text.size(), nullptr)) << "counting differs";
    return std::string(out.begin(), out.begin() + static_cast<long>(n));
}

std::string Tolerant(const std::string& text) {
    std::vector<unsigned char> out(text.size() + 1, 0xAA);
    const size_t n = Base64DecodeText(text.data(), text.size(), out.data());
    EXPECT_EQ(out[n], 0) << "no terminator";
    return std::string(out.begin(), out.begin() + static_cast<long>(n));
}

std::string Qp(const std::string& text) {
    std::vector<unsigned char> out(text.size() + 1, 0xAA);
    const size_t n = QuotedPrintableDecode(text.data(), text.size(), out.data());
    EXPECT_EQ(out[n], 0) << "no terminator";
    return std::string(out.begin(), out.begin() + static_cast<long>(n));
}

struct Case {
    std::string in;
    std::string out;
};

TEST(Base64, EncodesEveryGroupLength) {
    const Case cases[] = {
        {"", ""},
        {"a", "YQ=="},
        {"ab", "YWI="},
        {"abc", "YWJj"},
        {"abcd", "YWJjZA=="},
        {std::string("\0\0", 2), "AAA="},
        {"\x8f\x90\x96\xbc", "j5CWvA=="},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Base64Encode(c.in.data(), c.in.size()), c.out);
    }
}

TEST(Base64, EveryByteSurvivesBothDecoders) {
    std::string all;
    for (int len = 0; len < 300; ++len) {
        const std::string encoded = Base64Encode(all.data(), all.size());
        ASSERT_EQ(encoded.size(), (all.size() + 2) / 3 * 4);
        EXPECT_EQ(Strict(encoded), all);
        EXPECT_EQ(Tolerant(encoded), all);
        all.push_back(static_cast<char>(len * 7));  // every byte value, NUL included
    }
}

TEST(Base64, StrictDecoderOnBrokenText) {
    const Case cases[] = {
        {"Q", "@"},   // a lone first character still gives its six bits
        {"Q!", "@"},  // ... also when only skipped characters follow it
        {"YWJjQ", "abc@"},
        {"YQ", "a"},  // padding may be left out
        {"YWI", "ab"},
        {"YQ=x", "a"},       // "=" as the third character ends the text
        {"YWI=Yg==", "ab"},  // ... and as the fourth
        {"=YQ==", "a"},      // "=" in the first two places is not padding
        {"Y=Q==", "a"},
        {"YW\r\nJj", "abc"},  // outside the alphabet: skipped
        {"\x80\xff"
         "YQ==",
         "a"},
        {"====", ""},
        {"!!!", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Strict(c.in), c.out) << c.in;
    }
}

TEST(Base64, TolerantDecoderOnMailText) {
    const Case cases[] = {
        {"YW\r\nJj", "abc"},
        {" \tYWJj\r\n", "abc"},
        {"YWJj=ZZZZ", "abc"},  // the first "=" ends it, wherever it stands
        {"=YWJj", ""},
        {"YW=Jj", "a"},
        {"Y", ""},  // a lone first character gives nothing here
        {"YQ", "a"},
        {"Y*W#J!j", "abc"},  // outside the alphabet: skipped
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Tolerant(c.in), c.out) << c.in;
    }
}

TEST(QuotedPrintable, Decodes) {
    const Case cases[] = {
        {"a=3Db=\r\nc", "a=bc"},
        {"=41", "A"},
        {"=4a", "J"},
        {"=4g", "\x50"},                      // letters count on past F
        {"=zz", "\x53"},                      // kept to eight bits
        {"=\x01\x02", std::string("\0", 1)},  // non-digits count 0
        {"a=\nb", "ab"},                      // soft break with a bare LF
        {"=\r\n=\r\n", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Qp(c.in), c.out) << c.in;
    }
}

TEST(QuotedPrintable, AnEqualsSignNearTheEndEndsTheText) {
    const Case cases[] = {{"ab=", "ab"}, {"ab=4", "ab"}, {"ab=\r", "ab"}, {"=", ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(Qp(c.in), c.out) << c.in;
    }
}

TEST(Codecs, InputEndsAtTheLengthOrTheFirstNul) {
    const std::string withNul("YWJj\0YWJj", 9);
    EXPECT_EQ(Strict(withNul), "abc");
    EXPECT_EQ(Tolerant(withNul), "abc");
    EXPECT_EQ(Qp(std::string("a=41\0b", 6)), "aA");
    // A length shorter than the text: nothing beyond it is read.
    unsigned char out[8] = {};
    EXPECT_EQ(Base64Decode("YWJj", 2, out), 1u);
    EXPECT_EQ(Base64DecodeText("YWJj", 3, out), 2u);
    EXPECT_EQ(QuotedPrintableDecode("=41", 2, out), 0u);
    EXPECT_EQ(Base64Decode(nullptr, 4, out), 0u);
}

}  // namespace
}  // namespace pelmora
