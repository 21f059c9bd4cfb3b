// How an account is shown: the one special store gets a friendlier label.
#pragma once

#include "text/dual_string.h"

namespace pelmora {

// "Outlookメール" for exactly "ActiveSync" (code unit by code unit), else the name itself.
DualString AccountDisplayLabel(const DualString& name);

}  // namespace pelmora
