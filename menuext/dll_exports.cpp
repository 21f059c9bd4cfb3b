// The DLL's four exports. (Placeholder until the COM server lands.)
#include <windows.h>
#include <objbase.h>

extern "C" {

STDAPI DllCanUnloadNow() { return S_OK; }

STDAPI DllGetClassObject(REFCLSID, REFIID, void** ppv) {
    if (ppv != nullptr) {
        *ppv = nullptr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllRegisterServer() { return E_FAIL; }

STDAPI DllUnregisterServer() { return E_FAIL; }

}  // extern "C"
