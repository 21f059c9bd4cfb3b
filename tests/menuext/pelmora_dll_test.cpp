// The built Pelmora.dll as the device meets it: its export table, its class objects and
// objects over device profiles, registration through regsvr32, and the emulated Inbox
// creating it through COM. Every test leaves the registry's Pelmora keys as it found them.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "device/cemapi/cemapi_testing.h"
#include "tests/device/device_profile_fixture.h"
#include "tests/support/test_files.h"
#include "text/utf8.h"

namespace pelmora {
namespace {

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

// A build-tree file as Wine reaches it, through the Z: drive.
std::u16string WindowsPath(const char* unixPath) {
    std::u16string p = u"Z:" + WideFromUtf8(unixPath);
    std::replace(p.begin(), p.end(), u'/', u'\\');
    return p;
}

const std::u16string kDllPath = WindowsPath(PELMORA_DLL_FILE);
const std::u16string kInboxPath = WindowsPath(PELMORA_INBOX_FILE);

const CLSID kReadView = {
    0x0ED86D47, 0x9EDC, 0x4878, {0x91, 0x65, 0x3F, 0x75, 0x53, 0x44, 0x01, 0x09}};
const CLSID kListView = {
    0xA1F2C36C, 0xF0F2, 0x4AF1, {0xB4, 0x9C, 0x9E, 0xFF, 0xDC, 0x8B, 0x2B, 0x7E}};

TEST(PelmoraDll, ExportsExactlyTheFourServerFunctions) {
    // Mapped without running it or binding its imports; RVAs are then plain offsets.
    HMODULE image = LoadLibraryExW(W(kDllPath), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr);
    const BYTE* base = reinterpret_cast<const BYTE*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    ASSERT_NE(rva, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + rva);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> names;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    }
    EXPECT_EQ(exports->NumberOfFunctions, 4u);
    FreeLibrary(image);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                               "DllRegisterServer", "DllUnregisterServer"}));
}

// ---- The six registry keys: their default values, saved and put back around every test. ----

struct KeyName {
    HKEY root;
    const wchar_t* path;
};

// Deepest first, so that deleting in this order always works.
const KeyName kKeys[] = {
    {HKEY_CLASSES_ROOT, L"CLSID\\{0ED86D47-9EDC-4878-9165-3F7553440109}\\InprocServer32"},
    {HKEY_CLASSES_ROOT, L"CLSID\\{0ED86D47-9EDC-4878-9165-3F7553440109}"},
    {HKEY_CLASSES_ROOT, L"CLSID\\{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}\\InprocServer32"},
    {HKEY_CLASSES_ROOT, L"CLSID\\{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}"},
    {HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\Read_View\\"
     L"{0ED86D47-9EDC-4878-9165-3F7553440109}"},
    {HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View\\"
     L"{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}"},
};

// A key as stored: whether it exists, its default value's type and bytes, its value count.
struct KeyState {
    bool exists = false;
    DWORD type = REG_NONE;
    std::string bytes;
    DWORD values = 0;
};

KeyState ReadKey(const KeyName& k) {
    KeyState state;
    HKEY key = nullptr;
    if (RegOpenKeyExW(k.root, k.path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return state;
    }
    state.exists = true;
    BYTE data[2048];
    DWORD size = sizeof data;
    if (RegQueryValueExW(key, L"", nullptr, &state.type, data, &size) == ERROR_SUCCESS) {
        state.bytes.assign(reinterpret_cast<char*>(data), size);
    }
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &state.values,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return state;
}

std::string StringValue(const std::u16string& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + 1) * sizeof(char16_t));
}

void ClearKeys() {
    for (const KeyName& k : kKeys) {
        RegDeleteKeyW(k.root, k.path);
    }
}

class RegistryGuard {
  public:
    RegistryGuard() {
        for (size_t i = 0; i < 6; ++i) {
            saved_[i] = ReadKey(kKeys[i]);
        }
    }
    ~RegistryGuard() {
        ClearKeys();
        for (int i = 5; i >= 0; --i) {
            HKEY key = nullptr;
            if (saved_[i].exists &&
                RegCreateKeyExW(kKeys[i].root, kKeys[i].path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr) == ERROR_SUCCESS) {
                if (saved_[i].type != REG_NONE) {
                    RegSetValueExW(key, L"", 0, saved_[i].type,
                                   reinterpret_cast<const BYTE*>(saved_[i].bytes.data()),
                                   static_cast<DWORD>(saved_[i].bytes.size()));
                }
                RegCloseKey(key);
            }
        }
    }

  private:
    KeyState saved_[6];
};

// A device profile with `accounts` named stores (none: one store without a display name)
// and one message in the first store; this process is pointed at it.
class Profile : public testing_support::TestDeviceProfile {
  public:
    explicit Profile(int accounts, const std::string& faults = "") {
        for (int i = 0; i < std::max(accounts, 1); ++i) {
            std::optional<std::u16string> name;
            if (accounts > 0) {
                name = u"Account " + WideFromUtf8(std::to_string(i));
            }
            AddStore("s" + std::to_string(i), name);
        }
        AddMessage("s0", "m1", "From: a@example.com\r\nSubject: hello\r\n\r\nbody\r\n",
                   "class=IPM.Note\nsender=a@example.com\nsubject=hello\n");
        SetFaults(faults);
    }
};

// Pelmora.dll loaded into this process, with its four exports.
class LoadedServer {
  public:
    explicit LoadedServer(const std::u16string& path = kDllPath) : module_(LoadLibraryW(W(path))) {}
    ~LoadedServer() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    bool Loaded() const { return module_ != nullptr; }
    HRESULT Call(const char* name) {
        return reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(module_, name)))();
    }
    HRESULT GetClassObject(const CLSID& clsid, REFIID riid, void** ppv) {
        return reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(reinterpret_cast<void*>(
            GetProcAddress(module_, "DllGetClassObject")))(clsid, riid, ppv);
    }
    IClassFactory* Factory(const CLSID& clsid) {
        IClassFactory* factory = nullptr;
        GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        return factory;
    }
    HRESULT CanUnloadNow() { return Call("DllCanUnloadNow"); }

  private:
    HMODULE module_;
};

// The stand-in messaging library's live sessions in this process.
LONG LiveSessions() {
    HMODULE cemapi = GetModuleHandleW(L"cemapi.dll");
    CEMAPI_DEVICE_COUNTS c = {};
    if (cemapi != nullptr) {
        reinterpret_cast<void(WINAPI*)(CEMAPI_DEVICE_COUNTS*)>(
            reinterpret_cast<void*>(GetProcAddress(cemapi, "CemapiDeviceCounts")))(&c);
    }
    return c.sessions;
}

class PelmoraServer : public ::testing::Test {
  protected:
    RegistryGuard registry_;
};

TEST_F(PelmoraServer, ObjectsAndLocksKeepTheLibraryLoaded) {
    Profile profile(2);
    LoadedServer server;
    ASSERT_TRUE(server.Loaded());
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.GetClassObject(IID_IUnknown, IID_IClassFactory, &none),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(server.GetClassObject(kReadView, IID_IDataObject, &none), E_NOINTERFACE);
    IClassFactory* factory = server.Factory(kReadView);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);  // a class object alone does not count
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(LiveSessions(), 1);
    object->Release();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
    EXPECT_EQ(LiveSessions(), 0);  // the object's session went with it
    factory->LockServer(TRUE);
    factory->LockServer(TRUE);
    factory->LockServer(FALSE);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
    factory->Release();
}

struct Creation {
    const char* faults;
    const CLSID* clsid;
    bool aggregate;
    IID riid;
    HRESULT status;  // S_OK: created
};

TEST_F(PelmoraServer, RefusedOrFailedCreationsLeaveNoObjectBehind) {
    const HRESULT kFail = static_cast<HRESULT>(0x80004005);
    const Creation cases[] = {
        {"", &kReadView, true, IID_IUnknown, CLASS_E_NOAGGREGATION},
        {"", &kListView, true, IID_IUnknown, CLASS_E_NOAGGREGATION},
        {"", &kReadView, false, IID_IDataObject, E_NOINTERFACE},
        {"", &kListView, false, IID_IDataObject, E_NOINTERFACE},
        {"logon=0x80004005\n", &kReadView, false, IID_IUnknown, kFail},
        {"logon=0x80040111\n", &kListView, false, IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
        {"stores_table=0x8007000E\n", &kReadView, false, IID_IUnknown, E_OUTOFMEMORY},
        {"stores_table=0x8007000E\n", &kListView, false, IID_IUnknown, S_OK},  // reads no table
        {"query_rows=0x80004005\nquery_rows_after=1\n", &kReadView, false, IID_IUnknown, kFail},
    };
    for (const Creation& c : cases) {
        Profile profile(2, c.faults);
        LoadedServer server;
        ASSERT_TRUE(server.Loaded());
        IClassFactory* factory = server.Factory(*c.clsid);
        ASSERT_NE(factory, nullptr);
        IUnknown* object = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(factory->CreateInstance(c.aggregate ? factory : nullptr, c.riid,
                                          reinterpret_cast<void**>(&object)),
                  c.status)
            << c.faults;
        if (c.status == S_OK && object != nullptr) {
            object->Release();
        } else {
            EXPECT_EQ(object, nullptr);
        }
        EXPECT_EQ(server.CanUnloadNow(), S_OK) << c.faults;
        EXPECT_EQ(LiveSessions(), 0) << c.faults;
        factory->Release();
    }
}

// ---- Registration and the emulated Inbox, as separate processes. ----

struct ProcessResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs a command line and collects its stdout.
ProcessResult RunProcess(std::u16string commandLine) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return result;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(&commandLine[0]), nullptr, nullptr, TRUE,
                       0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            result.output.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return result;
}

DWORD Regsvr32(bool unregister) {
    return RunProcess(u"regsvr32.exe /s " + std::u16string(unregister ? u"/u " : u"") + u"\"" +
                      kDllPath + u"\"")
        .exitCode;
}

void ExpectRegistered() {
    const std::u16string read = u"Pelmora ReadView Menu Extension";
    const std::u16string list = u"Pelmora ListView Menu Extension";
    const std::u16string expected[6] = {kDllPath, read, kDllPath, list, read, list};
    for (size_t i = 0; i < 6; ++i) {
        const KeyState key = ReadKey(kKeys[i]);
        EXPECT_EQ(key.type, static_cast<DWORD>(REG_SZ)) << i;
        EXPECT_EQ(key.values, 1u) << i;  // no other value, no threading model
        // The byte count holds the terminator; the path is the one the DLL was loaded from.
        const std::string want = StringValue(expected[i]);
        EXPECT_EQ(key.bytes.size(), want.size()) << i;
        EXPECT_EQ(CompareStringOrdinal(reinterpret_cast<const wchar_t*>(key.bytes.c_str()), -1,
                                       W(expected[i]), -1, TRUE),
                  CSTR_EQUAL)
            << i;
    }
}

TEST_F(PelmoraServer, Regsvr32RegistersAndUnregistersTheSixEntries) {
    ClearKeys();
    ASSERT_EQ(Regsvr32(false), 0u);
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(false), 0u);  // again: the same values
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(true), 0u);
    for (const KeyName& k : kKeys) {
        EXPECT_FALSE(ReadKey(k).exists);
    }
    EXPECT_NE(Regsvr32(true), 0u);  // nothing left: fails at the first key
    LoadedServer server;
    EXPECT_EQ(server.Call("DllUnregisterServer"), E_FAIL);
}

TEST_F(PelmoraServer, UnderAnotherFileNameRegistrationStopsAtTheServerPath) {
    ASSERT_EQ(GetModuleHandleW(L"Pelmora.dll"), nullptr);
    ClearKeys();
    testing_support::ScratchDir dir;
    const std::u16string copy = dir.Path(u"Other.dll");
    ASSERT_TRUE(CopyFileW(W(kDllPath), W(copy), FALSE));
    {
        LoadedServer server(copy);
        ASSERT_TRUE(server.Loaded());
        EXPECT_EQ(server.Call("DllRegisterServer"), E_FAIL);
    }
    EXPECT_EQ(ReadKey(kKeys[1]).bytes, StringValue(u"Pelmora ReadView Menu Extension"));
    EXPECT_TRUE(ReadKey(kKeys[0]).exists);
    EXPECT_EQ(ReadKey(kKeys[0]).type, static_cast<DWORD>(REG_NONE));
    EXPECT_FALSE(ReadKey(kKeys[4]).exists);
    DeleteFileW(W(copy));
}

bool HasLine(const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos ||
           text.find(line + "\r\n") != std::string::npos;
}

class InboxHost : public PelmoraServer {
  protected:
    void SetUp() override {
        ClearKeys();
        ASSERT_EQ(Regsvr32(false), 0u);
    }
    static ProcessResult RunInbox(const Profile& profile, const std::u16string& arguments) {
        return RunProcess(u"\"" + kInboxPath + u"\" --profile \"" + profile.Folder() + u"\" " +
                          arguments);
    }
};

TEST_F(InboxHost, ShowsEachViewsItemWithItsState) {
    struct Case {
        int accounts;
        const char* faults;
        const char16_t* view;
        std::vector<const char*> lines;
    };
    const Case cases[] = {
        // A grayed item cannot be picked.
        {0,
         "",
         u"read --item-index 0",
         {"item 0 grayed アカウントを指定して返信", "status grayed"}},
        {1, "", u"read", {"item 0 grayed アカウントを指定して返信"}},
        {2,
         "",
         u"read",
         {"extension {0ED86D47-9EDC-4878-9165-3F7553440109} 0x00000000",
          "item 0 enabled アカウントを指定して返信"}},
        {1,
         "",
         u"list",
         {"extension {A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E} 0x00000000",
          "item 0 enabled 接続を指定して送受信"}},
        // A failed logon: the object is not created and adds no item.
        {2,
         "logon=0x80004005\n",
         u"read --item-index 0",
         {"extension {0ED86D47-9EDC-4878-9165-3F7553440109} 0x80004005", "status none"}},
    };
    for (const Case& c : cases) {
        Profile profile(c.accounts, c.faults);
        const ProcessResult r = RunInbox(profile, u"--view " + std::u16string(c.view));
        for (const char* line : c.lines) {
            EXPECT_TRUE(HasLine(r.output, line)) << r.output;
        }
    }
}

TEST_F(InboxHost, InvokesByVerbText) {
    struct Case {
        const char16_t* arguments;
        const char* status;
    };
    const Case cases[] = {
        // The other mode's verb on this view's item, offsets and the null verb.
        {u"--view read --item-index 0 --verb 接続を指定して送受信", "status 0x80070057"},
        {u"--view list --item-index 0 --verb アカウントを指定して返信", "status 0x80070057"},
        {u"--view list --item-index 0 --verb-offset 1 --unaligned", "status 0x80070057"},
        {u"--view read --item-index 0 --null-verb", "status 0x00000000"},
        // A selection that names no message: the reply fails before opening anything.
        {u"--view read --item アカウントを指定して返信 --selection other-type",
         "status 0x80004005"},
        {u"--view read --item アカウントを指定して返信 --site cleared", "status 0x80004005"},
        {u"--view read --item アカウントを指定して返信 --site none --unaligned",
         "status 0x80004005"},
    };
    for (const Case& c : cases) {
        Profile profile(2);
        const ProcessResult r = RunInbox(profile, c.arguments);
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        EXPECT_TRUE(HasLine(r.output, c.status)) << Utf8FromWide(c.arguments) << "\n" << r.output;
        EXPECT_TRUE(profile.Outbox().empty()) << Utf8FromWide(c.arguments);
    }
}

}  // namespace
}  // namespace pelmora
