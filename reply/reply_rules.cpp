#include "reply/reply_rules.h"

#include <new>
#include <string>
#include <string_view>

namespace pelmora {
namespace {

// Joins with ";" only when the list already holds something; the appended text is
// never looked at, so an empty one can leave a trailing ";".
void Extend(std::u16string& list, const std::u16string& more) {
    if (!list.empty()) {
        list += u';';
    }
    list += more;
}

}  // namespace

bool BuildReplyRecipients(const ParsedMessage& message, const char16_t* senderOrNull,
                          const SettingsRecord& settings, ReplyRecipients& out) noexcept try {
    std::u16string to = message.replyTo.Wide();
    if (senderOrNull != nullptr && (settings.prioFrom || to.empty())) {
        to = senderOrNull;
    }
    std::u16string cc = settings.cc.Wide();
    if (settings.resAll) {
        Extend(cc, message.cc.Wide());
        Extend(settings.resAllCc ? cc : to, message.to.Wide());
    }
    ReplyRecipients r;
    r.to = DualString(std::move(to));
    r.cc = DualString(std::move(cc));
    r.bcc = settings.bcc;
    out = std::move(r);
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

bool BuildReplySubject(const char16_t* subjectOrNull, DualString& out) noexcept try {
    if (subjectOrNull == nullptr) {
        return false;
    }
    std::u16string s = u"RE:";
    s += subjectOrNull;
    out = DualString(std::move(s));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

bool SemicolonSeparate(DualString& list) noexcept try {
    if (list.Empty()) {
        return true;
    }
    std::u16string s = list.Wide();
    for (char16_t& c : s) {
        if (c == u',') {
            c = u';';
        }
    }
    s += u';';
    list = DualString(std::move(s));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

bool BuildReplyBody(const DualString& quoteSource, const SettingsRecord& settings,
                    DualString& body) noexcept try {
    const std::u16string_view source = quoteSource.Wide();
    const std::u16string_view mark = settings.quoteString.Wide();
    std::u16string out;
    if (!settings.signature.Empty()) {
        out += settings.signature.Wide();
        out += u'\n';
    }
    if (!source.empty() && mark.empty()) {
        out += source;
    } else if (!source.empty()) {
        // One pass over the source into one growing text: at most one extra mark, blank and
        // line end per CR LF.
        const std::u16string_view crlf = u"\r\n";
        size_t p = 0;
        for (;;) {
            out += mark;
            out += u' ';
            const size_t end = source.find(crlf, p);
            if (end == std::u16string_view::npos) {
                break;
            }
            out += source.substr(p, end - p);
            out += u'\n';
            p = end + crlf.size();
        }
        out += source.substr(p);
    }
    body = DualString(std::move(out));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

}  // namespace pelmora
