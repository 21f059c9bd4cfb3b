#include "tests/support/test_files.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>
#endif

#include "text/utf8.h"

#ifndef PELMORA_TEST_DATA_DIR
#error "PELMORA_TEST_DATA_DIR must name tests/data"
#endif

namespace pelmora::testing_support {

#ifdef _WIN32
namespace {
const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

void RemoveTree(const std::u16string& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(W(folder + u"\\*"), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string name = reinterpret_cast<const char16_t*>(fd.cFileName);
            const std::u16string f = folder + u"\\" + name;
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                SetFileAttributesW(W(f), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(W(f));
            } else if (name != u"." && name != u"..") {
                RemoveTree(f);
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(W(folder));
}
}  // namespace

ScratchDir::ScratchDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        wchar_t name[MAX_PATH];
        swprintf(name, MAX_PATH, L"%lspelmora-%lu-%u", base, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryW(name, nullptr)) {
            folder_ = reinterpret_cast<const char16_t*>(name);
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    RemoveTree(folder_);
}

std::u16string ScratchDir::Path(const std::u16string& name) const {
    return folder_ + u"\\" + name;
}

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD n = 0;
    const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
                    n == bytes.size();
    CloseHandle(h);
    return ok;
}

bool ReadBytes(const std::u16string& path, std::string& bytes) {
    HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    bytes.clear();
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) {
        bytes.append(buf, n);
    }
    CloseHandle(h);
    return true;
}

bool SetReadOnly(const std::u16string& path, bool readOnly) {
    if (!SetFileAttributesW(W(path), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL)) {
        return false;
    }
    if (!readOnly) {
        return true;
    }
    // Wine run by root keeps granting write access to a read-only file.
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return true;
    }
    CloseHandle(h);
    SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL);
    return false;
}

std::u16string HostPath(const std::string& path) {
    std::u16string p = u"Z:" + WideFromUtf8(path);
    for (char16_t& c : p) {
        c = c == u'/' ? u'\\' : c;
    }
    return p;
}
#else
ScratchDir::ScratchDir() {
    std::string t = "/tmp/pelmora-test-XXXXXX";
    if (mkdtemp(&t[0]) != nullptr) {
        folder_ = WideFromUtf8(t);
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(Utf8FromWide(folder_), ec);
}

std::u16string ScratchDir::Path(const std::u16string& name) const {
    return folder_ + u"/" + name;
}

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
    std::ofstream f(Utf8FromWide(path), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

bool ReadBytes(const std::u16string& path, std::string& bytes) {
    std::ifstream f(Utf8FromWide(path), std::ios::binary);
    if (!f) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

bool SetReadOnly(const std::u16string& path, bool readOnly) {
    return chmod(Utf8FromWide(path).c_str(), readOnly ? 0444 : 0644) == 0;
}

std::u16string HostPath(const std::string& path) {
    return WideFromUtf8(path);
}
#endif

std::u16string DataPath(const std::u16string& relative) {
    return HostPath(PELMORA_TEST_DATA_DIR "/" + Utf8FromWide(relative));
}

}  // namespace pelmora::testing_support
