// The quoted-printable decoder on arbitrary bytes: it must stay inside its input and
// inside an output of the input's length plus one, end its output with a NUL, never grow
// the text, and copy text without "=" unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "text/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::unique_ptr<unsigned char[]> out(new unsigned char[size + 1]);
    const size_t n = pelmora::QuotedPrintableDecode(text, size, out.get());
    const size_t len = strnlen(text, size);
    if (n > len || out[n] != 0) {
        __builtin_trap();
    }
    if (std::memchr(text, '=', len) == nullptr &&
        (n != len || std::memcmp(out.get(), text, len) != 0)) {
        __builtin_trap();
    }
    return 0;
}
