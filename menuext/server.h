// The in-process server's plumbing: the server lock count, the module handle, and the
// bodies of the library's four exports (dll_exports.cpp forwards to them).
#pragma once

#include <windows.h>

namespace pelmora {

// The library's own file name; the module handle is looked up by it.
inline constexpr wchar_t kServerFileName[] = L"Pelmora.dll";

// Every context-menu object holds one lock from construction to destruction, LockServer
// adds and removes them. A plain counter: the Inbox calls from one thread.
void LockServerCount(bool lock);

HRESULT GetServerClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
HRESULT CanUnloadServer();
HRESULT RegisterServerEntries();
HRESULT UnregisterServerEntries();

}  // namespace pelmora
