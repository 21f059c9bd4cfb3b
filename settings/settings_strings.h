// The settings file's section, file and key names (settings_names.h), as the module's
// string table holds them. Both deliverables carry the same table; the native build has
// the same texts built in.
#pragma once

#include "text/dual_string.h"

namespace pelmora {

// Loads name `id` for `module` (an HINSTANCE on Windows). False when the text cannot be
// had: a missing or empty string, or no memory.
bool LoadSettingsName(void* module, unsigned id, DualString& out) noexcept;

}  // namespace pelmora
