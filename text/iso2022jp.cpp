// ISO-2022-JP to Shift_JIS, byte for byte, for the code page 932 conversion that follows;
// where the build decodes code page 932 from its own tables, both steps are made in one pass.
//
// Japanese mail is converted this way rather than through a general converter so that the
// vendor rows that mailers put inside ISO-2022-JP (the NEC special characters of row 13,
// the IBM extension kanji of rows 89-92) land on the code page 932 codes that carry them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "text/codepage.h"
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

size_t TextLength(const char* s, size_t n) {
    if (n == 0) {
        return 0;
    }
    const void* nul = std::memchr(s, 0, n);
    return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - s) : n;
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

namespace {

// Reads ISO-2022-JP text one step at a time (an escape sequence, a character, a shifted
// run or one byte) and hands out the Shift_JIS bytes: one at a time to `put`, two at a
// time to `putPair` for a converted JIS character.
struct Iso2022JpReader {
    const unsigned char* s;
    size_t len;
    size_t i = 0;
    bool kanji = false;
    bool g2Katakana = false;

    bool AtEnd() const { return i >= len; }
    void Stop() { i = len; }

    template <typename Put, typename PutPair>
    void Step(Put put, PutPair putPair) {
        const unsigned char b = s[i];
        if (b == kEsc) {
            Escape(put);
            return;
        }
        if (kanji && (b == kCr || b == kLf)) {
            kanji = false;
            put(b);
            ++i;
            return;
        }
        if (kanji && IsJisByte(b)) {
            if (i + 1 >= len) {
                Stop();  // half a character at the end is dropped
                return;
            }
            unsigned char second = s[i + 1];
            if (IsJisByte(second)) {
                unsigned char first = b;
                JisPairToShiftJis(first, second);
                putPair(first, second);
                i += 2;
            } else {
                // A lone byte: copied, and the byte after it is read afresh so that a
                // line end or escape right behind it still switches the mode.
                put(b);
                ++i;
            }
            return;
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
            return;
        }
        put(b);
        ++i;
    }

    template <typename Put>
    void Escape(Put put) {
        if (i + 1 >= len) {
            Stop();
            return;
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
                    Stop();
                    return;
                }
                put(y);
            }
            i += 3;
        } else if (x == '(') {
            if (!third || (y != 'B' && y != 'J' && y != 'H')) {
                put(kEsc);
                put('(');
                if (!third) {
                    Stop();
                    return;
                }
                put(y);
            }
            kanji = false;
            i += 3;
        } else if (x == '*') {
            if (!third) {
                Stop();
                return;
            }
            if (y == 'B') {
                g2Katakana = false;
            } else if (y == 'I') {
                g2Katakana = true;
            }
            i += 3;
        } else if (x == 'N' && g2Katakana) {
            // Single shift into the katakana set; a shift with nothing after it yields
            // nothing rather than a stray byte.
            if (!third) {
                Stop();
                return;
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
    }
};

// The characters of the two common runs as the code page decodes them, by input: plain
// bytes outside kanji mode, and JIS pairs inside it, indexed by the two bytes as they lie
// in memory read as one 16-bit unit (both below 0x80). 0 where the input needs the general
// path: an escape, a shift, a lead byte, bytes that are not a JIS pair, or a pair whose
// Shift_JIS form does not start with a lead byte.
class RunTables {
public:
    static const RunTables& Get(const AnsiDecodeTable& t) {
        static const RunTables tables(t);
        return tables;
    }
    char16_t Plain(unsigned char b) const { return plain_[b]; }
    // Two bytes at `p`, or 0 when either is 0x80 or above.
    char16_t Pair(const unsigned char* p) const {
        uint16_t unit;
        std::memcpy(&unit, p, sizeof unit);
        return (unit & 0x8080) == 0 ? pairs_[unit] : 0;
    }

private:
    explicit RunTables(const AnsiDecodeTable& t) {
        for (unsigned b = 1; b < 256; ++b) {
            if (b != kEsc && b != kSo && !t.lead[b]) {
                plain_[b] = t.single[b];
            }
        }
        for (unsigned j1 = 0x21; j1 <= 0x7E; ++j1) {
            for (unsigned j2 = 0x21; j2 <= 0x7E; ++j2) {
                unsigned char first = static_cast<unsigned char>(j1);
                unsigned char second = static_cast<unsigned char>(j2);
                JisPairToShiftJis(first, second);
                if (t.lead[first]) {
                    const unsigned char bytes[2] = {static_cast<unsigned char>(j1),
                                                    static_cast<unsigned char>(j2)};
                    uint16_t unit;
                    std::memcpy(&unit, bytes, sizeof unit);
                    pairs_[unit] = t.pair[first * 256u + second];
                }
            }
        }
    }
    char16_t plain_[256] = {};
    char16_t pairs_[0x8000] = {};
};

// Reads the common runs from the reader's position: JIS pairs in kanji mode, handed to
// `pair` (the address of the two bytes), plain bytes outside it, handed to `plain`, and the
// escapes that switch between the two (they give nothing). Each handler writes what it was
// given and says true, or says false where the general path must take over.
template <typename Plain, typename Pair>
void ReadRuns(Iso2022JpReader& r, Plain plain, Pair pair) {
    const unsigned char* p = r.s + r.i;
    const unsigned char* const end = r.s + r.len;
    for (;;) {
        if (r.kanji) {
            while (end - p >= 2 && pair(p)) {
                p += 2;
            }
        } else {
            while (p < end && plain(*p)) {
                ++p;
            }
        }
        if (end - p < 3 || p[0] != kEsc) {
            break;
        }
        if (p[1] == '$' && (p[2] == 'B' || p[2] == '@')) {
            r.kanji = true;
        } else if (p[1] == '(' && (p[2] == 'B' || p[2] == 'J' || p[2] == 'H')) {
            r.kanji = false;
        } else {
            break;
        }
        p += 3;
    }
    r.i = static_cast<size_t>(p - r.s);
}

}  // namespace

size_t Iso2022JpToShiftJis(const char* in, size_t n, char* out) {
    size_t o = 0;
    auto put = [&](unsigned char b) { out[o++] = static_cast<char>(b); };
    auto putPair = [&](unsigned char first, unsigned char second) {
        put(first);
        put(second);
    };
    auto plain = [&](unsigned char b) {
        if (b == kEsc || b == kSo) {
            return false;
        }
        put(b);
        return true;
    };
    auto pair = [&](const unsigned char* p) {
        unsigned char first = p[0];
        unsigned char second = p[1];
        if (!IsJisByte(first) || !IsJisByte(second)) {
            return false;
        }
        JisPairToShiftJis(first, second);
        putPair(first, second);
        return true;
    };
    Iso2022JpReader reader{reinterpret_cast<const unsigned char*>(in), TextLength(in, n)};
    while (!reader.AtEnd()) {
        ReadRuns(reader, plain, pair);
        if (!reader.AtEnd()) {
            reader.Step(put, putPair);
        }
    }
    out[o] = '\0';
    return o;
}

bool AppendWideFromIso2022Jp(const char* in, size_t n, std::u16string& out) {
    const size_t len = TextLength(in, n);
    const AnsiDecodeTable* table = AnsiDecodeTableOrNull();
    if (table == nullptr) {
        std::unique_ptr<char[]> sjis(new char[len + 1]);
        const size_t m = Iso2022JpToShiftJis(in, len, sjis.get());
        return AppendWideFromAnsi(sjis.get(), m, out);
    }
    // One pass: the Shift_JIS bytes are decoded as they come, with the code page's own
    // rule for a lead byte (it takes the next byte as its trail unless that is NUL).
    const AnsiDecodeTable& t = *table;
    const RunTables& runs = RunTables::Get(t);
    const size_t old = out.size();
    out.resize(old + len);  // never more characters than bytes
    char16_t* o = &out[0] + old;
    unsigned pendingLead = 0;  // a lead byte waiting for its trail; 0 for none
    auto put = [&](unsigned char b) {
        if (pendingLead != 0) {
            if (b != 0) {
                *o++ = t.pair[pendingLead * 256 + b];
                pendingLead = 0;
                return;
            }
            *o++ = t.unmapped;
            pendingLead = 0;
        }
        if (t.lead[b]) {
            pendingLead = b;
        } else {
            *o++ = t.single[b];
        }
    };
    auto putPair = [&](unsigned char first, unsigned char second) {
        put(first);
        put(second);
    };
    Iso2022JpReader r{reinterpret_cast<const unsigned char*>(in), len};
    while (!r.AtEnd()) {
        if (pendingLead == 0) {
            // Only whole characters come out of the runs, so none is left waiting.
            ReadRuns(
                r,
                [&](unsigned char b) {
                    const char16_t c = runs.Plain(b);
                    if (c == 0) {
                        return false;
                    }
                    *o++ = c;
                    return true;
                },
                [&](const unsigned char* p) {
                    const char16_t c = runs.Pair(p);
                    if (c == 0) {
                        return false;
                    }
                    *o++ = c;
                    return true;
                });
        }
        if (!r.AtEnd()) {
            r.Step(put, putPair);
        }
    }
    if (pendingLead != 0) {
        *o++ = t.unmapped;
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return true;
}

}  // namespace pelmora
