// The mail base64 decoder on arbitrary bytes: it must stay inside its input and inside an
// output of the input's length plus one, end its output with a NUL, and give bytes that
// encode and decode back to themselves.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/base64_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::unique_ptr<unsigned char[]> out(new unsigned char[size + 1]);
    const size_t n = pelmora::Base64DecodeText(text, size, out.get());
    if (out[n] != 0) {
        __builtin_trap();
    }
    pelmora::fuzz::CheckBase64Decoding(text, size, out.get(), n, false,
                                       pelmora::Base64DecodeTextToString);
    return 0;
}
