// Header parameters written in their extended form (RFC 2231): "name*=charset'lang'%XX..",
// and values cut into numbered sections "name*0=", "name*1*=" that are joined in order.
#pragma once

#include <string>
#include <string_view>

namespace pelmora {

// True when the segment of a header value that starts at `segment` (its blanks already
// skipped) names parameter `name` in the extended form: the name, ignoring ASCII case,
// directly followed by "*".
bool IsExtendedParameter(std::string_view segment, std::string_view name);

// The value of parameter `name` of a header value put together from its extended segments:
// the unnumbered "name*" segment when there is one, else sections 0, 1, 2, ... up to the
// first missing number. Percent escapes of encoded segments are decoded and the charset and
// language in front of the first one are dropped; the value ends at a decoded NUL. Quoted
// strings are read as one, so a ";" or a parameter name inside quotes is never a segment.
// False when no extended segment names the parameter.
bool ExtendedParameterValue(std::string_view value, std::string_view name, std::string& out);

}  // namespace pelmora
