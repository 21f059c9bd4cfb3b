#include "connections/routing_recovery_win32.h"

#include "connections/connection_manager_win32.h"
#include "platform/wide.h"
#include "settings/ini_file.h"

namespace pelmora {

SnapshotFile::SnapshotFile(const DualString& settingsPath) {
    const std::u16string& s = settingsPath.Wide();
    size_t slash = s.rfind(u'\\');
    size_t dot = s.rfind(u'.');
    size_t stem = (dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash))
                      ? dot
                      : s.size();
    path_ = DualString(s.substr(0, stem) + u".routing");
}

bool SnapshotFile::Load(std::string& text) {
    return ReadIniFileBytes(path_.c_str(), text) == IniReadResult::kOpened && !text.empty();
}

bool SnapshotFile::Save(const std::string& text) {
    return ReplaceIniFile(path_.c_str(), {text});
}

bool SnapshotFile::Remove() {
    if (DeleteFileW(W(path_))) {
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool RecoverPendingRouting(const DualString& settingsPath) {
    SnapshotFile file(settingsPath);
    DeviceConnectionManager device;
    return RecoverRouting(file, device);
}

}  // namespace pelmora
