#include "menuext/server.h"

#include <new>

#include "menuext/class_factory.h"
#include "menuext/class_ids.h"
#include "menuext/menu_text.h"

namespace pelmora {

namespace {
LONG g_serverLocks = 0;
}  // namespace

void LockServerCount(bool lock) {
    if (lock) {
        ++g_serverLocks;
    } else {
        --g_serverLocks;
    }
}

HRESULT GetServerClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (ppv != nullptr) {
        *ppv = nullptr;
    }
    int mode;
    if (IsEqualCLSID(rclsid, kReadViewClassId)) {
        mode = kReadViewMode;
    } else if (IsEqualCLSID(rclsid, kListViewClassId)) {
        mode = kListViewMode;
    } else {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    // String and dialog resources are loaded from the module of that name.
    auto* factory =
        new (std::nothrow) MenuExtensionFactory(mode, GetModuleHandleW(kServerFileName));
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

HRESULT CanUnloadServer() {
    return g_serverLocks == 0 ? S_OK : S_FALSE;
}

}  // namespace pelmora
