// ISO-2022-JP to Shift_JIS on arbitrary bytes: the output fits in input length plus one,
// is terminated where the result says, and stops at the first NUL of the input; the
// one-pass conversion to wide text gives what the two steps give.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "text/codepage.h"
#include "text/mail_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* in = reinterpret_cast<const char*>(data);
    std::unique_ptr<char[]> out(new char[size + 1]);  // exactly what the contract promises
    const size_t end = pelmora::Iso2022JpToShiftJis(in, size, out.get());
    const void* nul = std::memchr(in, 0, size);
    const size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - in) : size;
    if (end > len || out[end] != '\0') {
        __builtin_trap();
    }
    std::u16string steps;
    std::u16string onePass;
    if (!pelmora::AppendWideFromAnsi(out.get(), end, steps) ||
        !pelmora::AppendWideFromIso2022Jp(in, size, onePass) || onePass != steps) {
        __builtin_trap();
    }
    if (size >= 2) {
        unsigned char a = data[0], b = data[1];
        pelmora::JisPairToShiftJis(a, b);
    }
    return 0;
}
