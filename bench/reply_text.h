// The reply's text work on one raw message, as the reply command does it: parse, build the
// recipients and the subject, quote the body.
#pragma once

#include <cstddef>

#include "mime/parse_message.h"
#include "reply/reply_rules.h"
#include "settings/settings_record.h"

namespace pelmora_bench {

inline pelmora::SettingsRecord ReplySettings() {
    pelmora::SettingsRecord settings;
    settings.quote = true;
    settings.resAll = true;
    settings.quoteString = u">";
    settings.signature = u"-- \r\nTaro Yamada";
    return settings;
}

// Gives the length of the quoted body, so that no part of the work can be left out.
inline size_t ReplyText(const char* message, size_t n, const pelmora::SettingsRecord& settings) {
    pelmora::ParsedMessage parsed;
    pelmora::ParseMessage(parsed, message, n);
    pelmora::ReplyRecipients recipients;
    pelmora::BuildReplyRecipients(parsed, parsed.from.c_str(), settings, recipients);
    pelmora::SemicolonSeparate(recipients.to);
    pelmora::SemicolonSeparate(recipients.cc);
    pelmora::DualString subject;
    pelmora::BuildReplySubject(parsed.subject.c_str(), subject);
    pelmora::DualString body;
    pelmora::BuildReplyBody(parsed.body, settings, body);
    return body.Length() + recipients.to.Length() + recipients.cc.Length() + subject.Length();
}

}  // namespace pelmora_bench
