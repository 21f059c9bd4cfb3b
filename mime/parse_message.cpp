#include "mime/parse_message.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "mime/message_headers.h"
#include "mime/message_parts.h"
#include "text/codecs.h"
#include "text/mail_decode.h"
#include "text/string_util.h"

namespace pelmora {
namespace {

// The body bytes after transfer decoding, held in `decoded` when a decoder ran. Decoded
// bytes are cut at their first NUL; when nothing is left the raw bytes stand (a
// mislabelled part still gets quoted).
std::string_view DecodeTransfer(const std::u16string& encoding, std::string_view raw,
                                std::unique_ptr<unsigned char[]>& decoded) {
    using Decoder = size_t (*)(const char*, size_t, unsigned char*);
    Decoder decode = nullptr;
    if (HasPrefixNoCase(encoding, u"base64")) {
        decode = Base64DecodeText;
    } else if (HasPrefixNoCase(encoding, u"quoted-printable")) {
        decode = QuotedPrintableDecode;
    }
    if (decode != nullptr) {
        decoded.reset(new (std::nothrow) unsigned char[raw.size() + 2]);
        if (decoded) {
            const size_t n = decode(raw.data(), raw.size(), decoded.get());
            const char* bytes = reinterpret_cast<const char*>(decoded.get());
            const void* nul = std::memchr(bytes, 0, n);
            const size_t length = nul ? static_cast<const char*>(nul) - bytes : n;
            if (length > 0) {
                return {bytes, length};
            }
        }
    }
    return raw;
}

void ParseBody(ParsedMessage& message, std::string_view text) {
    size_t bodyStart = kNoPosition;
    size_t bodyEnd = kNoPosition;
    if (message.isMultipart) {
        std::vector<MessagePart> parts;
        CollectParts(message.contentType.Multibyte(), text, parts);
        const MessagePart* chosen = nullptr;
        for (const MessagePart& part : parts) {
            if (part.contentType.empty() || HasPrefixNoCase(part.contentType, "text")) {
                chosen = &part;
                break;
            }
        }
        if (chosen == nullptr) {
            return;
        }
        message.contentType = DualString::FromMultibyte(chosen->contentType);
        message.contentTransferEncoding = DualString::FromMultibyte(chosen->transferEncoding);
        bodyStart = chosen->bodyStart;
        bodyEnd = chosen->bodyEnd;
    } else {
        bodyStart = FindBodyStart(text);
    }
    // Without a content type the text is plain text in the fallback charsets.
    if (bodyStart == kNoPosition || bodyStart >= text.size() ||
        (!message.contentType.Empty() && !HasPrefixNoCase(message.contentType.Wide(), u"text"))) {
        return;
    }
    const size_t end = bodyEnd == kNoPosition ? text.size() : bodyEnd;
    std::unique_ptr<unsigned char[]> decoded;
    const std::string_view bytes = DecodeTransfer(message.contentTransferEncoding.Wide(),
                                                  text.substr(bodyStart, end - bodyStart), decoded);
    std::u16string wide;
    if (DecodeBodyText(bytes.data(), bytes.size(), message.contentType.Multibyte(), wide)) {
        message.body = DualString(std::move(wide));
    }
}

}  // namespace

bool ParseMessage(ParsedMessage& message, const char* text, size_t n) noexcept {
    message = ParsedMessage{};
    const std::string_view raw = MessageText(text, n);
    try {
        ReadHeaderField(raw, "Subject:", message.subject, false);
        ReadHeaderField(raw, "From:", message.from, false);
        ReadHeaderField(raw, "To:", message.to, true);
        ReadHeaderField(raw, "Cc:", message.cc, true);
        ReadHeaderField(raw, "Reply-To:", message.replyTo, false);
        ReadHeaderField(raw, "Content-Type:", message.contentType, false);
        message.isMultipart = !message.contentType.Empty() &&
                              HasPrefixNoCase(message.contentType.Wide(), u"multipart");
        if (!message.isMultipart) {
            message.contentTransferEncoding =
                DualString::FromMultibyte(UnfoldedField(raw, "Content-Transfer-Encoding:"));
        }
        ParseBody(message, raw);
    } catch (const std::bad_alloc&) {
        // Whatever was read before memory ran out stays; the rest stays empty.
    }
    return true;
}

}  // namespace pelmora
