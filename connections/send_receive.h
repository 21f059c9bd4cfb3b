// The list view's command: send/receive over a chosen Connection Manager connection.
#pragma once

#include <windows.h>

namespace pelmora {

class MenuExtension;

HRESULT SendReceiveCommand(MenuExtension& extension);

}  // namespace pelmora
