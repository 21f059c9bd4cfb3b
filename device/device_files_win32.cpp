#include "device/device_files_win32.h"

#include <new>

#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora::device {

namespace {

std::u16string Env(const char16_t* name) {
    wchar_t buf[1024];
    const DWORD n = GetEnvironmentVariableW(W(name), buf, 1024);
    if (n == 0 || n >= 1024) {
        return {};
    }
    return std::u16string(U(buf), n);
}

}  // namespace

bool ProfileFolder(std::u16string& folder) {
    folder = Env(u"PELMORA_DEVICE_PROFILE");
    while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) {
        folder.pop_back();
    }
    return !folder.empty();
}

bool ReadWholeFile(const std::u16string& path, std::string& bytes) {
    FileHandle file(CreateFileW(W(path.c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    const DWORD size = GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > 64u * 1024 * 1024) {
        return false;
    }
    try {
        bytes.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD got = 0;
    if (size > 0 && (!ReadFile(file.Get(), &bytes[0], size, &got, nullptr) || got != size)) {
        return false;
    }
    return true;
}

bool AppendLine(const std::u16string& path, const std::string& line) {
    FileHandle file(CreateFileW(W(path.c_str()), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

}  // namespace pelmora::device
