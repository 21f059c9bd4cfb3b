// The platform seam behind ConvertCharsetText for charsets other than ISO-2022-JP: the
// multi-language service on Windows, iconv on the native build.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora {

// Converts exactly `n` bytes (the caller has already cut them at a NUL) in the named
// MIME charset to UTF-16, replacing `out`. The result never has more than `n` units;
// a conversion that would need more fails. False for a charset name the converter does
// not know and whenever the conversion cannot be made, memory included.
bool ConvertWithCharsetService(const char* bytes, size_t n, std::u16string_view charset,
                               std::u16string& out) noexcept;

}  // namespace pelmora
