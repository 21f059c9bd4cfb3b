// A raw message through ParseMessage and the reply rules, as the reply command runs them.
// The first byte picks the settings and which store properties exist; the rest is the
// message. The reply must keep every piece of the message's text it quotes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mime/parse_message.h"
#include "reply/reply_rules.h"
#include "settings/settings_record.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

size_t Count(const std::u16string& text, std::u16string_view what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::u16string::npos; p = text.find(what, p + 1)) {
        ++n;
    }
    return n;
}

void CheckList(const pelmora::DualString& before, const pelmora::DualString& after) {
    if (before.Empty()) {
        Check(after.Empty());
        return;
    }
    Check(after.Length() == before.Length() + 1);
    Check(after.Wide().back() == u';');
    Check(after.Wide().find(u',') == std::u16string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t flags = data[0];
    pelmora::SettingsRecord settings;
    settings.prioFrom = flags & 1;
    settings.resAll = flags & 2;
    settings.resAllCc = flags & 4;
    settings.quote = flags & 8;
    if (flags & 16) {
        settings.signature = u"-- \r\nsig, line";
    }
    if (flags & 32) {
        settings.quoteString = u">>";
    }
    if (flags & 64) {
        settings.cc = u"fixed@example.jp,";
    }
    const bool haveSender = flags & 128;

    pelmora::ParsedMessage message;
    pelmora::ParseMessage(message, reinterpret_cast<const char*>(data + 1), size - 1);

    const char16_t* sender = haveSender ? u"s@example.jp" : nullptr;
    pelmora::ReplyRecipients r;
    Check(pelmora::BuildReplyRecipients(message, sender, settings, r));
    if (haveSender && settings.prioFrom) {
        Check(r.to.Wide().rfind(sender, 0) == 0);
    }
    const pelmora::ReplyRecipients before = r;
    pelmora::SemicolonSeparate(r.to);
    pelmora::SemicolonSeparate(r.cc);
    pelmora::SemicolonSeparate(r.bcc);
    CheckList(before.to, r.to);
    CheckList(before.cc, r.cc);
    CheckList(before.bcc, r.bcc);

    pelmora::DualString subject;
    Check(pelmora::BuildReplySubject(message.subject.c_str(), subject));
    Check(subject.Wide() == u"RE:" + std::u16string(message.subject.c_str()));

    pelmora::DualString quoteSource;
    if (settings.quote && size > 1) {
        quoteSource = message.body;
    }
    pelmora::DualString body;
    Check(pelmora::BuildReplyBody(quoteSource, settings, body));
    size_t expected = settings.signature.Empty() ? 0 : settings.signature.Length() + 1;
    if (!quoteSource.Empty()) {
        const size_t mark = settings.quoteString.Length();
        const size_t breaks = mark == 0 ? 0 : Count(quoteSource.Wide(), u"\r\n");
        expected += quoteSource.Length() - breaks;
        if (mark != 0) {
            expected += (breaks + 1) * (mark + 1);
        }
    }
    Check(body.Length() == expected);
    return 0;
}
