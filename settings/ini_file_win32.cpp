#include "settings/ini_file.h"

#include <windows.h>

#include <new>

#include "platform/file_replace_win32.h"
#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora {
namespace {

IniWriteHook g_writeHook = nullptr;

bool WritePiece(HANDLE file, const std::string& piece) {
    if (g_writeHook != nullptr && !g_writeHook(piece)) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) &&
           written == piece.size();
}

// Each piece is its own write, as the file format's writer makes them.
bool WritePieces(HANDLE file, void* context) {
    for (const std::string& piece : *static_cast<const std::vector<std::string>*>(context)) {
        if (!WritePiece(file, piece)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void SetIniWriteHookForTesting(IniWriteHook hook) {
    g_writeHook = hook;
}

IniReadResult ReadIniFileBytes(const char16_t* path, std::string& bytes) {
    FileHandle file(OpenReplacedFile(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? IniReadResult::kMissing
                   : IniReadResult::kUnavailable;
    }
    SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);
    DWORD high = 0;
    const DWORD size = GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return IniReadResult::kReadFailed;
    }
    if (size == 0 && high == 0) {
        return IniReadResult::kMissing;
    }
    if (high != 0) {
        return IniReadResult::kUnavailable;
    }
    try {
        bytes.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return IniReadResult::kUnavailable;
    }
    DWORD got = 0;
    if (!ReadFile(file.Get(), &bytes[0], size, &got, nullptr)) {
        bytes.clear();
        return IniReadResult::kReadFailed;
    }
    bytes.resize(got);
    return IniReadResult::kOpened;
}

bool ReplaceIniFile(const char16_t* path, const std::vector<std::string>& pieces) {
    return ReplaceFileSafely(W(path), WritePieces, const_cast<std::vector<std::string>*>(&pieces));
}

}  // namespace pelmora
