// The strict base64 decoder on arbitrary bytes: it must stay inside its input and inside
// an output of the input's length, count what it writes, and give bytes that encode and
// decode back to themselves.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/base64_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::unique_ptr<unsigned char[]> out(new unsigned char[size]);
    const size_t n = pelmora::Base64Decode(text, size, out.get());
    if (n != pelmora::Base64Decode(text, size, nullptr)) {
        __builtin_trap();
    }
    pelmora::fuzz::CheckBase64Decoding(text, size, out.get(), n, true,
                                       pelmora::Base64DecodeToString);
    return 0;
}
