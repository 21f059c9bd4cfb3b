// The emulated device's contacts library as an in-process COM server: the class object, the
// contacts application object with its Logon and Logoff, registration, and the accounting
// that lets a test see application objects and returned strings that were never released.
#include "device/pimstore/pimstore_win32.h"

#include "sdk/pimstore.h"

#include <olectl.h>

#include <new>
#include <vector>

#include "device/com_object_win32.h"
#include "device/device_files_win32.h"
#include "device/pimstore/pimstore_testing.h"
#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora::device {

namespace {

HMODULE g_module = nullptr;
LONG g_applications = 0;
LONG g_locks = 0;

// ---- Returned strings. ----
// The caller frees them with oleaut32's SysFreeString, which this library never sees. A
// COM allocation spy does: it notes the block behind each string this library allocates and
// forgets it when that block is freed. The string cache is switched off, so that a freed
// string's block really is freed.
class StringSpy : public IMallocSpy {
public:
    StringSpy() { InitializeCriticalSection(&lock_); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
            *out = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives for the whole process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override { return cb; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
        EnterCriticalSection(&lock_);
        if (watching_ == GetCurrentThreadId()) {
            lastBlock_ = actual;
        }
        LeaveCriticalSection(&lock_);
        return actual;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override {
        Forget(request);
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T cb, void** actual, BOOL) override {
        Forget(request);
        *actual = request;
        return cb;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cb, BOOL) override { return cb; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

    BSTR Allocate(const std::u16string& text) {
        Start();
        EnterCriticalSection(&lock_);
        watching_ = GetCurrentThreadId();
        lastBlock_ = nullptr;
        LeaveCriticalSection(&lock_);
        BSTR s = SysAllocStringLen(W(text.c_str()), static_cast<UINT>(text.size()));
        EnterCriticalSection(&lock_);
        watching_ = 0;
        bool counted = s == nullptr;
        try {
            if (s != nullptr) {
                // Without the spy no free can be seen: the string then counts as live for
                // good, which shows up rather than hides.
                live_.push_back(active_ && lastBlock_ != nullptr ? lastBlock_ : s);
                counted = true;
            }
        } catch (const std::bad_alloc&) {
        }
        LeaveCriticalSection(&lock_);
        if (!counted) {
            SysFreeString(s);
            return nullptr;
        }
        return s;
    }

    LONG Live() {
        EnterCriticalSection(&lock_);
        const LONG n = static_cast<LONG>(live_.size());
        LeaveCriticalSection(&lock_);
        return n;
    }

private:
    void Start() {
        if (started_) {
            return;
        }
        started_ = true;
        using NoCache = void(WINAPI*)();
        if (auto off = reinterpret_cast<NoCache>(reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "SetOaNoCache")))) {
            off();
        }
        // The spy stays registered until the process ends, so this library must stay too.
        HMODULE pinned = nullptr;
        active_ = GetModuleHandleExW(
                      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                      reinterpret_cast<LPCWSTR>(&g_module), &pinned) &&
                  SUCCEEDED(CoRegisterMallocSpy(this));
    }

    void Forget(void* block) {
        EnterCriticalSection(&lock_);
        for (size_t i = 0; i < live_.size(); ++i) {
            if (live_[i] == block) {
                live_.erase(live_.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        LeaveCriticalSection(&lock_);
    }

    CRITICAL_SECTION lock_;
    bool started_ = false;
    bool active_ = false;
    DWORD watching_ = 0;
    void* lastBlock_ = nullptr;
    std::vector<void*> live_;
};

// Never destroyed: the COM allocator may call it until the process ends.
StringSpy& Strings() {
    static StringSpy* spy = new StringSpy;
    return *spy;
}

// ---- The contacts application object. ----
class Application : public RefCounted<IPOutlookApp2> {
public:
    explicit Application(Fault logon) : logon_(logon) { InterlockedIncrement(&g_applications); }
    ~Application() override { InterlockedDecrement(&g_applications); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IPOutlookApp2)) {
            *out = static_cast<IPOutlookApp2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Logon(LONG_PTR) override { return logon_.set ? logon_.status : S_OK; }
    HRESULT STDMETHODCALLTYPE Logoff() override { return S_OK; }

    // The device's address book needs nothing else; the other slots hold their place.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Version(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultFolder(int, IPimFolder**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateItem(int, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemFromOid(CEOID, IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HomeCity(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_HomeCity(IDispatch*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_VisitingCity(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_VisitingCity(IDispatch*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CurrentCityIndex(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_CurrentCityIndex(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReceiveFromInfrared() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_OutlookCompatible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTimeZoneFromIndex(int, IPimTimeZone**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTimeZoneInformationFromIndex(int,
                                                              TIME_ZONE_INFORMATION*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Application(IPOutlookApp**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SysFreeString(BSTR text) override {
        ::SysFreeString(text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE VariantTimeToSystemTime(double, SYSTEMTIME*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SystemTimeToVariantTime(SYSTEMTIME*, double*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG, LPCWSTR*, ULONG, CEPROPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetItemFromOidEx(ULONG, ULONG, IDispatch**) override {
        return E_NOTIMPL;
    }

private:
    Fault logon_;
};

class ClassObject : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One static class object; it holds no lock on the library.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        const Faults faults = ReadContactsProfile().faults;
        if (faults.contactsCreate.set) {
            return faults.contactsCreate.status;
        }
        if (faults.contactsCreateNull) {
            return S_OK;
        }
        auto* app = new (std::nothrow) Application(faults.contactsLogon);
        if (app == nullptr) {
            return E_OUTOFMEMORY;
        }
        const HRESULT hr = app->QueryInterface(iid, out);
        app->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_locks);
        } else {
            InterlockedDecrement(&g_locks);
        }
        return S_OK;
    }
};

ClassObject g_classObject;

const wchar_t kClassKey[] = L"CLSID\\{05058F23-20BE-11D2-8F18-0000F87A4335}";

}  // namespace

ContactsProfile ReadContactsProfile() noexcept {
    ContactsProfile profile;
    try {
        std::u16string folder;
        if (!ProfileFolder(folder)) {
            return profile;
        }
        std::string text;
        if (ReadWholeFile(folder + u"\\contacts.txt", text)) {
            profile.contacts = ParseContactList(text);
        }
        if (ReadWholeFile(folder + u"\\faults.txt", text)) {
            profile.faults = ParseFaults(text);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: no contacts and no faults.
        profile = ContactsProfile{};
    }
    return profile;
}

BSTR AllocCountedString(const std::u16string& text) {
    return Strings().Allocate(text);
}

}  // namespace pelmora::device

using namespace pelmora;
using namespace pelmora::device;

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Application)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_classObject.QueryInterface(iid, out);
}

HRESULT WINAPI DllCanUnloadNow() {
    return InterlockedCompareExchange(&g_applications, 0, 0) == 0 &&
                   InterlockedCompareExchange(&g_locks, 0, 0) == 0
               ? S_OK
               : S_FALSE;
}

// The class is served from wherever this library lies, for any apartment.
HRESULT WINAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return E_FAIL;
    }
    RegKey server;
    const std::wstring serverKey = std::wstring(kClassKey) + L"\\InprocServer32";
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        server.Put(), nullptr) != ERROR_SUCCESS) {
        return SELFREG_E_CLASS;
    }
    const wchar_t model[] = L"Both";
    if (RegSetValueExW(server.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                       (n + 1) * sizeof(wchar_t)) != ERROR_SUCCESS ||
        RegSetValueExW(server.Get(), L"ThreadingModel", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(model), sizeof model) != ERROR_SUCCESS) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT WINAPI DllUnregisterServer() {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

void WINAPI PimstoreDeviceCounts(PIMSTORE_DEVICE_COUNTS* counts) {
    if (counts == nullptr) {
        return;
    }
    counts->applications = InterlockedCompareExchange(&g_applications, 0, 0);
    counts->strings = Strings().Live();
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}
