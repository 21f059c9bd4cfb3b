// Native stand-in for the ANSI code page: Shift_JIS as Windows defines it (code page 932),
// with the tables taken from the C library's iconv and the conversion rules of the
// Windows converter, so that both builds turn the same bytes into the same text.
#include "text/codepage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <mutex>
#include <vector>

namespace pelmora {
namespace {

constexpr char16_t kDefaultWide = 0x30FB;  // what code page 932 gives for unmapped bytes
constexpr char kDefaultAnsi = '?';

// Where Windows' code page 932 converter differs from iconv when encoding: its best-fit
// mappings (Latin-1 letters to their base letter and the like) and a few code points it
// leaves unmapped. 0x3F is the default character.
struct EncodeOverride {
    char16_t wide;
    unsigned code;
};
constexpr EncodeOverride kWindowsEncodeOverrides[] = {
    {0x0080, 0x80},   {0x00a1, 0x21},   {0x00a6, 0x7c},   {0x00a9, 0x63},   {0x00aa, 0x61},
    {0x00ab, 0x81e1}, {0x00ad, 0x2d},   {0x00ae, 0x52},   {0x00af, 0x8150}, {0x00b2, 0x32},
    {0x00b3, 0x33},   {0x00b5, 0x83ca}, {0x00b7, 0x8145}, {0x00b8, 0x8143}, {0x00b9, 0x31},
    {0x00ba, 0x6f},   {0x00bb, 0x81e2}, {0x00c0, 0x41},   {0x00c1, 0x41},   {0x00c2, 0x41},
    {0x00c3, 0x41},   {0x00c4, 0x41},   {0x00c5, 0x41},   {0x00c6, 0x41},   {0x00c7, 0x43},
    {0x00c8, 0x45},   {0x00c9, 0x45},   {0x00ca, 0x45},   {0x00cb, 0x45},   {0x00cc, 0x49},
    {0x00cd, 0x49},   {0x00ce, 0x49},   {0x00cf, 0x49},   {0x00d0, 0x44},   {0x00d1, 0x4e},
    {0x00d2, 0x4f},   {0x00d3, 0x4f},   {0x00d4, 0x4f},   {0x00d5, 0x4f},   {0x00d6, 0x4f},
    {0x00d8, 0x4f},   {0x00d9, 0x55},   {0x00da, 0x55},   {0x00db, 0x55},   {0x00dc, 0x55},
    {0x00dd, 0x59},   {0x00de, 0x54},   {0x00df, 0x73},   {0x00e0, 0x61},   {0x00e1, 0x61},
    {0x00e2, 0x61},   {0x00e3, 0x61},   {0x00e4, 0x61},   {0x00e5, 0x61},   {0x00e6, 0x61},
    {0x00e7, 0x63},   {0x00e8, 0x65},   {0x00e9, 0x65},   {0x00ea, 0x65},   {0x00eb, 0x65},
    {0x00ec, 0x69},   {0x00ed, 0x69},   {0x00ee, 0x69},   {0x00ef, 0x69},   {0x00f0, 0x64},
    {0x00f1, 0x6e},   {0x00f2, 0x6f},   {0x00f3, 0x6f},   {0x00f4, 0x6f},   {0x00f5, 0x6f},
    {0x00f6, 0x6f},   {0x00f8, 0x6f},   {0x00f9, 0x75},   {0x00fa, 0x75},   {0x00fb, 0x75},
    {0x00fc, 0x75},   {0x00fd, 0x79},   {0x00fe, 0x74},   {0x00ff, 0x79},   {0x2014, 0x3f},
    {0x2016, 0x3f},   {0x203e, 0x3f},   {0x2212, 0x3f},   {0x301c, 0x3f},   {0x3094, 0x8394},
    {0xf8f0, 0xa0},   {0xf8f1, 0xfd},   {0xf8f2, 0xfe},   {0xf8f3, 0xff},
};

class Cp932Tables {
public:
    static const Cp932Tables& Get() {
        static const Cp932Tables tables;
        return tables;
    }

    const AnsiDecodeTable& Decoding() const { return decoding_; }
    // 0 when the code unit has no mapping; else one byte (< 0x100) or a lead/trail pair.
    unsigned Encode(char16_t c) const { return encode_[c]; }

private:
    Cp932Tables()
        : double_(256 * 256, kDefaultWide),
          encode_(65536, 0),
          decoding_{lead_.data(), single_.data(), double_.data(), kDefaultWide} {
        iconv_t cd = iconv_open("UTF-16LE", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            return;
        }
        for (unsigned b = 0; b < 256; ++b) {
            char in[1] = {static_cast<char>(b)};
            int r = Decode(cd, in, 1, &single_[b]);
            lead_[b] = (r == EINVAL);
            if (r != 0) {
                single_[b] = kDefaultWide;
            }
        }
        // The Windows table maps these lone bytes to fixed code points where iconv has none.
        single_[0x80] = 0x0080;
        single_[0xA0] = 0xF8F0;
        single_[0xFD] = 0xF8F1;
        single_[0xFE] = 0xF8F2;
        single_[0xFF] = 0xF8F3;
        for (unsigned lead = 0x80; lead < 256; ++lead) {
            if (!lead_[lead]) {
                continue;
            }
            for (unsigned trail = 1; trail < 256; ++trail) {
                char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char16_t c = 0;
                if (Decode(cd, in, 2, &c) == 0) {
                    double_[lead * 256 + trail] = c;
                }
            }
        }
        iconv_close(cd);

        iconv_t back = iconv_open("CP932", "UTF-16LE");
        if (back == reinterpret_cast<iconv_t>(-1)) {
            return;
        }
        for (unsigned c = 1; c < 65536; ++c) {
            if (c >= 0xD800 && c < 0xE000) {
                continue;
            }
            char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
            char out[4];
            char* ip = in;
            char* op = out;
            size_t il = 2;
            size_t ol = sizeof out;
            iconv(back, nullptr, nullptr, nullptr, nullptr);
            if (iconv(back, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
                continue;
            }
            const size_t len = sizeof out - ol;
            if (len == 1) {
                encode_[c] = static_cast<unsigned char>(out[0]);
            } else if (len == 2) {
                encode_[c] =
                    (static_cast<unsigned char>(out[0]) << 8) | static_cast<unsigned char>(out[1]);
            }
        }
        iconv_close(back);
        for (const EncodeOverride& o : kWindowsEncodeOverrides) {
            encode_[o.wide] = o.code == 0x3f ? 0 : o.code;
        }
    }

    // 0 on success, else the errno iconv reported.
    static int Decode(iconv_t cd, char* in, size_t n, char16_t* out) {
        char buf[8];
        char* ip = in;
        char* op = buf;
        size_t il = n;
        size_t ol = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
            return errno;
        }
        if (sizeof buf - ol != 2) {
            return EILSEQ;
        }
        *out = static_cast<char16_t>(static_cast<unsigned char>(buf[0]) |
                                     (static_cast<unsigned char>(buf[1]) << 8));
        return 0;
    }

    std::array<bool, 256> lead_{};
    std::array<char16_t, 256> single_{};
    std::vector<char16_t> double_;
    std::vector<unsigned> encode_;
    AnsiDecodeTable decoding_;
};

}  // namespace

const AnsiDecodeTable* AnsiDecodeTableOrNull() {
    return &Cp932Tables::Get().Decoding();
}

bool AppendWideFromAnsi(const char* bytes, size_t n, std::u16string& out) {
    const AnsiDecodeTable& t = Cp932Tables::Get().Decoding();
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    // Never more characters than bytes: write into that much room, then cut it to size.
    const size_t old = out.size();
    out.resize(old + n);
    char16_t* o = &out[0] + old;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char b = s[i];
        if (!t.lead[b]) {
            *o++ = t.single[b];
        } else if (i + 1 < n && s[i + 1] != 0) {
            *o++ = t.pair[b * 256u + s[i + 1]];
            ++i;
        } else {
            *o++ = kDefaultWide;
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return true;
}

bool AppendAnsiFromWide(const char16_t* wide, size_t n, std::string& out) {
    const Cp932Tables& t = Cp932Tables::Get();
    const size_t old = out.size();
    out.resize(old + n * 2);
    char* o = &out[0] + old;
    for (size_t i = 0; i < n; ++i) {
        const char16_t c = wide[i];
        if (c == 0) {
            *o++ = '\0';
            continue;
        }
        const unsigned code = t.Encode(c);
        if (code == 0) {
            *o++ = kDefaultAnsi;
        } else if (code < 0x100) {
            *o++ = static_cast<char>(code);
        } else {
            *o++ = static_cast<char>(code >> 8);
            *o++ = static_cast<char>(code & 0xFF);
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return true;
}

}  // namespace pelmora
