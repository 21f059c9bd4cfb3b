#pragma once

#include <windows.h>

#include "text/dual_string.h"

namespace pelmora {

// Loads string resource `id` of `module` into `out`, growing the buffer until the text
// fits; a missing string gives empty text. False only when memory runs out.
bool LoadResourceString(HINSTANCE module, UINT id, DualString& out) noexcept;

}  // namespace pelmora
