#include "settings/settings_paths_win32.h"

#include <new>

#include "menuext/resource.h"
#include "platform/wide.h"
#include "settings/settings_names.h"
#include "settings/settings_strings.h"
#include "text/resource_string_win32.h"
#include "text/string_util.h"

namespace pelmora {
namespace {

// Room for a module path, as the device's shell gives it.
constexpr DWORD kModulePathChars = 259;

}  // namespace

bool ExtensionSettingsPath(HINSTANCE module, DualString& path) {
    try {
        DualString folder;
        DualString file;
        if (!LoadResourceString(module, IDS_PRODUCT_FOLDER, folder) || folder.Empty() ||
            !LoadSettingsName(module, IDS_SETTINGS_FILE, file)) {
            return false;
        }
        path.Format(u"\\Program Files\\%s\\%s", folder.c_str(), file.c_str());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool ProgramSettingsPath(HINSTANCE module, DualString& path) {
    try {
        DualString file;
        if (!LoadSettingsName(module, IDS_SETTINGS_FILE, file)) {
            return false;
        }
        // One more character than is asked for: a path cut short at the buffer's end is not
        // terminated by every platform.
        wchar_t modulePath[kModulePathChars + 1] = {};
        const DWORD got = GetModuleFileNameW(module, modulePath, kModulePathChars);
        // A path that filled the buffer may have been cut short: its folder is not ours.
        if (got == 0 || got >= kModulePathChars) {
            return false;
        }
        char16_t folder[kMaxPathChars];
        char16_t name[kMaxPathChars];
        if (!SplitPath(U(modulePath), folder, name) || folder[0] == 0) {
            return false;
        }
        path = folder;
        path.Append(u'\\');
        path.Append(file);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace pelmora
