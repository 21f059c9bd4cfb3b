// The mail base64 decoder on arbitrary bytes: it must stay inside its input and inside an
// output of the input's length plus one, end its output with a NUL, and give bytes that
// encode and decode back to themselves.
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
    std::unique_ptr<unsigned char[]> out(new unsigned char[size + 1]);
    const size_t n = pelmora::Base64DecodeText(text, size, out.get());
    size_t chars = 0;
    for (size_t i = 0; i < size && text[i] != '\0'; ++i) {
        chars += InAlphabet(text[i]);
    }
    // A lone last character gives nothing here.
    const size_t tail[] = {0, 0, 1, 2};
    if (n > size || out[n] != 0 || n > chars / 4 * 3 + tail[chars % 4]) {
        __builtin_trap();
    }
    const std::string bytes(reinterpret_cast<const char*>(out.get()), n);
    if (pelmora::Base64DecodeTextToString(pelmora::Base64Encode(bytes.data(), n)) != bytes) {
        __builtin_trap();
    }
    return 0;
}
