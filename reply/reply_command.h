// The read view's command: reply to the selected message from a chosen account.
#pragma once

#include <windows.h>

namespace pelmora {

class MenuExtension;

// Runs the whole command on the object's session, selection, choice list and settings.
HRESULT ReplyCommand(MenuExtension& extension);

}  // namespace pelmora
