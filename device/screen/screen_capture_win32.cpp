#include "device/screen/screen_capture_win32.h"

#include <cstdint>
#include <utility>

#include "device/screen/png_image.h"
#include "platform/owners.h"

namespace pelmora::device {

std::string CaptureScreenPng(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first, as PNG stores rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return std::string();
    }
    void* bits = nullptr;
    GdiObject bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC memory = CreateCompatibleDC(screen);
    bool ok = bitmap && memory != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap.Get());
        ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    if (!ok) {
        return std::string();
    }
    // DIB rows are blue, green, red and padded to four bytes.
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    auto* pixels = static_cast<uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            std::swap(row[x * 3], row[x * 3 + 2]);
        }
    }
    return EncodePng(pixels, static_cast<uint32_t>(width), static_cast<uint32_t>(height), stride);
}

}  // namespace pelmora::device
