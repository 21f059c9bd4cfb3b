// The one seam between the portable text code and the system's multibyte code page.
//
// Multibyte text always means the system's ANSI code page, converted with flags 0 and no
// default-character override. On Windows that is CP_ACP; the native build stands in
// with Shift_JIS (code page 932), the code page of the devices we target.
#pragma once

#include <cstddef>
#include <string>

namespace pelmora {

// Converts `n` multibyte bytes to UTF-16 and appends them to `out`. Bytes the code page
// does not map become its default character. False when the conversion cannot be done
// at all (then `out` is unchanged).
bool AppendWideFromAnsi(const char* bytes, size_t n, std::u16string& out);

// Converts `n` UTF-16 units to multibyte bytes and appends them to `out`. Characters the
// code page cannot represent become its default character. False when the conversion
// cannot be done at all (then `out` is unchanged).
bool AppendAnsiFromWide(const char16_t* wide, size_t n, std::string& out);

// The decoding rules of AppendWideFromAnsi as tables, for callers that decode bytes as they
// produce them: a lead byte takes the next byte as its trail unless that is NUL or the
// end, and a lead byte without a trail gives `unmapped`.
struct AnsiDecodeTable {
    const bool* lead;        // 256 entries
    const char16_t* single;  // 256 entries
    const char16_t* pair;    // 65536 entries, lead * 256 + trail
    char16_t unmapped;
};

// The table of the build's own code page stand-in; null where the platform converts
// (Windows), whose converter is then the only one that gives the platform's answer.
const AnsiDecodeTable* AnsiDecodeTableOrNull();

}  // namespace pelmora
