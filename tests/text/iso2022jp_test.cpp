#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/mail_decode.h"

namespace pelmora {
namespace {

std::string ToSjis(const std::string& in) {
    std::vector<char> out(in.size() + 1, 'X');
    const size_t end = Iso2022JpToShiftJis(in.data(), in.size(), out.data());
    EXPECT_EQ(out[end], '\0');
    return std::string(out.data(), end);
}

TEST(JisPairToShiftJis, KnownPairs) {
    struct Case {
        unsigned char j1, j2, s1, s2;
    } cases[] = {
        {0x24, 0x44, 0x82, 0xC2},  // つ
        {0x21, 0x21, 0x81, 0x40},  // ideographic space
        {0x21, 0x5F, 0x81, 0x7E},  // last trail byte below 0x7F
        {0x21, 0x60, 0x81, 0x80},  // 0x7F is skipped
        {0x22, 0x21, 0x81, 0x9F},  // even row
        {0x5E, 0x7E, 0x9F, 0xFC},  // last row below the lead byte gap
        {0x5F, 0x21, 0xE0, 0x40},  // first row above it
        {0x2D, 0x21, 0x87, 0x40},  // ① (NEC row 13)
        {0x79, 0x21, 0xED, 0x40},  // first IBM extension kanji
        {0x7C, 0x7E, 0xEE, 0xFC},  // last IBM extension character
    };
    for (const Case& c : cases) {
        unsigned char a = c.j1, b = c.j2;
        JisPairToShiftJis(a, b);
        EXPECT_EQ(a, c.s1) << std::hex << int{c.j1} << " " << int{c.j2};
        EXPECT_EQ(b, c.s2) << std::hex << int{c.j1} << " " << int{c.j2};
    }
}

TEST(JisPairToShiftJis, MapsEveryPairToADistinctShiftJisCode) {
    std::vector<bool> seen(65536);
    for (unsigned j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (unsigned j2 = 0x21; j2 <= 0x7E; ++j2) {
            unsigned char a = static_cast<unsigned char>(j1), b = static_cast<unsigned char>(j2);
            JisPairToShiftJis(a, b);
            ASSERT_TRUE((a >= 0x81 && a <= 0x9F) || (a >= 0xE0 && a <= 0xEF)) << j1 << " " << j2;
            ASSERT_TRUE(b >= 0x40 && b <= 0xFC && b != 0x7F) << j1 << " " << j2;
            ASSERT_FALSE(seen[a * 256 + b]) << j1 << " " << j2;
            seen[a * 256 + b] = true;
        }
    }
}

TEST(Iso2022JpToShiftJis, ConvertsEscapesAndModes) {
    const std::string tsu = "\x82\xC2";
    struct Case {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"kanji in, ascii out", "a\x1b$B$D\x1b(Bb", "a" + tsu + "b"},
        {"old JIS in, roman out", "\x1b$@$D\x1b(J$D", tsu + "$D"},
        {"ESC ( H leaves kanji", "\x1b$B$D\x1b(H$D", tsu + "$D"},
        {"other ESC ( x copied", "\x1b$B$D\x1b(I$D", tsu + "\x1b(I$D"},
        {"other ESC $ x copied", "\x1b$Ax", "\x1b$Ax"},
        {"ESC * sets drop", "\x1b*Xab", "ab"},
        {"ESC N with G2 katakana", "\x1b*I\x1bN1\x1bN2", "\xB1\xB2"},
        {"ESC N without G2", "\x1bN1", "\x1bN1"},
        {"G2 katakana off", "\x1b*I\x1b*B\x1bN1", "\x1bN1"},
        {"ESC K / ESC H", "\x1bK$D\x1bH$D", tsu + "$D"},
        {"unknown escape copied", "\x1bxy", "\x1bxy"},
        {"LF leaves kanji", "\x1b$B$D\n$D", tsu + "\n$D"},
        {"CR leaves kanji", "\x1b$B$D\r$D", tsu + "\r$D"},
        {"lone byte before escape", "\x1b$B$\x1b(Bab", "$ab"},
        {"lone byte before LF", "\x1b$B$\n$D", "$\n$D"},
        {"lone byte before space", "\x1b$B$ $D", "$ " + tsu},
        {"SO ... SI", "\x0e\x31\x32\x0f\x33", "\xB1\xB2\x33"},
        {"SO stops at CR", "\x0e\x31\r\n2", "\xB1\r\n2"},
        {"SO stops at ESC", "\x0e\x31\x1b$B$D", "\xB1" + tsu},
        {"SO inside kanji", "\x1b$B\x0e\x31\x0f$D", "\xB1" + tsu},
        {"SO to the end", "\x0e\x31\x32", "\xB1\xB2"},
        {"EUC-JP bytes copied", "\xA4\xA2\x1b$B\xA4\xA2", "\xA4\xA2\xA4\xA2"},
        {"Shift_JIS passes through", "\x82\xA0x", "\x82\xA0x"},
        // The end of input in the middle of things.
        {"ESC at end", "ab\x1b", "ab"},
        {"ESC $ at end", "a\x1b$", "a\x1b$"},
        {"ESC ( at end", "a\x1b(", "a\x1b("},
        {"ESC * at end", "a\x1b*", "a"},
        {"ESC N at end", "\x1b*I\x1bN", ""},
        {"half a character at end", "\x1b$B$D$", tsu},
        {"NUL ends input", std::string("ab\0cd", 5), "ab"},
        // Vendor rows inside ISO-2022-JP: ①, ㈱, ㍉ and IBM kanji 纊.
        {"NEC and IBM rows", "\x1b$B-!-j-@y!\x1b(B", "\x87\x40\x87\x8A\x87\x5F\xED\x40"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToSjis(c.in), c.out) << c.name;
    }
}

TEST(Iso2022JpToShiftJis, StopsAtTheGivenLength) {
    char out[8];
    EXPECT_EQ(Iso2022JpToShiftJis("\x1b$B$D", 2, out), 2u);  // ESC $ then the end
    EXPECT_EQ(std::string(out), "\x1b$");
    EXPECT_EQ(Iso2022JpToShiftJis("abcd", 2, out), 2u);
    EXPECT_EQ(std::string(out), "ab");
}

}  // namespace
}  // namespace pelmora
