// Geometry of the emulated handheld's screen (a QVGA portrait display in the top left
// corner of the desktop), shared by the shell helpers and their tests.
#pragma once

namespace pelmora::device {

constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;
// The navigation bar across the top (title and Done button) and the menu bar at the bottom.
constexpr int kNavigationBarHeight = 26;
constexpr int kMenuBarHeight = 26;

}  // namespace pelmora::device
