// Pictures of the emulated handheld's screen as it is shown, for the screen tool and tests.
#pragma once

#include <windows.h>

#include <string>

namespace pelmora::device {

// The screen's pixels inside `area` as the bytes of a PNG file; empty when they cannot be read.
std::string CaptureScreenPng(const RECT& area);

}  // namespace pelmora::device
