#include "connections/routing_recovery_win32.h"

#include <new>
#include <string>

#include "connections/connection_manager_win32.h"
#include "platform/file_replace_win32.h"
#include "platform/wide.h"

namespace pelmora {

namespace {

// Named objects may not hold a backslash ("CreateMutex", Windows CE 5.0).
const wchar_t kRoutingLock[] = L"Pelmora.Routing";
// Set-aside snapshots: ".routing.kept1" and on.
constexpr int kKeptNames = 99;

DualString WithSuffix(const DualString& path, const char16_t* suffix) {
    DualString s = path;
    s.Append(DualString(suffix));
    return s;
}

enum class Read { kRead, kMissing, kFailed };

// A save cut short leaves the snapshot in the copy the replace kept: read that then.
Read ReadWhole(const DualString& path, std::string& text) {
    FileHandle file(OpenReplacedFile(W(path), GENERIC_READ, FILE_SHARE_READ));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Read::kMissing
                                                                              : Read::kFailed;
    }
    const DWORD size = GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > 16u * 1024 * 1024) {
        return Read::kFailed;
    }
    try {
        text.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return Read::kFailed;
    }
    DWORD got = 0;
    return size == 0 || (ReadFile(file.Get(), &text[0], size, &got, nullptr) && got == size)
               ? Read::kRead
               : Read::kFailed;
}

}  // namespace

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

// "CreateMutex" and the wait functions: a mutex whose owner ended is released, and the next
// wait gets it, so a killed command never keeps the routing.
bool SnapshotFile::Own() {
    if (!lock_) {
        lock_.Reset(CreateMutexW(nullptr, FALSE, kRoutingLock));
    }
    if (!lock_) {
        return false;
    }
    const DWORD wait = WaitForSingleObject(lock_.Get(), 0);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

void SnapshotFile::Disown() {
    ReleaseMutex(lock_.Get());
}

// Without a settings path there is no place for a snapshot, so no switch is made.
SnapshotLoad SnapshotFile::Load(std::string& text) {
    if (path_.Empty()) {
        return SnapshotLoad::kNone;
    }
    switch (ReadWhole(path_, text)) {
        case Read::kRead:
            return SnapshotLoad::kText;
        case Read::kMissing:
            return SnapshotLoad::kNone;
        case Read::kFailed:
            break;
    }
    return SnapshotLoad::kUnreadable;
}

bool SnapshotFile::Save(const std::string& text) {
    return !path_.Empty() && ReplaceFileSafely(W(path_), text.data(), text.size());
}

// The copy an interrupted save kept goes too: a reader would take it once the file is gone.
bool SnapshotFile::Remove() {
    return path_.Empty() || RemoveReplacedFile(W(path_));
}

// Kept under ".routing.keptN" for the user; nothing reads it again.
bool SnapshotFile::SetAside() {
    if (path_.Empty()) {
        return true;
    }
    for (int n = 1; n <= kKeptNames; ++n) {
        std::u16string suffix = u".kept";
        suffix += static_cast<char16_t>(u'0' + n / 10);
        suffix += static_cast<char16_t>(u'0' + n % 10);
        const DualString kept = WithSuffix(path_, suffix.c_str());
        if (MoveReplacedFile(W(path_), W(kept))) {
            return Remove();
        }
        if (GetFileAttributesW(W(kept)) == INVALID_FILE_ATTRIBUTES) {
            return false;  // not a name in use: the move itself failed
        }
    }
    return false;
}

bool RecoverPendingRouting(const DualString& settingsPath) {
    SnapshotFile file(settingsPath);
    RoutingOwner owner(file);
    if (!owner.Owned()) {
        return false;  // a live command owns the routing and will put it back itself
    }
    DeviceConnectionManager device;
    return RecoverRouting(file, device);
}

}  // namespace pelmora
