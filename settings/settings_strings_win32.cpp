#include "settings/settings_strings.h"
#include "text/resource_string_win32.h"

namespace pelmora {

bool LoadSettingsName(void* module, unsigned id, DualString& out) {
    return LoadResourceString(static_cast<HINSTANCE>(module), id, out) && !out.Empty();
}

}  // namespace pelmora
