// Asks the device's contact chooser for one contact's e-mail address.
#pragma once

#include "text/dual_string.h"

namespace pelmora {

constexpr int kContactPicked = 1;
constexpr int kContactNotPicked = 2;

// kContactPicked with the chosen address in `text` (empty when the chooser gave none), or
// kContactNotPicked when creating the contacts application, its Logon or the chooser
// failed (the user's cancel included). Expects COM to be initialised on this thread.
int PickContactAddress(DualString& text);

}  // namespace pelmora
