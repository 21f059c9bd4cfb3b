// A small printf for wide text, the same on every build (the C library's wide printf
// differs between Windows and the native build in what %s means).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace pelmora {

// Formats at most `limit` characters. Conversions: %s (const char16_t*, null prints
// "(null)"), %d, %i, %u, %x, %X (int/unsigned), %c (a char16_t passed as int) and %%;
// flags "-" and "0" and a decimal width. Anything else is copied as it stands.
std::u16string FormatWideV(const char16_t* format, va_list args, size_t limit);
std::u16string FormatWide(const char16_t* format, ...);

}  // namespace pelmora
