#include "tests/support/screen_bitmap_win32.h"

#include <cstdint>
#include <utility>

#include "device/screen/png_image.h"
#include "platform/owners.h"
#include "tests/support/test_files.h"

namespace pelmora::testing_support {

bool SaveScreenPicture(const std::u16string& path, const RECT& area,
                       const std::function<void(HDC memory)>& draw) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;  // top row first, as PNG stores rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    const size_t stride = static_cast<size_t>((width * 3 + 3) & ~3);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const GdiObject bitmap(CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info),
                                            DIB_RGB_COLORS, &bits, nullptr, 0));
    const bool drawn = memory != nullptr && bitmap;
    std::string file;
    if (drawn) {
        HGDIOBJ old = SelectObject(memory, bitmap.Get());
        draw(memory);
        GdiFlush();
        SelectObject(memory, old);
        // The bitmap's pixels are blue, green, red.
        auto* p = static_cast<uint8_t*>(bits);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::swap(p[y * stride + x * 3], p[y * stride + x * 3 + 2]);
            }
        }
        file = device::EncodePng(p, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                 stride);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return drawn && !file.empty() && WriteBytes(path, file);
}

}  // namespace pelmora::testing_support
