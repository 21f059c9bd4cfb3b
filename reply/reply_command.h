// The read view's command: reply to the selected message from a chosen account.
#pragma once

#include <windows.h>

#include "reply/command_scope_win32.h"
#include "text/dual_string.h"

struct IMAPIProp;
struct IMAPISession;

namespace pelmora {

// What the reply command uses of the object that runs it, beyond any command's share: the
// logged-on session and the message selected in the Inbox. The choice list holds the
// accounts.
class ReplyContext : public CommandContext {
public:
    // Null when the object has no session.
    virtual IMAPISession* Session() const = 0;
    // The MAPI entry identifier of the selected message; the bytes belong to the Inbox.
    virtual HRESULT GetSelectedEntryId(ULONG* count, BYTE** bytes) = 0;

protected:
    ~ReplyContext() = default;
};

// Runs the whole command on the object's session, selection, choice list and settings.
HRESULT ReplyCommand(ReplyContext& extension);

// Reads the message's raw internet text (header block and body) into `out`, as multibyte
// bytes: 255 bytes a read, at most 32895 bytes, the rest of a read dropped after a zero
// byte. True when any text was read; a missing or unreadable text gives false and no text.
bool ReadRawMessageText(IMAPIProp* message, DualString& out);

}  // namespace pelmora
