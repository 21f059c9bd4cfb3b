// The body side of the message parser: MIME parameters, boundary lines and the walk that
// collects the leaf parts of a multipart body.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mime/message_headers.h"

namespace pelmora {

// Multipart bodies nested deeper than this are not walked: real mail nests three or four
// levels, and the walk recurses once per level on a thread with a small stack.
constexpr int kMaxPartNesting = 32;

// One leaf part of a multipart body. Positions are offsets into the message text.
struct MessagePart {
    // Unfolded "Content-Type:" value, not decoded. A part without one is text, except in a
    // digest, where it is taken as "message/rfc822".
    std::string contentType;
    std::string transferEncoding;    // unfolded "Content-Transfer-Encoding:" value
    size_t bodyStart = kNoPosition;  // where the body begins (FindBodyStart)
    size_t bodyEnd = kNoPosition;    // start of the next boundary line
};

// The value of parameter `name` of a header value (the first segment that begins with
// `name`, ignoring ASCII case), without its quotes. Without such a segment, the value that
// the extended segments ("name*", "name*0", ...) give. False when there is none.
bool GetParameterValue(std::string_view value, std::string_view name, std::string& out);

// Appends the leaf parts of the multipart body described by `contentType` to `parts`,
// depth first, in document order; the first boundary line is searched from `from`. A
// nested walk ends at a boundary line of an enclosing one. Malformed structure ends the
// walk with the parts found so far; nesting beyond kMaxPartNesting ends the whole walk.
void CollectParts(std::string_view contentType, std::string_view text,
                  std::vector<MessagePart>& parts, size_t from = 0);

}  // namespace pelmora
