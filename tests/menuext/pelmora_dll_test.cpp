// The built Pelmora.dll as the device meets it: its export table, its class objects and
// objects over a device profile, registration through regsvr32, and the emulated Inbox
// creating it through COM. Every test leaves the registry's Pelmora keys as it found them.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device/cemapi/cemapi_testing.h"
#include "tests/support/test_files.h"
#include "text/utf8.h"

#ifndef PELMORA_DLL_FILE
#error "PELMORA_DLL_FILE must name the built Pelmora.dll"
#endif

namespace pelmora {
namespace {

using testing_support::ScratchDir;
using testing_support::WriteBytes;

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

const char16_t kReply[] = u"アカウントを指定して返信";
const char16_t kSendReceive[] = u"接続を指定して送受信";

// ---- The export table, read from the file's bytes. ----

template <typename T>
bool ReadAt(const std::string& file, size_t offset, T& value) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(&value, file.data() + offset, sizeof(T));
    return true;
}

// The names in a 32-bit image's export directory; false when the image is malformed.
bool ExportedNames(const std::string& file, std::vector<std::string>& names, DWORD& functions) {
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    if (!ReadAt(file, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !ReadAt(file, static_cast<size_t>(dos.e_lfanew), nt) ||
        nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        return false;
    }
    const size_t sections = static_cast<size_t>(dos.e_lfanew) +
                            offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                            nt.FileHeader.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva, size_t& out) {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER s;
            if (!ReadAt(file, sections + i * sizeof s, s)) {
                return false;
            }
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData) {
                out = s.PointerToRawData + (rva - s.VirtualAddress);
                return true;
            }
        }
        return false;
    };
    const IMAGE_DATA_DIRECTORY& dir = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    size_t at = 0;
    IMAGE_EXPORT_DIRECTORY exports;
    if (dir.VirtualAddress == 0 || !fileOffset(dir.VirtualAddress, at) ||
        !ReadAt(file, at, exports) || exports.NumberOfNames > 1000) {
        return false;
    }
    functions = exports.NumberOfFunctions;
    for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
        size_t entry = 0;
        DWORD nameRva = 0;
        size_t name = 0;
        if (!fileOffset(exports.AddressOfNames + i * 4, entry) || !ReadAt(file, entry, nameRva) ||
            !fileOffset(nameRva, name)) {
            return false;
        }
        const size_t end = file.find('\0', name);
        if (end == std::string::npos) {
            return false;
        }
        names.push_back(file.substr(name, end - name));
    }
    return true;
}

TEST(PelmoraDll, ExportsExactlyTheFourServerFunctions) {
    std::string file;
    ASSERT_TRUE(testing_support::ReadBytes(kDllPath, file));
    std::vector<std::string> names;
    DWORD functions = 0;
    ASSERT_TRUE(ExportedNames(file, names, functions));
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject",
                                               "DllRegisterServer", "DllUnregisterServer"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(functions, 4u);
}

// ---- Registry state of the six keys, saved and put back around every test. ----

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

bool KeyExists(const KeyName& k) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(k.root, k.path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The key's default value as stored: type and raw bytes. False when there is none.
bool DefaultValue(const KeyName& k, DWORD& type, std::string& bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(k.root, k.path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    BYTE data[2048];
    DWORD size = sizeof data;
    const LONG r = RegQueryValueExW(key, L"", nullptr, &type, data, &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        return false;
    }
    bytes.assign(reinterpret_cast<char*>(data), size);
    return true;
}

std::string StringValueBytes(const std::u16string& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + 1) * sizeof(char16_t));
}

class RegistryGuard {
  public:
    RegistryGuard() {
        for (size_t i = 0; i < 6; ++i) {
            saved_[i].existed = KeyExists(kKeys[i]);
            saved_[i].hasValue =
                saved_[i].existed && DefaultValue(kKeys[i], saved_[i].type, saved_[i].bytes);
        }
    }
    ~RegistryGuard() {
        Clear();
        for (int i = 5; i >= 0; --i) {
            if (!saved_[i].existed) {
                continue;
            }
            HKEY key = nullptr;
            RegCreateKeyExW(kKeys[i].root, kKeys[i].path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr);
            if (key != nullptr && saved_[i].hasValue) {
                RegSetValueExW(key, L"", 0, saved_[i].type,
                               reinterpret_cast<const BYTE*>(saved_[i].bytes.data()),
                               static_cast<DWORD>(saved_[i].bytes.size()));
            }
            if (key != nullptr) {
                RegCloseKey(key);
            }
        }
    }
    static void Clear() {
        for (const KeyName& k : kKeys) {
            RegDeleteKeyW(k.root, k.path);
        }
    }

  private:
    struct Saved {
        bool existed = false;
        bool hasValue = false;
        DWORD type = 0;
        std::string bytes;
    };
    Saved saved_[6];
};

// ---- A device profile in a scratch folder: stores, messages, faults. ----

class Profile {
  public:
    explicit Profile(int accounts, const std::string& faults = "") {
        std::string stores;
        for (int i = 0; i < accounts; ++i) {
            const std::string folder = "s" + std::to_string(i);
            stores += folder + "|Account " + std::to_string(i) + "\r\n";
            CreateDirectoryW(W(dir_.Path(WideFromUtf8(folder))), nullptr);
        }
        if (accounts == 0) {
            stores += "s0\r\n";  // a store without a display name is no account
            CreateDirectoryW(W(dir_.Path(u"s0")), nullptr);
        }
        WriteBytes(dir_.Path(u"stores.txt"), stores);
        WriteBytes(dir_.Path(u"s0\\m1.eml"),
                   "From: a@example.com\r\nSubject: hello\r\n\r\nbody\r\n");
        WriteBytes(dir_.Path(u"s0\\m1.props"),
                   "class=IPM.Note\nsender=a@example.com\nsubject=hello\n");
        if (!faults.empty()) {
            WriteBytes(dir_.Path(u"faults.txt"), faults);
        }
    }
    const std::u16string& Folder() const { return dir_.Folder(); }
    bool HasFile(const std::u16string& name) const {
        return testing_support::FileExists(dir_.Path(name));
    }

  private:
    ScratchDir dir_;
};

// ---- Pelmora.dll loaded into this process. ----

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using PlainFn = HRESULT(WINAPI*)();

class LoadedServer {
  public:
    explicit LoadedServer(const std::u16string& path = kDllPath) {
        module_ = LoadLibraryW(W(path));
        if (module_ != nullptr) {
            getClassObject = reinterpret_cast<GetClassObjectFn>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
            canUnloadNow = reinterpret_cast<PlainFn>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
            registerServer = reinterpret_cast<PlainFn>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
            unregisterServer = reinterpret_cast<PlainFn>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllUnregisterServer")));
        }
    }
    ~LoadedServer() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    bool Loaded() const {
        return getClassObject && canUnloadNow && registerServer && unregisterServer;
    }

    GetClassObjectFn getClassObject = nullptr;
    PlainFn canUnloadNow = nullptr;
    PlainFn registerServer = nullptr;
    PlainFn unregisterServer = nullptr;

    IClassFactory* Factory(const CLSID& clsid) {
        IClassFactory* factory = nullptr;
        getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        return factory;
    }

  private:
    HMODULE module_ = nullptr;
};

// The stand-in messaging library's live sessions in this process.
LONG LiveSessions() {
    HMODULE cemapi = GetModuleHandleW(L"cemapi.dll");
    if (cemapi == nullptr) {
        return 0;
    }
    auto counts = reinterpret_cast<void(WINAPI*)(CEMAPI_DEVICE_COUNTS*)>(
        reinterpret_cast<void*>(GetProcAddress(cemapi, "CemapiDeviceCounts")));
    CEMAPI_DEVICE_COUNTS c = {};
    if (counts != nullptr) {
        counts(&c);
    }
    return c.sessions;
}

class PelmoraServer : public ::testing::Test {
  protected:
    void UseProfile(const Profile& profile) {
        SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", W(profile.Folder()));
    }
    void TearDown() override { SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", nullptr); }
    RegistryGuard registry_;
};

TEST_F(PelmoraServer, ClassObjectsAloneDoNotKeepTheLibrary) {
    LoadedServer server;
    ASSERT_TRUE(server.Loaded());
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.getClassObject(IID_IUnknown, IID_IClassFactory, &none),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    for (const CLSID& clsid : {kReadView, kListView}) {
        IUnknown* unknown = nullptr;
        ASSERT_EQ(server.getClassObject(clsid, IID_IUnknown, reinterpret_cast<void**>(&unknown)),
                  S_OK);
        EXPECT_EQ(server.canUnloadNow(), S_OK);
        unknown->Release();
    }
    EXPECT_EQ(server.getClassObject(kReadView, IID_IDataObject, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

TEST_F(PelmoraServer, ObjectsAndLocksKeepTheLibraryLoaded) {
    Profile profile(2);
    UseProfile(profile);
    LoadedServer server;
    ASSERT_TRUE(server.Loaded());
    IClassFactory* factory = server.Factory(kReadView);
    ASSERT_NE(factory, nullptr);
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(server.canUnloadNow(), S_FALSE);
    EXPECT_EQ(LiveSessions(), 1);
    object->Release();
    EXPECT_EQ(server.canUnloadNow(), S_OK);
    EXPECT_EQ(LiveSessions(), 0);  // the object's session went with it

    factory->LockServer(TRUE);
    factory->LockServer(TRUE);
    factory->LockServer(FALSE);
    EXPECT_EQ(server.canUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(server.canUnloadNow(), S_OK);
    factory->Release();
}

TEST_F(PelmoraServer, RefusedCreationsLeaveNoObjectBehind) {
    Profile profile(2);
    UseProfile(profile);
    LoadedServer server;
    ASSERT_TRUE(server.Loaded());
    for (const CLSID& clsid : {kReadView, kListView}) {
        IClassFactory* factory = server.Factory(clsid);
        ASSERT_NE(factory, nullptr);
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(factory, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(object, nullptr);
        object = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDataObject, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(server.canUnloadNow(), S_OK);
        EXPECT_EQ(LiveSessions(), 0);
        factory->Release();
    }
}

struct FailedCreation {
    const char* faults;
    const CLSID* clsid;
    HRESULT status;  // S_OK: created
};

TEST_F(PelmoraServer, FailingAccountInitialisationDestroysTheObject) {
    const FailedCreation cases[] = {
        {"logon=0x80004005\n", &kReadView, static_cast<HRESULT>(0x80004005)},
        {"logon=0x80040111\n", &kListView, static_cast<HRESULT>(0x80040111)},
        {"stores_table=0x8007000E\n", &kReadView, E_OUTOFMEMORY},
        {"stores_table=0x8007000E\n", &kListView, S_OK},  // the list view reads no table
        {"query_rows=0x80004005\nquery_rows_after=1\n", &kReadView,
         static_cast<HRESULT>(0x80004005)},
    };
    for (const FailedCreation& c : cases) {
        Profile profile(2, c.faults);
        UseProfile(profile);
        LoadedServer server;
        ASSERT_TRUE(server.Loaded());
        IClassFactory* factory = server.Factory(*c.clsid);
        ASSERT_NE(factory, nullptr);
        IUnknown* object = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)),
                  c.status)
            << c.faults;
        if (c.status == S_OK) {
            ASSERT_NE(object, nullptr);
            object->Release();
        } else {
            EXPECT_EQ(object, nullptr);
        }
        EXPECT_EQ(server.canUnloadNow(), S_OK) << c.faults;
        EXPECT_EQ(LiveSessions(), 0) << c.faults;
        factory->Release();
    }
}

// Builds a menu with one object's item; the item's grayed state.
bool ItemGrayed(IContextMenu* menu) {
    HMENU popup = CreatePopupMenu();
    const HRESULT hr = menu->QueryContextMenu(popup, 0, 1, 10, CMF_NORMAL);
    const bool grayed = hr == 1 && (GetMenuState(popup, 1, MF_BYCOMMAND) & MF_GRAYED) != 0;
    EXPECT_EQ(hr, 1);
    DestroyMenu(popup);
    return grayed;
}

TEST_F(PelmoraServer, ReplyItemNeedsTwoAccounts) {
    for (int accounts : {0, 1, 2, 3}) {
        Profile profile(accounts);
        UseProfile(profile);
        LoadedServer server;
        ASSERT_TRUE(server.Loaded());
        for (const CLSID* clsid : {&kReadView, &kListView}) {
            IClassFactory* factory = server.Factory(*clsid);
            IContextMenu* menu = nullptr;
            ASSERT_EQ(
                factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)),
                S_OK);
            const bool expectGrayed = clsid == &kReadView && accounts < 2;
            EXPECT_EQ(ItemGrayed(menu), expectGrayed) << accounts;
            menu->Release();
            factory->Release();
        }
    }
}

HRESULT InvokeVerb(IContextMenu* menu, const void* verb) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = static_cast<LPCSTR>(verb);
    return menu->InvokeCommand(&info);
}

TEST_F(PelmoraServer, VerbsOfTheOtherModeAndOffsetsAreRejected) {
    Profile profile(2);
    UseProfile(profile);
    LoadedServer server;
    ASSERT_TRUE(server.Loaded());
    struct Case {
        const CLSID* clsid;
        const char16_t* foreign;
        const char16_t* own;
    };
    for (const Case& c :
         {Case{&kReadView, kSendReceive, kReply}, Case{&kListView, kReply, kSendReceive}}) {
        IClassFactory* factory = server.Factory(*c.clsid);
        IContextMenu* menu = nullptr;
        ASSERT_EQ(
            factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)),
            S_OK);
        EXPECT_EQ(InvokeVerb(menu, c.foreign), E_INVALIDARG);
        EXPECT_EQ(InvokeVerb(menu, nullptr), S_OK);
        EXPECT_EQ(InvokeVerb(menu, MAKEINTRESOURCEA(1)), E_INVALIDARG);
        wchar_t name[32] = {};
        EXPECT_EQ(menu->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<CHAR*>(name), 32),
                  S_OK);
        EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(name)), c.own);
        menu->Release();
        factory->Release();
    }
    EXPECT_EQ(server.canUnloadNow(), S_OK);
}

// ---- Registration. ----

struct ProcessResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs a command line and collects its stdout.
ProcessResult RunProcess(const std::u16string& commandLine) {
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
    std::u16string mutableLine = commandLine;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(&mutableLine[0]), nullptr, nullptr, TRUE,
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

std::u16string Quoted(const std::u16string& s) {
    return u"\"" + s + u"\"";
}

ProcessResult Regsvr32(bool unregister) {
    return RunProcess(u"regsvr32.exe /s " + std::u16string(unregister ? u"/u " : u"") +
                      Quoted(kDllPath));
}

bool SameTextIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() &&
           CompareStringOrdinal(W(a), static_cast<int>(a.size()), W(b), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

void ExpectRegistered() {
    const std::u16string read = u"Pelmora ReadView Menu Extension";
    const std::u16string list = u"Pelmora ListView Menu Extension";
    const std::u16string expected[6] = {kDllPath, read, kDllPath, list, read, list};
    for (size_t i = 0; i < 6; ++i) {
        DWORD type = 0;
        std::string bytes;
        ASSERT_TRUE(DefaultValue(kKeys[i], type, bytes)) << i;
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << i;
        // The byte count holds the terminator.
        ASSERT_EQ(bytes.size(), (expected[i].size() + 1) * sizeof(char16_t)) << i;
        const std::u16string text(reinterpret_cast<const char16_t*>(bytes.data()),
                                  expected[i].size());
        if (expected[i] == kDllPath) {
            EXPECT_TRUE(SameTextIgnoringCase(text, kDllPath)) << Utf8FromWide(text);
        } else {
            EXPECT_EQ(text, expected[i]);
        }
        // No other value (no threading model).
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(kKeys[i].root, kKeys[i].path, 0, KEY_READ, &key), ERROR_SUCCESS);
        DWORD values = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        EXPECT_EQ(values, 1u) << i;
    }
}

TEST_F(PelmoraServer, Regsvr32RegistersAndUnregistersTheSixEntries) {
    RegistryGuard::Clear();
    ASSERT_EQ(Regsvr32(false).exitCode, 0u);
    ExpectRegistered();
    // Registering again leaves the same values.
    ASSERT_EQ(Regsvr32(false).exitCode, 0u);
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(true).exitCode, 0u);
    for (const KeyName& k : kKeys) {
        EXPECT_FALSE(KeyExists(k)) << Utf8FromWide(reinterpret_cast<const char16_t*>(k.path));
    }
    // Unregistering again fails at the first key.
    EXPECT_NE(Regsvr32(true).exitCode, 0u);
    LoadedServer server;
    ASSERT_TRUE(server.Loaded());
    EXPECT_EQ(server.unregisterServer(), E_FAIL);
}

TEST_F(PelmoraServer, UnregisteringStopsAtTheFirstMissingKey) {
    RegistryGuard::Clear();
    LoadedServer server;
    ASSERT_TRUE(server.Loaded());
    // Only the menu entries remain: nothing can be deleted before them.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(kKeys[4].root, kKeys[4].path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(server.unregisterServer(), E_FAIL);
    EXPECT_TRUE(KeyExists(kKeys[4]));
    // The first four gone, the menu entries still there: the read view's goes, then the list
    // view's is missing.
    EXPECT_EQ(server.registerServer(), S_OK);
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(RegDeleteKeyW(kKeys[i].root, kKeys[i].path), ERROR_SUCCESS);
    }
    ASSERT_EQ(RegDeleteKeyW(kKeys[5].root, kKeys[5].path), ERROR_SUCCESS);
    EXPECT_EQ(server.unregisterServer(), E_FAIL);
    EXPECT_TRUE(KeyExists(kKeys[4]));
}

TEST_F(PelmoraServer, UnderAnotherFileNameRegistrationStopsAtTheServerPath) {
    ASSERT_EQ(GetModuleHandleW(L"Pelmora.dll"), nullptr);
    RegistryGuard::Clear();
    ScratchDir dir;
    const std::u16string copy = dir.Path(u"Other.dll");
    ASSERT_TRUE(CopyFileW(W(kDllPath), W(copy), FALSE));
    {
        LoadedServer server(copy);
        ASSERT_TRUE(server.Loaded());
        EXPECT_EQ(server.registerServer(), E_FAIL);
    }
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(DefaultValue(kKeys[1], type, bytes));
    EXPECT_EQ(bytes, StringValueBytes(u"Pelmora ReadView Menu Extension"));
    EXPECT_TRUE(KeyExists(kKeys[0]));
    EXPECT_FALSE(DefaultValue(kKeys[0], type, bytes));
    EXPECT_FALSE(KeyExists(kKeys[4]));
    DeleteFileW(W(copy));
}

// ---- The emulated Inbox, creating the registered extensions through COM. ----

ProcessResult RunInbox(const Profile& profile, const std::u16string& arguments) {
    return RunProcess(Quoted(kInboxPath) + u" --profile " + Quoted(profile.Folder()) + u" " +
                      arguments);
}

bool Contains(const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos ||
           text.find(line + "\r\n") != std::string::npos;
}

class InboxHost : public PelmoraServer {
  protected:
    void SetUp() override {
        RegistryGuard::Clear();
        ASSERT_EQ(Regsvr32(false).exitCode, 0u);
    }
};

TEST_F(InboxHost, ShowsEachViewsItemWithItsState) {
    struct Case {
        int accounts;
        const char* view;
        const char* line;
    };
    const Case cases[] = {
        {0, "read", "item 0 grayed アカウントを指定して返信"},
        {1, "read", "item 0 grayed アカウントを指定して返信"},
        {2, "read", "item 0 enabled アカウントを指定して返信"},
        {1, "list", "item 0 enabled 接続を指定して送受信"},
    };
    for (const Case& c : cases) {
        Profile profile(c.accounts);
        const ProcessResult r = RunInbox(profile, u"--view " + WideFromUtf8(c.view));
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        EXPECT_TRUE(Contains(r.output, c.line)) << r.output;
        EXPECT_TRUE(Contains(r.output, std::string("extension ") +
                                           (std::string(c.view) == "read"
                                                ? "{0ED86D47-9EDC-4878-9165-3F7553440109}"
                                                : "{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}") +
                                           " 0x00000000"))
            << r.output;
    }
}

TEST_F(InboxHost, FailedLogonMeansNoItem) {
    Profile profile(2, "logon=0x80004005\n");
    const ProcessResult r = RunInbox(profile, u"--view read --item-index 0");
    EXPECT_TRUE(Contains(r.output, "extension {0ED86D47-9EDC-4878-9165-3F7553440109} 0x80004005"))
        << r.output;
    EXPECT_EQ(r.output.find("item 0"), std::string::npos) << r.output;
    EXPECT_TRUE(Contains(r.output, "status none")) << r.output;
}

TEST_F(InboxHost, InvokesByVerbText) {
    struct Case {
        const char16_t* arguments;
        const char* status;
    };
    const Case cases[] = {
        // The other mode's verb on this view's item.
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
        EXPECT_TRUE(Contains(r.output, c.status)) << Utf8FromWide(c.arguments) << "\n" << r.output;
        EXPECT_FALSE(profile.HasFile(u"outbox.jsonl")) << Utf8FromWide(c.arguments);
    }
}

}  // namespace
}  // namespace pelmora
