#include "settings/settings_strings.h"

#include <new>

#include "text/resource_string_win32.h"

namespace pelmora {

bool LoadSettingsName(void* module, unsigned id, DualString& out) noexcept {
    try {
        return LoadResourceString(static_cast<HINSTANCE>(module), id, out) && !out.Empty();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace pelmora
