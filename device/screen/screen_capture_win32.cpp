#include "device/screen/screen_capture_win32.h"

#include <objidl.h>
#include <wincodec.h>

#include "platform/owners.h"

namespace pelmora::device {
namespace {

// COM for the length of one picture; a thread that has it already keeps it.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

// The bytes written into a memory stream so far.
std::string StreamBytes(IStream* stream) {
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (FAILED(GetHGlobalFromStream(stream, &memory)) ||
        FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.HighPart != 0) {
        return std::string();
    }
    const void* bytes = GlobalLock(memory);
    std::string out;
    if (bytes != nullptr) {
        out.assign(static_cast<const char*>(bytes), stat.cbSize.LowPart);
        GlobalUnlock(memory);
    }
    return out;
}

}  // namespace

std::string EncodePng(const uint8_t* bgr, uint32_t width, uint32_t height, size_t stride) {
    if (bgr == nullptr || width == 0 || height == 0 || stride < width * 3ull ||
        static_cast<unsigned long long>(stride) * height > 0xFFFFFFFFull) {
        return std::string();
    }
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const bool ok =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, factory.PutVoid())) &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put())) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) &&
        SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(frame.Put(), options.Put())) &&
        SUCCEEDED(frame->Initialize(options.Get())) && SUCCEEDED(frame->SetSize(width, height)) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) &&
        IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
        SUCCEEDED(frame->WritePixels(height, static_cast<UINT>(stride),
                                     static_cast<UINT>(stride * height), const_cast<BYTE*>(bgr))) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    return ok ? StreamBytes(stream.Get()) : std::string();
}

std::string CaptureScreenPng(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return std::string();
    }
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
    return EncodePng(static_cast<const uint8_t*>(bits), static_cast<uint32_t>(width),
                     static_cast<uint32_t>(height), stride);
}

}  // namespace pelmora::device
