// The list view's command: send/receive over a chosen Connection Manager connection.
#pragma once

#include <windows.h>

#include "reply/command_scope_win32.h"

namespace pelmora {

// What the send/receive command uses of the object that runs it is any command's share:
// the module, the settings record (the automatic connection, the settings file's folder)
// and the choice list, which holds the connections.
using SendReceiveContext = CommandContext;

HRESULT SendReceiveCommand(SendReceiveContext& extension);

}  // namespace pelmora
