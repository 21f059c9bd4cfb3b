#include "reply/command_scope_win32.h"

#include "settings/settings_paths_win32.h"

namespace pelmora {

DualString LoadCommandSettings(CommandContext& extension) {
    SettingsRecord& settings = extension.Settings();
    settings.moduleHandle = extension.Module();
    DualString path;
    if (!ExtensionSettingsPath(extension.Module(), path)) {
        return DualString();
    }
    // Without a readable file the record holds the defaults; nothing is reported.
    settings.LoadSettings(path.c_str());
    return path;
}

}  // namespace pelmora
