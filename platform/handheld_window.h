// Window styles that the handheld and the desktop read differently.
#pragma once

#include <windows.h>

namespace pelmora {

// A program's full-screen top-level window, without caption or frame. The handheld's window
// manager draws neither on WS_VISIBLE alone; the desktop's gives such an overlapped window a
// caption and frame, so the desktop build asks for a pop-up, which both read alike.
constexpr DWORD kHandheldTopLevelStyle = WS_VISIBLE;
constexpr DWORD kTopLevelStyle = kHandheldTopLevelStyle | WS_POPUP;

}  // namespace pelmora
