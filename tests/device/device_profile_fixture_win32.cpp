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

std::string Leftovers(LONG badFreesBefore) {
    CEMAPI_DEVICE_COUNTS c;
    CemapiDeviceCounts(&c);
    const std::pair<const char*, LONG> counts[] = {
        {"sessions", c.sessions}, {"tables", c.tables},
        {"messages", c.messages}, {"streams", c.streams},
        {"buffers", c.buffers},   {"bad frees", c.badFrees - badFreesBefore}};
    std::string out;
    for (const auto& [name, n] : counts) {
        if (n != 0) {
            out += std::string(name) + "=" + std::to_string(n) + " ";
        }
    }
    return out;
}

ProcessResult RunProcess(std::u16string commandLine) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return result;
    }
    KernelHandle reader(readEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(nullptr, W(&commandLine[0]), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        KernelHandle child(process.hProcess);
        KernelHandle thread(process.hThread);
        // A child that waits on a dialog nobody answers is ended here, named, long before
        // the test run's own time limit.
        const DWORD started = GetTickCount();
        bool ended = false;
        for (;;) {
            char buffer[4096];
            DWORD available = 0;
            DWORD got = 0;
            if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                if (ReadFile(readEnd, buffer, available < sizeof buffer ? available : sizeof buffer,
                             &got, nullptr)) {
                    result.output.append(buffer, got);
                }
                continue;
            }
            if (ended) {
                break;  // all that the child wrote has been read
            }
            ended = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
            if (!ended && GetTickCount() - started > kChildWaitMs) {
                TerminateProcess(process.hProcess, 1);
                WaitForSingleObject(process.hProcess, kChildWaitMs);
                ADD_FAILURE() << "child did not end within " << kChildWaitMs / 1000
                              << " s: " << Utf8FromWide(commandLine);
                return result;
            }
        }
        GetExitCodeProcess(process.hProcess, &result.exitCode);
    }
    return result;
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
