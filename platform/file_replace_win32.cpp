#include "platform/file_replace_win32.h"

#include <new>
#include <string>

namespace pelmora {
namespace {

ReplaceStepHook g_hook = nullptr;

// A reader holding the old file open makes setting it aside fail; it is tried again for
// this long.
constexpr int kSetAsideAttempts = 10;
constexpr DWORD kSetAsideWaitMs = 20;

bool Allowed(ReplaceStep step) {
    if (g_hook != nullptr && !g_hook(step)) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    return true;
}

bool NotThere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Deletes `path`; true also when there was nothing to delete.
bool Gone(const wchar_t* path) {
    return DeleteFileW(path) || NotThere(GetLastError());
}

bool WriteSide(const wchar_t* side, ReplaceWriter write, void* context) {
    if (!Allowed(ReplaceStep::kWriteSide)) {
        return false;
    }
    HANDLE file =
        CreateFileW(side, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok =
        write(file, context) && Allowed(ReplaceStep::kFlushSide) && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

bool SetAside(const wchar_t* path, const wchar_t* kept) {
    for (int attempt = 1;; ++attempt) {
        if (!Allowed(ReplaceStep::kSetAside)) {
            return false;
        }
        if (MoveFileW(path, kept)) {
            return true;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
            attempt >= kSetAsideAttempts) {
            return false;
        }
        Sleep(kSetAsideWaitMs);
    }
}

bool Replace(const std::wstring& path, ReplaceWriter write, void* context) {
    const std::wstring side = path + L".new";
    const std::wstring kept = path + L".old";
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool hasOld = attributes != INVALID_FILE_ATTRIBUTES;
    if (hasOld && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // Without <path>, a kept copy is the current content: it stays until the new one is in.
    // Beside a whole <path> it is left from a replace stopped after its move-in.
    bool ok = WriteSide(side.c_str(), write, context);
    if (ok && hasOld && GetFileAttributesW(kept.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ok = Allowed(ReplaceStep::kDropStale) && DeleteFileW(kept.c_str());
    }
    ok = ok && (!hasOld || SetAside(path.c_str(), kept.c_str()));
    if (ok && Allowed(ReplaceStep::kMoveIn) && MoveFileW(side.c_str(), path.c_str())) {
        // A kept copy that cannot go now is dropped by the next replace.
        if (Allowed(ReplaceStep::kDropKept)) {
            DeleteFileW(kept.c_str());
        }
        return true;
    }
    const DWORD error = GetLastError();
    if (ok && hasOld && Allowed(ReplaceStep::kPutBack)) {
        MoveFileW(kept.c_str(), path.c_str());  // failing, readers take the kept copy
    }
    DeleteFileW(side.c_str());
    SetLastError(error);
    return false;
}

struct Bytes {
    const void* data;
    size_t size;
};

bool WriteBytes(HANDLE file, void* context) {
    const Bytes& bytes = *static_cast<const Bytes*>(context);
    const char* at = static_cast<const char*>(bytes.data);
    for (size_t left = bytes.size; left > 0;) {
        DWORD written = 0;
        const DWORD chunk = left > 0x10000 ? 0x10000 : static_cast<DWORD>(left);
        if (!WriteFile(file, at, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

}  // namespace

void SetReplaceStepHookForTesting(ReplaceStepHook hook) {
    g_hook = hook;
}

bool ReplaceFileSafely(const wchar_t* path, ReplaceWriter write, void* context) {
    if (path == nullptr || path[0] == 0 || write == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    try {
        return Replace(path, write, context);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;  // before any file was touched
    }
}

bool ReplaceFileSafely(const wchar_t* path, const void* bytes, size_t size) {
    Bytes content = {bytes, size};
    return ReplaceFileSafely(path, WriteBytes, &content);
}

HANDLE OpenReplacedFile(const wchar_t* path, DWORD access, DWORD share) {
    HANDLE file =
        CreateFileW(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) {
        return file;
    }
    try {
        const std::wstring kept = std::wstring(path) + L".old";
        return CreateFileW(kept.c_str(), access, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
}

bool RemoveReplacedFile(const wchar_t* path) {
    try {
        const std::wstring p(path);
        DeleteFileW((p + L".new").c_str());  // never read; only tidied away
        return Gone((p + L".old").c_str()) && Gone(path);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

}  // namespace pelmora
