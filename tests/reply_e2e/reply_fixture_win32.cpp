#include "tests/reply_e2e/reply_fixture_win32.h"

#include <algorithm>

#include "device/cemapi/device_profile.h"
#include "text/codecs.h"
#include "text/dual_string.h"
#include "text/utf8.h"
#include "tests/support/test_files.h"

namespace pelmora::testing_support {
namespace {

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

const wchar_t kReadViewServerKey[] =
    L"CLSID\\{0ED86D47-9EDC-4878-9165-3F7553440109}\\InprocServer32";
const wchar_t kListViewServerKey[] =
    L"CLSID\\{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}\\InprocServer32";
const char16_t kReadViewClass[] = u"{0ED86D47-9EDC-4878-9165-3F7553440109}";
const char16_t kReplyVerb[] = u"アカウントを指定して返信";
const char16_t kSettingsFolder[] = u"C:\\Program Files\\Pelmora";

std::optional<std::u16string> ServerPath(const wchar_t* key) {
    wchar_t value[1024] = {};
    LONG size = sizeof value - sizeof(wchar_t);
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key, value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::u16string(reinterpret_cast<const char16_t*>(value));
}

void RestoreServerPath(const wchar_t* key, const std::u16string& path) {
    RegSetValueW(HKEY_CLASSES_ROOT, key, REG_SZ, W(path),
                 static_cast<DWORD>(path.size() * sizeof(char16_t)));
}

using ServerFunction = HRESULT(WINAPI*)();

ServerFunction Export(HMODULE module, const char* name) {
    return reinterpret_cast<ServerFunction>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string Base64Of(const std::u16string& text) {
    const std::string bytes = ToMultibyte(text);
    return Base64Encode(bytes.data(), bytes.size());
}

bool SameTextIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return CompareStringOrdinal(W(a), static_cast<int>(a.size()), W(b), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// Current directory for the lifetime of the object.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const wchar_t* folder) {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(folder);
    }
    ~CurrentDirectory() { SetCurrentDirectoryW(previous_); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  private:
    wchar_t previous_[MAX_PATH] = {};
};

}  // namespace

std::u16string WindowsPath(const char* unixPath) {
    std::u16string p = u"Z:" + WideFromUtf8(unixPath);
    std::replace(p.begin(), p.end(), u'/', u'\\');
    return p;
}

ServerRegistration::ServerRegistration(const std::u16string& dllPath)
    : previousPath_(ServerPath(kReadViewServerKey)),
      previousListPath_(ServerPath(kListViewServerKey)) {
    module_ = LoadLibraryW(W(dllPath));
    if (module_ != nullptr) {
        ServerFunction registerServer = Export(module_, "DllRegisterServer");
        registered_ = registerServer != nullptr && registerServer() == S_OK;
    }
}

ServerRegistration::~ServerRegistration() {
    if (module_ == nullptr) {
        return;
    }
    if (previousPath_) {
        RestoreServerPath(kReadViewServerKey, *previousPath_);
        if (previousListPath_) {
            RestoreServerPath(kListViewServerKey, *previousListPath_);
        }
    } else if (ServerFunction unregisterServer = Export(module_, "DllUnregisterServer")) {
        unregisterServer();
    }
    FreeLibrary(module_);
}

std::string SettingsFileText(const SettingsValues& v) {
    auto flag = [](bool b) { return std::string(b ? "TRUE" : "FALSE"); };
    std::string text = "[Pelmora]\r\n";
    if (v.accountIndex) {
        text += "RESACCOUNTINDEX=" + std::to_string(*v.accountIndex) + "\r\n";
    }
    if (!v.cc.empty()) {
        text += "CC=" + Base64Of(v.cc) + "\r\n";
    }
    if (!v.bcc.empty()) {
        text += "BCC=" + Base64Of(v.bcc) + "\r\n";
    }
    text += "PRIOFROM=" + flag(v.prioFrom) + "\r\n";
    text += "RESALL=" + flag(v.resAll) + "\r\n";
    text += "RESALLCC=" + flag(v.resAllCc) + "\r\n";
    text += "QUATE=" + flag(v.quote) + "\r\n";
    if (!v.quoteString.empty()) {
        text += "QUATESTRING=" + Base64Of(v.quoteString) + "\r\n";
    }
    if (!v.signature.empty()) {
        text += "SIGNATURE=" + Base64Of(v.signature) + "\r\n";
    }
    return text;
}

const std::u16string& SettingsFile::Path() {
    static const std::u16string path = std::u16string(kSettingsFolder) + u"\\Pelmora.ini";
    return path;
}

SettingsFile::SettingsFile() {
    std::string bytes;
    if (ReadBytes(Path(), bytes)) {
        previous_ = bytes;
    }
    createdFolder_ = CreateDirectoryW(W(kSettingsFolder), nullptr) != FALSE;
}

SettingsFile::~SettingsFile() {
    if (previous_) {
        WriteBytes(Path(), *previous_);
    } else {
        Remove();
    }
    if (createdFolder_) {
        RemoveDirectoryW(W(kSettingsFolder));
    }
}

bool SettingsFile::Write(const SettingsValues& values) {
    return WriteRaw(SettingsFileText(values));
}

bool SettingsFile::WriteRaw(const std::string& bytes) {
    return WriteBytes(Path(), bytes);
}

void SettingsFile::Remove() {
    DeleteFileW(W(Path()));
}

ReadView::ReadView(uint32_t store, const std::string& message, device::SelectionShape shape) {
    extensions_ = device::LoadExtensions(device::InboxView::Read);
    site_ = new device::InboxSite(device::MakeEntryId(store, message), shape);
    menu_ = CreatePopupMenu();
    device::BuildMenu(extensions_, site_, menu_);
}

ReadView::~ReadView() {
    // The Inbox takes its site back before it lets the extensions go.
    for (device::LoadedExtension& extension : extensions_) {
        if (extension.withSite) {
            extension.withSite->SetSite(nullptr);
        }
    }
    extensions_.clear();
    site_->Release();
    DestroyMenu(menu_);
}

device::LoadedExtension* ReadView::Pelmora() {
    for (device::LoadedExtension& extension : extensions_) {
        if (SameTextIgnoringCase(extension.classId, kReadViewClass)) {
            return &extension;
        }
    }
    return nullptr;
}

HRESULT ReadView::Created() const {
    for (const device::LoadedExtension& extension : extensions_) {
        if (SameTextIgnoringCase(extension.classId, kReadViewClass)) {
            return extension.created;
        }
    }
    return E_FAIL;
}

HRESULT ReadView::Invoke() {
    device::LoadedExtension* pelmora = Pelmora();
    if (pelmora == nullptr || !pelmora->menu) {
        return E_FAIL;
    }
    CurrentDirectory root(L"C:\\");
    return device::InvokeWithVerb(pelmora->menu.Get(), nullptr, kReplyVerb, false);
}

CEMAPI_DEVICE_COUNTS DeviceCounts() {
    CEMAPI_DEVICE_COUNTS counts = {};
    HMODULE cemapi = GetModuleHandleW(L"cemapi.dll");
    if (cemapi == nullptr) {
        return counts;
    }
    auto read = reinterpret_cast<void(WINAPI*)(CEMAPI_DEVICE_COUNTS*)>(
        reinterpret_cast<void*>(GetProcAddress(cemapi, "CemapiDeviceCounts")));
    if (read != nullptr) {
        read(&counts);
    }
    return counts;
}

ProcessResult RunProcess(const std::u16string& commandLine, const std::u16string& directory) {
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
    std::u16string line = commandLine;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(&line[0]), nullptr, nullptr, TRUE, 0,
                       nullptr, W(directory), &startup, &process);
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

}  // namespace pelmora::testing_support
