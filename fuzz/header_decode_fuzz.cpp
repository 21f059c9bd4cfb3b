// Header decoding on arbitrary bytes, into an array of exactly the promised size. Without
// encoded words or escapes the value must come out as the plain code-page conversion.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "text/dual_string.h"
#include "text/mail_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* in = reinterpret_cast<const char*>(data);
    std::unique_ptr<char16_t[]> out(new char16_t[size + 1]);
    const size_t n = pelmora::DecodeHeaderText(in, size, out.get());
    if (n > size || out[n] != 0) {
        __builtin_trap();
    }
    for (size_t i = 0; i < n; ++i) {
        if (out[i] == 0) {
            __builtin_trap();
        }
    }
    const size_t len = std::strlen(std::string(in, size).c_str());
    const std::string value(in, len);
    if (value.find("=?") == std::string::npos && value.find('\x1b') == std::string::npos) {
        if (std::u16string(out.get(), n) != pelmora::ToWide(value)) {
            __builtin_trap();
        }
    }
    return 0;
}
