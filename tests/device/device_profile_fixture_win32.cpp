#include "tests/device/device_profile_fixture.h"

#include <gtest/gtest.h>

#include "device/cemapi/cemapi_testing.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "text/utf8.h"

namespace pelmora::testing_support {

const wchar_t kVariable[] = L"PELMORA_DEVICE_PROFILE";
constexpr DWORD kChildWaitMs = 60000;

TestDeviceProfile::TestDeviceProfile(const std::string& stores) {
    wchar_t buf[1024];
    const DWORD n = GetEnvironmentVariableW(kVariable, buf, 1024);
    if (n > 0 && n < 1024) {
        previous_ = std::u16string(U(buf), n);
    }
    SetEnvironmentVariableW(kVariable, W(Folder().c_str()));
    WriteBytes(Path(u"stores.txt"), stores);
}

TestDeviceProfile::~TestDeviceProfile() {
    SetEnvironmentVariableW(kVariable, previous_ ? W(previous_->c_str()) : nullptr);
}

void TestDeviceProfile::AddMessage(const std::string& store, const std::string& name,
                                   const std::optional<std::string>& raw,
                                   const std::optional<std::string>& props) {
    const std::u16string folder = Path(WideFromUtf8(store));
    CreateDirectoryW(W(folder.c_str()), nullptr);
    const std::u16string base = folder + u"\\" + WideFromUtf8(name);
    if (raw) {
        WriteBytes(base + u".eml", *raw);
    }
    if (props) {
        WriteBytes(base + u".props", *props);
    }
}

void TestDeviceProfile::SetFaults(const std::string& faults) {
    WriteBytes(Path(u"faults.txt"), faults);
}

std::vector<JournalLine> TestDeviceProfile::Outbox() const {
    std::string bytes;
    ReadBytes(Path(u"outbox.jsonl"), bytes);
    return JournalLines(bytes);
}

std::string Leftovers() {
    CEMAPI_DEVICE_COUNTS c;
    CemapiDeviceCounts(&c);
    const std::pair<const char*, LONG> counts[] = {
        {"sessions", c.sessions}, {"tables", c.tables},   {"messages", c.messages},
        {"streams", c.streams},   {"buffers", c.buffers}, {"bad frees", c.badFrees}};
    std::string out;
    for (const auto& [name, n] : counts) {
        if (n != 0) {
            out += std::string(name) + "=" + std::to_string(n) + " ";
        }
    }
    return out;
}

ProcessResult RunProcess(std::u16string commandLine) {
    // The child writes to a file, not a pipe: nothing to drain while waiting for it.
    ProcessResult result;
    ScratchDir dir;
    const std::u16string path = dir.Path(u"stdout.txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    FileHandle out(CreateFileW(W(path.c_str()), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, W(&commandLine[0]), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return result;
    }
    out.Reset();
    KernelHandle child(process.hProcess);
    KernelHandle thread(process.hThread);
    // A child that waits on a dialog nobody answers is ended here, named, long before the
    // test run's own time limit.
    if (WaitForSingleObject(child.Get(), kChildWaitMs) != WAIT_OBJECT_0) {
        TerminateProcess(child.Get(), 1);
        WaitForSingleObject(child.Get(), kChildWaitMs);
        ADD_FAILURE() << "child did not end within " << kChildWaitMs / 1000
                      << " s: " << Utf8FromWide(commandLine);
        return result;
    }
    GetExitCodeProcess(child.Get(), &result.exitCode);
    ReadBytes(path, result.output);
    return result;
}

ProcessResult RunTestInChild(const char16_t* test) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SetEnvironmentVariableW(L"GTEST_OUTPUT", nullptr);
    return RunProcess(u"\"" + std::u16string(U(self)) +
                      u"\" --gtest_also_run_disabled_tests --gtest_filter=" + test);
}

DWORD Regsvr32(const std::u16string& dll, bool unregister) {
    return RunProcess(u"regsvr32.exe /s " + std::u16string(unregister ? u"/u \"" : u"\"") + dll +
                      u"\"")
        .exitCode;
}

#define PELMORA_READ_VIEW L"{0ED86D47-9EDC-4878-9165-3F7553440109}"
#define PELMORA_LIST_VIEW L"{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}"
#define PELMORA_MENUS L"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\"
const std::pair<HKEY, const wchar_t*> kServerKeys[6] = {
    {HKEY_CLASSES_ROOT, L"CLSID\\" PELMORA_READ_VIEW L"\\InprocServer32"},
    {HKEY_CLASSES_ROOT, L"CLSID\\" PELMORA_READ_VIEW},
    {HKEY_CLASSES_ROOT, L"CLSID\\" PELMORA_LIST_VIEW L"\\InprocServer32"},
    {HKEY_CLASSES_ROOT, L"CLSID\\" PELMORA_LIST_VIEW},
    {HKEY_LOCAL_MACHINE, PELMORA_MENUS L"Read_View\\" PELMORA_READ_VIEW},
    {HKEY_LOCAL_MACHINE, PELMORA_MENUS L"List_View\\" PELMORA_LIST_VIEW},
};

KeyState ReadKey(size_t index) {
    KeyState state;
    RegKey key;
    if (RegOpenKeyExW(kServerKeys[index].first, kServerKeys[index].second, 0, KEY_READ,
                      key.Put()) != ERROR_SUCCESS) {
        return state;
    }
    state.exists = true;
    BYTE data[2048];
    DWORD size = sizeof data;
    if (RegQueryValueExW(key.Get(), L"", nullptr, &state.type, data, &size) == ERROR_SUCCESS) {
        state.bytes.assign(reinterpret_cast<char*>(data), size);
    }
    RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &state.values,
                     nullptr, nullptr, nullptr, nullptr);
    return state;
}

ServerKeysGuard::ServerKeysGuard() {
    for (size_t i = 0; i < 6; ++i) {
        saved_[i] = ReadKey(i);
    }
}

void DeleteServerKeys() {
    for (const auto& [root, path] : kServerKeys) {
        RegDeleteKeyW(root, path);
    }
}

ServerKeysGuard::~ServerKeysGuard() {
    DeleteServerKeys();
    for (int i = 5; i >= 0; --i) {
        const auto& [root, path] = kServerKeys[i];
        RegKey key;
        if (saved_[i].type != REG_NONE) {
            RegSetKeyValueW(root, path, nullptr, saved_[i].type, saved_[i].bytes.data(),
                            static_cast<DWORD>(saved_[i].bytes.size()));
        } else if (saved_[i].exists) {
            RegCreateKeyW(root, path, key.Put());
        }
    }
}

}  // namespace pelmora::testing_support
