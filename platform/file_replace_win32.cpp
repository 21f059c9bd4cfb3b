#include "platform/file_replace_win32.h"

#include <new>
#include <string>

#include "platform/owners.h"
#include "platform/wide.h"

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
    FileHandle file(CreateFileW(side, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    const bool ok = write(file.Get(), context) && Allowed(ReplaceStep::kFlushSide) &&
                    FlushFileBuffers(file.Get());
    const DWORD error = GetLastError();
    file.Reset();
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

// UTF-16 strings rather than wchar_t ones: the runtime's prebuilt wchar_t string is a large
// piece of the deliverables that nothing else needs.
bool Replace(const std::u16string& path, ReplaceWriter write, void* context) {
    const std::u16string side = path + u".new";
    const std::u16string kept = path + u".old";
    const DWORD attributes = GetFileAttributesW(W(path));
    const bool hasOld = attributes != INVALID_FILE_ATTRIBUTES;
    if (hasOld && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // Without <path>, a kept copy is the current content: it stays until the new one is in.
    // Beside a whole <path> it is left from a replace stopped after its move-in.
    bool ok = WriteSide(W(side), write, context);
    if (ok && hasOld && GetFileAttributesW(W(kept)) != INVALID_FILE_ATTRIBUTES) {
        ok = Allowed(ReplaceStep::kDropStale) && DeleteFileW(W(kept));
    }
    ok = ok && (!hasOld || SetAside(W(path), W(kept)));
    if (ok && Allowed(ReplaceStep::kMoveIn) && MoveFileW(W(side), W(path))) {
        // A kept copy that cannot go now is dropped by the next replace.
        if (Allowed(ReplaceStep::kDropKept)) {
            DeleteFileW(W(kept));
        }
        return true;
    }
    const DWORD error = GetLastError();
    if (ok && hasOld && Allowed(ReplaceStep::kPutBack)) {
        MoveFileW(W(kept), W(path));  // failing, readers take the kept copy
    }
    DeleteFileW(W(side));
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
        return Replace(U(path), write, context);
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
        const std::u16string kept = std::u16string(U(path)) + u".old";
        return CreateFileW(W(kept), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
}

bool MoveReplacedFile(const wchar_t* path, const wchar_t* to) {
    if (MoveFileW(path, to)) {
        return true;
    }
    if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    try {
        return MoveFileW(W(std::u16string(U(path)) + u".old"), to);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

bool RemoveReplacedFile(const wchar_t* path) {
    try {
        const std::u16string p(U(path));
        DeleteFileW(W(p + u".new"));  // never read; only tidied away
        return Gone(W(p + u".old")) && Gone(path);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

}  // namespace pelmora
