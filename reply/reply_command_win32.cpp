#include "reply/reply_command.h"

namespace pelmora {

// Filled in with the reply flow; until then the command does nothing.
HRESULT ReplyCommand(MenuExtension&) { return S_OK; }

}  // namespace pelmora
