#include "text/codecs.h"

#include <array>

namespace pelmora {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotBase64 = -1;

constexpr std::array<int, 256> MakeDecodeTable() {
    std::array<int, 256> t{};
    for (int& v : t) {
        v = kNotBase64;
    }
    for (int i = 0; i < 64; ++i) {
        t[static_cast<unsigned char>(kAlphabet[i])] = i;
    }
    return t;
}
constexpr std::array<int, 256> kDecode = MakeDecodeTable();

// Input ends at `n` or at the first NUL, whichever comes first.
size_t TextLength(const char* text, size_t n) {
    size_t len = 0;
    while (text != nullptr && len < n && text[len] != '\0') {
        ++len;
    }
    return len;
}

}  // namespace

std::string Base64Encode(const char* data, size_t n) {
    const auto* b = reinterpret_cast<const unsigned char*>(data);
    std::string out;
    if (data == nullptr) {
        return out;
    }
    out.reserve((n + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        out.push_back(kAlphabet[b[i] >> 2]);
        out.push_back(kAlphabet[((b[i] & 0x03) << 4) | (b[i + 1] >> 4)]);
        out.push_back(kAlphabet[((b[i + 1] & 0x0F) << 2) | (b[i + 2] >> 6)]);
        out.push_back(kAlphabet[b[i + 2] & 0x3F]);
    }
    if (n - i == 2) {
        out.push_back(kAlphabet[b[i] >> 2]);
        out.push_back(kAlphabet[((b[i] & 0x03) << 4) | (b[i + 1] >> 4)]);
        out.push_back(kAlphabet[(b[i + 1] & 0x0F) << 2]);
        out.push_back('=');
    } else if (n - i == 1) {
        out.push_back(kAlphabet[b[i] >> 2]);
        out.push_back(kAlphabet[(b[i] & 0x03) << 4]);
        out += "==";
    }
    return out;
}

namespace {

// Assembles groups of four alphabet characters into bytes, skipping everything outside the
// alphabet, and hands each byte to `emit`. A "=" ends the text; the strict decoder lets one
// stand in place of characters 3 and 4 only, and skips it earlier. Gives the value of a
// last group's first character when it was left alone, else -1.
template <typename Emit>
int DecodeGroups(const char* text, size_t len, bool strictPadding, Emit emit) {
    unsigned char group[4];
    size_t have = 0;
    for (size_t i = 0; i < len; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '=' && (!strictPadding || have >= 2)) {
            break;
        }
        const int v = kDecode[c];
        if (v == kNotBase64) {
            continue;  // whitespace and anything else outside the alphabet
        }
        group[have++] = static_cast<unsigned char>(v);
        if (have == 2) {
            emit(static_cast<unsigned char>((group[0] << 2) | (group[1] >> 4)));
        } else if (have == 3) {
            emit(static_cast<unsigned char>((group[1] << 4) | (group[2] >> 2)));
        } else if (have == 4) {
            emit(static_cast<unsigned char>((group[2] << 6) | group[3]));
            have = 0;
        }
    }
    return have == 1 ? group[0] : -1;
}

}  // namespace

size_t Base64Decode(const char* text, size_t n, unsigned char* out) {
    size_t count = 0;
    auto emit = [&](unsigned char byte) {
        if (out != nullptr) {
            out[count] = byte;
        }
        ++count;
    };
    const int lone = DecodeGroups(text, TextLength(text, n), true, emit);
    // A first character with nothing after it still gives its six bits. Skipped
    // characters do not count as "after it", so "Q" and "Q!" decode alike.
    if (lone >= 0) {
        emit(static_cast<unsigned char>(lone << 2));
    }
    return count;
}

size_t Base64DecodeText(const char* text, size_t n, unsigned char* out) {
    size_t count = 0;
    DecodeGroups(text, TextLength(text, n), false,
                 [&](unsigned char byte) { out[count++] = byte; });
    out[count] = '\0';
    return count;
}

size_t QuotedPrintableDecode(const char* text, size_t n, unsigned char* out) {
    const size_t len = TextLength(text, n);
    auto digit = [](unsigned char c) -> unsigned {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'Z') {
            return c - 'A' + 10u;
        }
        if (c >= 'a' && c <= 'z') {
            return c - 'a' + 10u;
        }
        return 0;
    };
    size_t count = 0;
    size_t i = 0;
    while (i < len) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '=') {
            out[count++] = c;
            ++i;
            continue;
        }
        if (i + 1 < len && text[i + 1] == '\n') {
            i += 2;  // soft line break with a bare LF
            continue;
        }
        if (i + 2 >= len) {
            break;  // an "=" too close to the end ends the decoding
        }
        if (text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 3;  // soft line break
            continue;
        }
        const unsigned hi = digit(static_cast<unsigned char>(text[i + 1]));
        const unsigned lo = digit(static_cast<unsigned char>(text[i + 2]));
        out[count++] = static_cast<unsigned char>((hi * 16 + lo) & 0xFF);
        i += 3;
    }
    out[count] = '\0';
    return count;
}

std::string Base64DecodeToString(const std::string& text) {
    std::string out(text.size(), '\0');
    out.resize(Base64Decode(text.data(), text.size(), reinterpret_cast<unsigned char*>(&out[0])));
    return out;
}

std::string Base64DecodeTextToString(const std::string& text) {
    std::string out(text.size() + 1, '\0');
    out.resize(
        Base64DecodeText(text.data(), text.size(), reinterpret_cast<unsigned char*>(&out[0])));
    return out;
}

std::string QuotedPrintableDecodeToString(const std::string& text) {
    std::string out(text.size() + 1, '\0');
    out.resize(
        QuotedPrintableDecode(text.data(), text.size(), reinterpret_cast<unsigned char*>(&out[0])));
    return out;
}

}  // namespace pelmora
