// ParseMessage on arbitrary bytes: it must stay inside its input (ASan), terminate in
// time whatever the nesting, and never make text out of nothing; so must the parameter
// reader on the Content-Type value.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mime/message_headers.h"
#include "mime/message_parts.h"
#include "mime/parse_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    pelmora::ParsedMessage message;
    pelmora::ParseMessage(message, text, size);

    // Every decoder gives at most one character per byte read.
    const size_t n = pelmora::MessageText(text, size).size();
    for (const pelmora::DualString* field :
         {&message.from, &message.to, &message.cc, &message.subject, &message.replyTo,
          &message.contentType, &message.contentTransferEncoding, &message.body}) {
        if (field->Length() > n) {
            __builtin_trap();
        }
    }

    // The part walk of the same text yields bodies inside it, in order.
    const std::string_view raw = pelmora::MessageText(text, size);
    std::vector<pelmora::MessagePart> parts;
    pelmora::CollectParts(pelmora::UnfoldedField(raw, "Content-Type:"), raw, parts);
    for (const pelmora::MessagePart& part : parts) {
        if (part.bodyStart != pelmora::kNoPosition &&
            (part.bodyStart > raw.size() ||
             (part.bodyEnd != pelmora::kNoPosition &&
              (part.bodyEnd < part.bodyStart || part.bodyEnd > raw.size())))) {
            __builtin_trap();
        }
    }

    // Parameters, plain or extended, come from inside the value and never grow it. The
    // value sits in an allocation of its own size, so that reading past it is caught.
    const std::string type = pelmora::UnfoldedField(raw, "Content-Type:");
    const std::unique_ptr<char[]> copy(new char[type.size()]);
    std::copy(type.begin(), type.end(), copy.get());
    for (const char* name : {"boundary", "charset"}) {
        std::string value;
        if (pelmora::GetParameterValue(std::string_view(copy.get(), type.size()), name, value) &&
            value.size() > type.size()) {
            __builtin_trap();
        }
    }
    return 0;
}
