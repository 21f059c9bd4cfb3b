// The few places where the handheld and the desktop spell the same thing differently. The
// handheld's spelling is the one written here; the desktop build, which runs the product on
// the emulated device, takes the desktop's spelling of the same thing, chosen here and
// nowhere else (the import check accepts the desktop's names only from this seam's object).
#pragma once

#include <windows.h>

namespace pelmora {

// A window class background of the system window colour. The handheld marks a system
// colour index with the flag 0x40000000 (its COLOR_WINDOW is that flag with 5) and takes the
// marked index as the brush; the desktop takes the colour index plus one.
constexpr INT_PTR kHandheldWindowBackground = 0x40000005;

inline HBRUSH SystemWindowBackground() {
#if defined(_WIN32_WCE)
    return reinterpret_cast<HBRUSH>(kHandheldWindowBackground);
#else
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
#endif
}

// A program's full-screen top-level window, without caption or frame. The handheld's window
// manager draws neither on WS_VISIBLE alone; the desktop's gives such an overlapped window a
// caption and frame, so the desktop build asks for a pop-up, which both read alike.
constexpr DWORD kHandheldTopLevelStyle = WS_VISIBLE;
#if defined(_WIN32_WCE)
constexpr DWORD kTopLevelStyle = kHandheldTopLevelStyle;
#else
constexpr DWORD kTopLevelStyle = kHandheldTopLevelStyle | WS_POPUP;
#endif

// A library's export by name, looked up as wide text as the handheld does (GetProcAddressW).
// Null when the export is missing, or when the name is not plain ASCII (no export's is).
FARPROC ExportAddress(HMODULE module, const wchar_t* name);

// The bytes of a resource that LoadResource gave: the handheld's LoadResource gives them
// directly (it has no LockResource).
const void* ResourceData(HGLOBAL loaded);

}  // namespace pelmora
