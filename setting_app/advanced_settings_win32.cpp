#include "setting_app/advanced_settings_win32.h"

namespace pelmora {

// The sheet's pages are not built yet: the record stays as it is.
int ShowAdvancedSettings(HINSTANCE, HWND, SettingsRecord&) {
    return 2;
}

}  // namespace pelmora
