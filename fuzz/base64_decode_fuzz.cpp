// The strict base64 decoder on arbitrary bytes: it must stay inside its input and inside
// an output of the input's length, count what it writes, and give bytes that encode and
// decode back to themselves.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "text/codecs.h"

namespace {

bool InAlphabet(char c) {
    return c != '\0' &&
           std::strchr("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::unique_ptr<unsigned char[]> out(new unsigned char[size]);
    const size_t n = pelmora::Base64Decode(text, size, out.get());
    if (n != pelmora::Base64Decode(text, size, nullptr)) {
        __builtin_trap();
    }
    // Three bytes per four characters of the alphabet; a short last group gives one byte
    // for one or two characters and two for three.
    size_t chars = 0;
    for (size_t i = 0; i < size && text[i] != '\0'; ++i) {
        chars += InAlphabet(text[i]);
    }
    const size_t tail[] = {0, 1, 1, 2};
    if (n > size || n > chars / 4 * 3 + tail[chars % 4]) {
        __builtin_trap();
    }
    const std::string bytes(reinterpret_cast<const char*>(out.get()), n);
    if (pelmora::Base64DecodeToString(pelmora::Base64Encode(bytes.data(), n)) != bytes) {
        __builtin_trap();
    }
    return 0;
}
