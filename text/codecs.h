// Byte-level codecs: base64 for settings values and mail, quoted-printable for mail.
//
// Every decoder takes an explicit length and also stops at the first NUL byte, whichever
// comes first, so it never reads past its input. Characters outside the base64 alphabet
// are skipped by both base64 decoders.
#pragma once

#include <cstddef>
#include <string>

namespace pelmora {

// Standard base64 (RFC 2045 alphabet, "=" padding, no line breaks) of `n` bytes.
std::string Base64Encode(const char* data, size_t n);

// Strict decoder for settings values: no whitespace is expected. Gives the number of
// bytes decoded and writes them to `out` when it is not null (`out` must hold n bytes).
size_t Base64Decode(const char* text, size_t n, unsigned char* out);

// Whitespace-tolerant decoder for mail: skips space, tab, CR and LF, ends at the first
// "=". Writes the bytes and a NUL to `out` (which must hold n + 1 bytes) and gives the
// number of bytes before that NUL.
size_t Base64DecodeText(const char* text, size_t n, unsigned char* out);

// Quoted-printable (soft line breaks removed). Same output contract as Base64DecodeText.
size_t QuotedPrintableDecode(const char* text, size_t n, unsigned char* out);

// Convenience forms returning the decoded bytes.
std::string Base64DecodeToString(const std::string& text);
std::string Base64DecodeTextToString(const std::string& text);
std::string QuotedPrintableDecodeToString(const std::string& text);

}  // namespace pelmora
