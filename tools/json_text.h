// JSON text for the command-line tools.
#pragma once

#include <string>
#include <string_view>

namespace pelmora {

// `text` as a quoted JSON string in UTF-8. Quotes, backslashes and control characters are
// escaped; a surrogate that is not part of a pair is written as a \u escape, so the UTF-16
// text comes back unchanged from any JSON reader.
std::string JsonString(std::u16string_view text);

}  // namespace pelmora
