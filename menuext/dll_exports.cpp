// The library's four exports; the bodies live with the server plumbing (server_win32.cpp,
// registration_win32.cpp).
#include <windows.h>
#include <objbase.h>

#include "menuext/server.h"

extern "C" {

STDAPI DllCanUnloadNow() {
    return pelmora::CanUnloadServer();
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return pelmora::GetServerClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer() {
    return pelmora::RegisterServerEntries();
}

STDAPI DllUnregisterServer() {
    return pelmora::UnregisterServerEntries();
}

}  // extern "C"
