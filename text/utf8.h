// UTF-8 for the native tools' file names and JSON output.
#pragma once

#include <string>
#include <string_view>

namespace pelmora {

// Lone surrogates become U+FFFD.
std::string Utf8FromWide(std::u16string_view wide);
// Invalid sequences become U+FFFD.
std::u16string WideFromUtf8(std::string_view utf8);

}  // namespace pelmora
