// The read view's command: reply to the selected message from a chosen account.
#pragma once

#include <windows.h>

#include "text/dual_string.h"

struct IMAPIProp;

namespace pelmora {

class MenuExtension;

// Runs the whole command on the object's session, selection, choice list and settings.
HRESULT ReplyCommand(MenuExtension& extension);

// Reads the message's raw internet text (header block and body) into `out`, as multibyte
// bytes: 255 bytes a read, at most 32895 bytes, the rest of a read dropped after a zero
// byte. True when any text was read; a missing or unreadable text gives false and no text.
bool ReadRawMessageText(IMAPIProp* message, DualString& out);

}  // namespace pelmora
