// Screen pictures: written through the platform's PNG encoder, compressed, and read back
// pixel for pixel by its decoder.
#include "device/screen/screen_capture_win32.h"

#include <gtest/gtest.h>

#include <wincodec.h>

#include <vector>

#include "platform/owners.h"

namespace pelmora::device {
namespace {

// The picture's pixels as the platform's decoder reads them, in blue, green, red rows of
// `width * 3` bytes; empty when it cannot (a picture wider or taller than given, say).
std::vector<uint8_t> Decode(const std::string& png, UINT width, UINT height) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * 3 * height);
    const bool ok =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, factory.PutVoid())) &&
        SUCCEEDED(factory->CreateStream(stream.Put())) &&
        SUCCEEDED(
            stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(png.data())),
                                         static_cast<DWORD>(png.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(
            stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Put())) &&
        SUCCEEDED(decoder->GetFrame(0, frame.Put())) &&
        SUCCEEDED(factory->CreateFormatConverter(converter.Put())) &&
        SUCCEEDED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR,
                                        WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->CopyPixels(nullptr, width * 3, static_cast<UINT>(pixels.size()),
                                        pixels.data()));
    return ok ? pixels : std::vector<uint8_t>();
}

TEST(ScreenPicture, ReadsBackPixelForPixelAndIsCompressed) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    // A screen-like picture: flat bars with a few odd pixels, rows padded to 4 bytes.
    constexpr uint32_t kWidth = 241;
    constexpr uint32_t kHeight = 321;
    const size_t stride = (kWidth * 3 + 3) & ~3u;
    std::vector<uint8_t> padded(stride * kHeight, 0xEE);
    std::vector<uint8_t> expected;
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint8_t pixel[] = {static_cast<uint8_t>(x % 7 == 0 ? y : 255),
                                     static_cast<uint8_t>(y < 26 ? 40 : 255),
                                     static_cast<uint8_t>(x == y ? 200 : 255)};
            std::copy(pixel, pixel + 3, padded.begin() + y * stride + x * 3);
            expected.insert(expected.end(), pixel, pixel + 3);
        }
    }
    const std::string png = EncodePng(padded.data(), kWidth, kHeight, stride);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_LT(png.size(), expected.size() / 4) << "compressed";
    EXPECT_EQ(Decode(png, kWidth, kHeight), expected);
    // Nothing is written for an empty picture or rows shorter than their pixels.
    EXPECT_TRUE(EncodePng(padded.data(), 0, kHeight, stride).empty());
    EXPECT_TRUE(EncodePng(padded.data(), kWidth, kHeight, kWidth).empty());
    CoUninitialize();
}

}  // namespace
}  // namespace pelmora::device
