// The reply page's contact browse: the address box rule (portable) and the chooser call.
#pragma once

#include "text/dual_string.h"

namespace pelmora {

// The address box's text once a chosen contact's address is added: |a| plus b gives |a;b|
// and an empty box gives |b|. An empty address (a chooser that found none) leaves the box
// as it is and gives false, so no empty recipient is ever added.
bool AppendContactAddress(const DualString& box, const DualString& address, DualString& result);

}  // namespace pelmora
