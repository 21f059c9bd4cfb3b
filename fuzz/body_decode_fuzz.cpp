// Body decoding on arbitrary bytes: the first line is the Content-Type value, the rest the
// body. Whatever the charset, the text has no more units than the body has bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "text/mail_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t lf = all.find('\n');
    const std::string_view type =
        lf == std::string_view::npos ? std::string_view() : all.substr(0, lf);
    const std::string_view body = lf == std::string_view::npos ? all : all.substr(lf + 1);
    // The body in its own allocation, so that reading past it is caught.
    const std::string bodyCopy(body);
    std::u16string out;
    if (!pelmora::DecodeBodyText(bodyCopy.data(), bodyCopy.size(), type, out) ||
        out.size() > bodyCopy.size()) {
        __builtin_trap();
    }
    return 0;
}
