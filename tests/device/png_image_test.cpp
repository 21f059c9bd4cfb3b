// The screen pictures' PNG writer: the checksums against their published check values, and
// a file read back chunk by chunk, stored blocks included, gives the pixels it was given.
#include "device/screen/png_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelmora::device {
namespace {

const uint8_t* Bytes(const char* s) {
    return reinterpret_cast<const uint8_t*>(s);
}

uint32_t BigEndian(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    }
    return v;
}

TEST(PngImage, ChecksumsMatchTheirCheckValues) {
    EXPECT_EQ(Crc32(Bytes("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Adler32(Bytes("Wikipedia"), 9), 0x11E60398u);
}

TEST(PngImage, ChunksAndStoredBlocksGiveThePixelsBack) {
    // Wide enough for two stored blocks; a padded stride that must not leak into the file.
    const uint32_t width = 200;
    const uint32_t height = 120;
    const size_t stride = width * 3 + 4;
    std::vector<uint8_t> pixels(stride * height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<uint8_t>(i * 7 + i / 13);
    }
    const std::string png = EncodePng(pixels.data(), width, height, stride);
    ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    std::string idat;
    std::vector<std::string> types;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t n = BigEndian(png, at);
        ASSERT_LE(at + 12 + n, png.size());
        const std::string body = png.substr(at + 4, 4 + n);
        EXPECT_EQ(BigEndian(png, at + 8 + n), Crc32(Bytes(body.data()), body.size()));
        types.push_back(body.substr(0, 4));
        if (types.back() == "IHDR") {
            EXPECT_EQ(body.substr(4), std::string("\0\0\0\xC8\0\0\0\x78\x08\x02\0\0\0", 13));
        } else if (types.back() == "IDAT") {
            idat += body.substr(4);
        }
        at += 12 + n;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    ASSERT_GE(idat.size(), 6u);
    EXPECT_EQ(idat.substr(0, 2), "\x78\x01");
    std::string raw;
    size_t at = 2;
    int blocks = 0;
    for (bool last = false; !last; ++blocks) {
        ASSERT_LE(at + 5, idat.size());
        last = idat[at] == 1;
        const size_t n = static_cast<uint8_t>(idat[at + 1]) | static_cast<uint8_t>(idat[at + 2])
                                                                  << 8;
        EXPECT_EQ(n ^ 0xFFFF, static_cast<size_t>(static_cast<uint8_t>(idat[at + 3]) |
                                                  static_cast<uint8_t>(idat[at + 4]) << 8));
        raw += idat.substr(at + 5, n);
        at += 5 + n;
    }
    EXPECT_EQ(blocks, 2);
    ASSERT_EQ(at + 4, idat.size());
    EXPECT_EQ(BigEndian(idat, at), Adler32(Bytes(raw.data()), raw.size()));
    ASSERT_EQ(raw.size(), (width * 3 + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        const std::string row = raw.substr(y * (width * 3 + 1), width * 3 + 1);
        ASSERT_EQ(row[0], '\0');
        ASSERT_EQ(row.substr(1),
                  std::string(reinterpret_cast<const char*>(&pixels[y * stride]), width * 3))
            << "row " << y;
    }
    EXPECT_TRUE(EncodePng(pixels.data(), 0, 1, stride).empty());
}

}  // namespace
}  // namespace pelmora::device
