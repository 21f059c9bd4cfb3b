#include "connections/routing_recovery_win32.h"

#include "connections/connection_manager_win32.h"
#include "platform/file_replace_win32.h"
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
    if (!s.empty()) {
        path_ = DualString(s.substr(0, stem) + u".routing");
    }
}

// Without a settings path there is no place for a snapshot, so no switch is made.
bool SnapshotFile::Load(std::string& text) {
    return !path_.Empty() && ReadIniFileBytes(path_.c_str(), text) == IniReadResult::kOpened &&
           !text.empty();
}

bool SnapshotFile::Save(const std::string& text) {
    return !path_.Empty() && ReplaceIniFile(path_.c_str(), {text});
}

// The copy an interrupted save kept goes too: a reader would take it once the file is gone.
bool SnapshotFile::Remove() {
    return path_.Empty() || RemoveReplacedFile(W(path_));
}

bool RecoverPendingRouting(const DualString& settingsPath) {
    SnapshotFile file(settingsPath);
    DeviceConnectionManager device;
    return RecoverRouting(file, device);
}

}  // namespace pelmora
