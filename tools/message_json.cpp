#include "tools/message_json.h"

#include "tools/json_text.h"

namespace pelmora {

void AppendParsedMessageMembers(std::string& json, const ParsedMessage& message) {
    json += "\"isMultipart\":";
    json += message.isMultipart ? "true" : "false";
    const struct {
        const char* key;
        const DualString& value;
    } members[] = {
        {"from", message.from},
        {"to", message.to},
        {"cc", message.cc},
        {"subject", message.subject},
        {"replyTo", message.replyTo},
        {"contentType", message.contentType},
        {"contentTransferEncoding", message.contentTransferEncoding},
        {"body", message.body},
    };
    for (const auto& m : members) {
        json += ",\"";
        json += m.key;
        json += "\":";
        json += JsonString(m.value.Wide());
    }
}

}  // namespace pelmora
