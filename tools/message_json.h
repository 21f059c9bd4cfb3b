// A parsed message as JSON members, shared by pelmora-parse and the corpus tests.
#pragma once

#include <string>

#include "mime/parsed_message.h"

namespace pelmora {

// Appends "isMultipart", "from", "to", "cc", "subject", "replyTo", "contentType",
// "contentTransferEncoding" and "body" as JSON members (no braces, no leading comma).
void AppendParsedMessageMembers(std::string& json, const ParsedMessage& message);

}  // namespace pelmora
