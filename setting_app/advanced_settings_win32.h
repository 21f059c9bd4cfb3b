// The advanced settings sheet, opened by the menu command "詳細設定".
#pragma once

#include <windows.h>

#include "settings/settings_record.h"

namespace pelmora {

// Runs the sheet over `record` (edited in memory only) and returns when it closes: 1 when
// the sheet ran, 2 when it could not be shown.
int ShowAdvancedSettings(HINSTANCE module, HWND owner, SettingsRecord& record);

}  // namespace pelmora
