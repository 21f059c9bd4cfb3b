// ParseMessage: from a raw message to the fields the reply needs.
#pragma once

#include <cstddef>

#include "mime/parsed_message.h"

namespace pelmora {

// Fills `message` (reset first) from the raw text: `n` bytes, cut at the first NUL. Header
// fields are decoded; the body is the first text part, transfer-decoded and converted from
// its charset. A message or part without a content type counts as text in the fallback
// charsets, except a part of a digest, which counts as a message. Malformed structure yields
// whatever could be read; always succeeds.
bool ParseMessage(ParsedMessage& message, const char* text, size_t n) noexcept;

}  // namespace pelmora
