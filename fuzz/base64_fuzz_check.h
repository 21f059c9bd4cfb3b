// What both base64 fuzz targets check: the decoded count against the alphabet characters
// of the input, and that the bytes encode and decode back to themselves.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include "text/codecs.h"

namespace pelmora::fuzz {

// Checks `n` decoded bytes of `text`. `loneByte` is whether a lone last character gives a
// byte (strict decoder) or nothing (mail decoder).
template <typename Decode>
void CheckBase64Decoding(const char* text, size_t size, const unsigned char* out, size_t n,
                         bool loneByte, Decode decodeToString) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t chars = 0;
    for (size_t i = 0; i < size && text[i] != '\0'; ++i) {
        chars += std::strchr(kAlphabet, text[i]) != nullptr;
    }
    // Three bytes per four characters; a short last group gives one byte for two
    // characters and two for three.
    const size_t tail[] = {0, loneByte ? 1u : 0u, 1, 2};
    if (n > size || n > chars / 4 * 3 + tail[chars % 4]) {
        __builtin_trap();
    }
    const std::string bytes(reinterpret_cast<const char*>(out), n);
    if (decodeToString(Base64Encode(bytes.data(), n)) != bytes) {
        __builtin_trap();
    }
}

}  // namespace pelmora::fuzz
