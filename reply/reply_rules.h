// What a reply is made of: recipients, subject and body, built from the answered message
// and the settings. Plain text rules; nothing is parsed as an address, de-duplicated or
// removed, and the compose window interprets the result. Each rule gives false, with its
// output unchanged, when memory runs out.
#pragma once

#include "mime/parsed_message.h"
#include "settings/settings_record.h"
#include "text/dual_string.h"

namespace pelmora {

struct ReplyRecipients {
    DualString to;
    DualString cc;
    DualString bcc;
};

// To is the message's Reply-To, or the store's sender address (null when the store has
// none) when the settings prefer it or there is no Reply-To. Cc and Bcc start with the
// settings' fixed copies; reply-all adds the message's Cc and To, each list joined with
// ";" only when the list being extended is not empty.
bool BuildReplyRecipients(const ParsedMessage& message, const char16_t* senderOrNull,
                          const SettingsRecord& settings, ReplyRecipients& out) noexcept;

// "RE:" directly followed by the subject, whatever it already starts with. False, with
// `out` unchanged, when the store has no subject.
bool BuildReplySubject(const char16_t* subjectOrNull, DualString& out) noexcept;

// The compose window's list form: every "," becomes ";" and a list that is not empty
// gains one ";" at its end. Blanks and empty items stay.
bool SemicolonSeparate(DualString& list) noexcept;

// The signature and a "\n", then the quote source with every piece between CR LF pairs
// prefixed by the quote mark and a blank and ended by "\n"; the last piece is prefixed
// even when empty. Without a quote mark the source is appended unchanged. The body may
// come out empty.
bool BuildReplyBody(const DualString& quoteSource, const SettingsRecord& settings,
                    DualString& body) noexcept;

}  // namespace pelmora
