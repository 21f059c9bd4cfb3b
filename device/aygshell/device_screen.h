// Geometry of the emulated handheld's screen, a portrait display in the top left corner of
// the desktop, shared by the shell helpers, the screen tool and their tests. The device is
// QVGA (240 x 320 at 96 DPI) or VGA (480 x 640 at 192 DPI); which one is the session's
// logical DPI, as a VGA handheld reports 192.
#pragma once

#include <windows.h>

namespace pelmora::device {

// The QVGA screen, whose pixels the emulated Inbox's own screen is drawn in.
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;
// The navigation bar across the top (title and Done button) and the menu bar at the bottom.
constexpr int kNavigationBarHeight = 26;
constexpr int kMenuBarHeight = 26;

struct ScreenGeometry {
    int scale;  // 1 on QVGA, 2 on VGA: the DPI over 96
    int width;
    int height;
    int navigationBarHeight;
    int menuBarHeight;
};

inline ScreenGeometry GeometryForDpi(int dpi) {
    const int scale = dpi >= 192 ? 2 : 1;
    return {scale, kScreenWidth * scale, kScreenHeight * scale, kNavigationBarHeight * scale,
            kMenuBarHeight * scale};
}

// The screen of this session, from the logical DPI of the display.
inline ScreenGeometry DeviceScreen() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return GeometryForDpi(dpi);
}

}  // namespace pelmora::device
