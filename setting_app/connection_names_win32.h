// The connection names that the main page offers, in the connection catalogue's order.
#pragma once

#include <vector>

#include "text/dual_string.h"

namespace pelmora {

// Appends every connection's name, destination by destination; false when the catalogue
// has no destination at all.
bool ListConnectionNames(std::vector<DualString>& names);

}  // namespace pelmora
