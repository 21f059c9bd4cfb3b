// Decoding of mail text: ISO-2022-JP, RFC 2047 encoded words and body charsets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora {

// Converts one JIS X 0208 byte pair (each 0x21-0x7E) to Shift_JIS in place.
void JisPairToShiftJis(unsigned char& first, unsigned char& second);

// Rewrites ISO-2022-JP bytes as Shift_JIS. Reads at most `n` bytes (and stops at a NUL),
// writes the result and a NUL to `out`, which must hold n + 1 bytes, and gives the
// position of that NUL. The output is never longer than the input.
size_t Iso2022JpToShiftJis(const char* in, size_t n, char* out);

// Appends to `out` the wide text of at most `n` ISO-2022-JP bytes (ending early at a NUL):
// exactly what Iso2022JpToShiftJis followed by AppendWideFromAnsi gives. False when the
// code page conversion cannot be done (then `out` is unchanged).
bool AppendWideFromIso2022Jp(const char* in, size_t n, std::u16string& out);

// Converts `n` bytes (ending early at a NUL) in the named MIME charset to wide text, never
// more units than bytes; bytes the charset does not define become replacement characters.
// False for "US-ASCII", for names the converter does not know, for charsets of 16- or
// 32-bit units and whenever the conversion cannot be made; `out` is then unchanged and the
// callers apply their own fallback. Expects COM initialised on the calling thread (Windows).
bool ConvertCharsetText(const char* bytes, size_t n, std::u16string_view charset,
                        std::u16string& out) noexcept;

// Decodes a header value (literal text, encoded words, raw ISO-2022-JP) of at most `n`
// bytes into `out`, which must hold n + 1 characters; writes a NUL and gives the number
// of characters before it. Never more characters than the value has bytes.
size_t DecodeHeaderText(const char* value, size_t n, char16_t* out) noexcept;

// Converts body bytes (ending early at a NUL) to wide text using the charset parameter of
// a Content-Type value; without a usable charset the bytes are taken as ISO-2022-JP or
// Shift_JIS. Never more units than bytes. False only when memory runs out.
bool DecodeBodyText(const char* bytes, size_t n, std::string_view contentType,
                    std::u16string& out) noexcept;

}  // namespace pelmora
