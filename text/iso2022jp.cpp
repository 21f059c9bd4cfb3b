// ISO-2022-JP to Shift_JIS, byte for byte, for the code page 932 conversion that follows.
//
// Japanese mail is converted this way rather than through a general converter so that the
// vendor rows that mailers put inside ISO-2022-JP (the NEC special characters of row 13,
// the IBM extension kanji of rows 89-92) land on the code page 932 codes that carry them.
#include <cstddef>

#include "text/mail_decode.h"

namespace pelmora {
namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kSo = 0x0E;
constexpr unsigned char kSi = 0x0F;
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kLf = 0x0A;

bool IsJisByte(unsigned char b) {
    return b >= 0x21 && b <= 0x7E;
}

}  // namespace

void JisPairToShiftJis(unsigned char& first, unsigned char& second) {
    unsigned j1 = first;
    unsigned j2 = second;
    if (j1 & 1) {
        j2 += (j2 < 0x60) ? 0x1F : 0x20;
    } else {
        j2 += 0x7E;
    }
    j1 = (j1 < 0x5F) ? (j1 + 0xE1) / 2 : (j1 + 0x161) / 2;
    first = static_cast<unsigned char>(j1);
    second = static_cast<unsigned char>(j2);
}

size_t Iso2022JpToShiftJis(const char* in, size_t n, char* out) {
    const auto* s = reinterpret_cast<const unsigned char*>(in);
    size_t len = 0;
    while (len < n && s[len] != 0) {
        ++len;
    }
    size_t o = 0;
    auto put = [&](unsigned char b) { out[o++] = static_cast<char>(b); };
    bool kanji = false;
    bool g2Katakana = false;
    size_t i = 0;
    while (i < len) {
        const unsigned char b = s[i];
        if (b == kEsc) {
            if (i + 1 >= len) {
                break;
            }
            const unsigned char x = s[i + 1];
            const bool third = i + 2 < len;
            const unsigned char y = third ? s[i + 2] : 0;
            if (x == '$') {
                if (third && (y == '@' || y == 'B')) {
                    kanji = true;
                } else {
                    put(kEsc);
                    put('$');
                    if (!third) {
                        break;
                    }
                    put(y);
                }
                i += 3;
            } else if (x == '(') {
                if (!third || (y != 'B' && y != 'J' && y != 'H')) {
                    put(kEsc);
                    put('(');
                    if (!third) {
                        break;
                    }
                    put(y);
                }
                kanji = false;
                i += 3;
            } else if (x == '*') {
                if (!third) {
                    break;
                }
                if (y == 'B') {
                    g2Katakana = false;
                } else if (y == 'I') {
                    g2Katakana = true;
                }
                i += 3;
            } else if (x == 'N' && g2Katakana) {
                // Single shift into the katakana set; a shift with nothing after it
                // yields nothing rather than a stray byte.
                if (!third) {
                    break;
                }
                put(static_cast<unsigned char>(y + 0x80));
                i += 3;
            } else if (x == 'K') {
                kanji = true;
                i += 2;
            } else if (x == 'H') {
                kanji = false;
                i += 2;
            } else {
                put(kEsc);
                put(x);
                i += 2;
            }
            continue;
        }
        if (kanji && (b == kCr || b == kLf)) {
            kanji = false;
            put(b);
            ++i;
            continue;
        }
        if (kanji && IsJisByte(b)) {
            if (i + 1 >= len) {
                break;  // half a character at the end is dropped
            }
            unsigned char second = s[i + 1];
            if (IsJisByte(second)) {
                unsigned char first = b;
                JisPairToShiftJis(first, second);
                put(first);
                put(second);
                i += 2;
            } else {
                // A lone byte: copied, and the byte after it is read afresh so that a
                // line end or escape right behind it still switches the mode.
                put(b);
                ++i;
            }
            continue;
        }
        if (b == kSo) {
            ++i;
            while (i < len) {
                const unsigned char k = s[i];
                if (k == kSi) {
                    ++i;
                    break;
                }
                if (k == kCr || k == kLf || k == kEsc) {
                    break;
                }
                put(static_cast<unsigned char>(k + 0x80));
                ++i;
            }
            continue;
        }
        put(b);
        ++i;
    }
    out[o] = '\0';
    return o;
}

}  // namespace pelmora
