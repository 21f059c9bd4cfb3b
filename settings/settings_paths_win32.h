// Where each deliverable keeps the settings file.
#pragma once

#include <windows.h>

#include "text/dual_string.h"

namespace pelmora {

// The extension's fixed path, \Program Files\<folder>\<file>, with the folder (string
// 102) and file name (string 1001) from `module`'s string table.
bool ExtensionSettingsPath(HINSTANCE module, DualString& path);

// The settings program's: the folder of `module`'s file, "\", the file name (string
// 1001). False when the module path cannot be had whole or has no folder.
bool ProgramSettingsPath(HINSTANCE module, DualString& path);

}  // namespace pelmora
