// What the message parser yields from one raw message.
#pragma once

#include "text/dual_string.h"

namespace pelmora {

struct ParsedMessage {
    bool isMultipart = false;
    DualString from;         // first From:, decoded
    DualString to;           // all To: fields, decoded, joined by ","
    DualString cc;           // all Cc: fields, decoded, joined by ","
    DualString subject;      // first Subject:, decoded
    DualString replyTo;      // first Reply-To:, decoded
    DualString contentType;  // first Content-Type:, decoded; the chosen part's for multipart
    DualString contentTransferEncoding;  // not decoded; the chosen part's for multipart
    DualString body;                     // the text to quote
};

}  // namespace pelmora
