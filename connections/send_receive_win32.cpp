#include "connections/send_receive.h"

namespace pelmora {

// The connection routing arrives in a later step; until then the command does nothing
// and reports success, as a cancelled choice would.
HRESULT SendReceiveCommand(MenuExtension&) {
    return S_OK;
}

}  // namespace pelmora
