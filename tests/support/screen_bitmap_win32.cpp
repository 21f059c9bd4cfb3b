#include "tests/support/screen_bitmap_win32.h"

#include "tests/support/test_files.h"

namespace pelmora::testing_support {

bool SaveScreenPicture(const std::u16string& path, const RECT& area,
                       const std::function<void(HDC memory)>& draw) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as BMP files store rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD bitsSize = static_cast<DWORD>(((width * 3 + 3) & ~3) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    const bool drawn = memory != nullptr && bitmap != nullptr;
    std::string file;
    if (drawn) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        draw(memory);
        GdiFlush();
        SelectObject(memory, old);
        BITMAPFILEHEADER head = {0x4D42, static_cast<DWORD>(sizeof head + sizeof info + bitsSize),
                                 0, 0, sizeof head + sizeof info};  // "BM"
        file.append(reinterpret_cast<const char*>(&head), sizeof head)
            .append(reinterpret_cast<const char*>(&info), sizeof info)
            .append(static_cast<const char*>(bits), bitsSize);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return drawn && WriteBytes(path, file);
}

}  // namespace pelmora::testing_support
