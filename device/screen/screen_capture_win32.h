// Pictures of the emulated handheld's screen as it is shown, for the screen tool and tests.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelmora::device {

// A compressed PNG file of `height` rows of `width` pixels (blue, green, red; top row first;
// `stride` bytes from one row to the next), written by the platform's imaging component
// (WIC). Empty when it cannot be written.
std::string EncodePng(const uint8_t* bgr, uint32_t width, uint32_t height, size_t stride);

// The screen's pixels inside `area` as the bytes of a PNG file; empty when they cannot be read.
std::string CaptureScreenPng(const RECT& area);

}  // namespace pelmora::device
