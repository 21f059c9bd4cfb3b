#include "tests/device/device_profile_fixture.h"

#include <windows.h>

#include "text/utf8.h"

namespace pelmora::testing_support {

namespace {

const wchar_t kVariable[] = L"PELMORA_DEVICE_PROFILE";

std::optional<std::u16string> ReadVariable() {
    wchar_t buf[1024];
    const DWORD n = GetEnvironmentVariableW(kVariable, buf, 1024);
    if (n == 0 || n >= 1024) {
        return std::nullopt;
    }
    return std::u16string(reinterpret_cast<const char16_t*>(buf), n);
}

void WriteVariable(const std::optional<std::u16string>& value) {
    SetEnvironmentVariableW(kVariable,
                            value ? reinterpret_cast<const wchar_t*>(value->c_str()) : nullptr);
}

// Deletes the files of a folder, then the folder.
void RemoveFolder(const std::u16string& folder) {
    WIN32_FIND_DATAW fd;
    const std::u16string pattern = folder + u"\\*";
    HANDLE h = FindFirstFileW(reinterpret_cast<const wchar_t*>(pattern.c_str()), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string f =
                folder + u"\\" + reinterpret_cast<const char16_t*>(fd.cFileName);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileW(reinterpret_cast<const wchar_t*>(f.c_str()));
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(reinterpret_cast<const wchar_t*>(folder.c_str()));
}

}  // namespace

DeviceProfileVariable::DeviceProfileVariable(const std::optional<std::u16string>& folder)
    : previous_(ReadVariable()) {
    WriteVariable(folder);
}

DeviceProfileVariable::~DeviceProfileVariable() {
    WriteVariable(previous_);
}

TestDeviceProfile::TestDeviceProfile() : previous_(ReadVariable()) {
    WriteVariable(Folder());
}

TestDeviceProfile::~TestDeviceProfile() {
    for (const std::u16string& f : storeFolders_) {
        RemoveFolder(f);
    }
    WriteVariable(previous_);
}

void TestDeviceProfile::AddStore(const std::string& folder,
                                 const std::optional<std::u16string>& name) {
    storeList_ += folder;
    if (name) {
        storeList_ += "|" + Utf8FromWide(*name);
    }
    storeList_ += "\r\n";
    SetStoreList(storeList_);
}

void TestDeviceProfile::SetStoreList(const std::string& utf8) {
    storeList_ = utf8;
    WriteBytes(Path(u"stores.txt"), utf8);
}

void TestDeviceProfile::AddMessage(const std::string& storeFolder, const std::string& name,
                                   const std::optional<std::string>& raw,
                                   const std::optional<std::string>& props) {
    const std::u16string folder = Path(WideFromUtf8(storeFolder));
    if (CreateDirectoryW(reinterpret_cast<const wchar_t*>(folder.c_str()), nullptr)) {
        storeFolders_.push_back(folder);
    }
    const std::u16string base = folder + u"\\" + WideFromUtf8(name);
    if (raw) {
        WriteBytes(base + u".eml", *raw);
    }
    if (props) {
        WriteBytes(base + u".props", *props);
    }
}

void TestDeviceProfile::SetFaults(const std::string& utf8) {
    WriteBytes(Path(u"faults.txt"), utf8);
}

std::string TestDeviceProfile::OutboxBytes() const {
    std::string bytes;
    ReadBytes(Path(u"outbox.jsonl"), bytes);
    return bytes;
}

std::vector<JsonValue> TestDeviceProfile::Outbox() const {
    return ParseJsonLines(OutboxBytes());
}

}  // namespace pelmora::testing_support
