// The registration steps on the real registry.
#include <windows.h>

#include <new>

#include "menuext/registration.h"
#include "menuext/server.h"
#include "platform/wide.h"
#include "text/dual_string.h"

namespace pelmora {

namespace {

// GetModuleFileNameW's buffer: MAX_PATH and one more.
constexpr DWORD kModulePathCapacity = 261;

class Win32Registry : public RegistryPort {
public:
    Key Root(RegistryRoot root) override {
        return reinterpret_cast<Key>(root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT
                                                                       : HKEY_LOCAL_MACHINE);
    }
    bool CreateKey(Key parent, const char16_t* subKey, Key* key) override {
        HKEY created = nullptr;
        DWORD disposition = 0;
        wchar_t noClass[] = L"";
        if (RegCreateKeyExW(AsHkey(parent), W(subKey), 0, noClass, 0, KEY_ALL_ACCESS, nullptr,
                            &created, &disposition) != ERROR_SUCCESS) {
            return false;
        }
        *key = reinterpret_cast<Key>(created);
        return true;
    }
    bool SetDefaultText(Key key, const char16_t* text) override {
        const DWORD bytes = static_cast<DWORD>((WideLength(text) + 1) * sizeof(char16_t));
        return RegSetValueExW(AsHkey(key), L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              bytes) == ERROR_SUCCESS;
    }
    void CloseKey(Key key) override { RegCloseKey(AsHkey(key)); }
    bool DeleteKey(Key parent, const char16_t* subKey) override {
        return RegDeleteKeyW(AsHkey(parent), W(subKey)) == ERROR_SUCCESS;
    }
    std::u16string ServerPath() override {
        const HMODULE module = GetModuleHandleW(kServerFileName);
        if (module == nullptr) {
            return {};
        }
        wchar_t path[kModulePathCapacity] = {};
        const DWORD n = GetModuleFileNameW(module, path, kModulePathCapacity);
        // A path cut to the buffer would name another file.
        if (n == 0 || n >= kModulePathCapacity) {
            return {};
        }
        return std::u16string(U(path), n);
    }

private:
    static HKEY AsHkey(Key key) { return reinterpret_cast<HKEY>(key); }
};

}  // namespace

HRESULT RegisterServerEntries() {
    try {
        Win32Registry registry;
        return RegisterServer(registry) ? S_OK : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServerEntries() {
    try {
        Win32Registry registry;
        return UnregisterServer(registry) ? S_OK : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace pelmora
