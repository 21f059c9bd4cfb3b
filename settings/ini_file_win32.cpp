#include "settings/ini_file.h"

#include <windows.h>

#include <new>

#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora {
namespace {

IniWriteHook g_writeHook = nullptr;

// A replace that meets a reader holding the file open is tried again for this long.
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplaceWaitMs = 20;

bool WritePiece(HANDLE file, const std::string& piece) {
    if (g_writeHook != nullptr && !g_writeHook(piece)) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) &&
           written == piece.size();
}

// In char16_t rather than wchar_t: the runtime's prebuilt wchar_t string is a large piece
// of the deliverables that nothing else needs.
std::u16string FolderOf(const char16_t* path) {
    std::u16string p(path);
    const size_t slash = p.find_last_of(u"\\/");
    if (slash == std::u16string::npos) {
        return u".";
    }
    if (slash == 0) {
        return p.substr(0, 1);
    }
    return p.substr(0, slash);
}

}  // namespace

void SetIniWriteHookForTesting(IniWriteHook hook) {
    g_writeHook = hook;
}

IniReadResult ReadIniFileBytes(const char16_t* path, std::string& bytes) {
    FileHandle file(CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return IniReadResult::kUnavailable;
    }
    SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);
    DWORD high = 0;
    const DWORD size = GetFileSize(file.Get(), &high);
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || size == 0 || high != 0) {
        return IniReadResult::kUnavailable;
    }
    try {
        bytes.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return IniReadResult::kUnavailable;
    }
    DWORD got = 0;
    if (!ReadFile(file.Get(), &bytes[0], size, &got, nullptr)) {
        bytes.clear();  // unreadable content: an opened file with no text
    } else {
        bytes.resize(got);
    }
    return IniReadResult::kOpened;
}

bool ReplaceIniFile(const char16_t* path, const std::vector<std::string>& pieces) {
    wchar_t temp[MAX_PATH + 1];
    if (GetTempFileNameW(W(FolderOf(path).c_str()), L"pel", 0, temp) == 0) {
        return false;
    }
    bool ok;
    {
        FileHandle file(CreateFileW(temp, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ok = file.Valid();
        for (size_t i = 0; ok && i < pieces.size(); ++i) {
            ok = WritePiece(file.Get(), pieces[i]);
        }
        ok = ok && FlushFileBuffers(file.Get());
    }
    for (int attempt = 0; ok; ++attempt) {
        if (MoveFileExW(temp, W(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD err = GetLastError();
        if ((err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED) ||
            attempt + 1 >= kReplaceAttempts) {
            break;
        }
        Sleep(kReplaceWaitMs);
    }
    DeleteFileW(temp);
    return false;
}

}  // namespace pelmora
