// The screen pictures' PNG writer: the checksums against their published check values, and
// a picture wide enough for two stored blocks, from rows with a padded stride.
#include "device/screen/png_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelmora::device {
namespace {

const uint8_t* Bytes(const char* s) {
    return reinterpret_cast<const uint8_t*>(s);
}

TEST(PngImage, ChecksumsAndAKnownPicture) {
    EXPECT_EQ(Crc32(Bytes("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Adler32(Bytes("Wikipedia"), 9), 0x11E60398u);
    const size_t stride = 200 * 3 + 4;
    std::vector<uint8_t> pixels(stride * 120);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<uint8_t>(i * 7 + i / 13);
    }
    const std::string png = EncodePng(pixels.data(), 200, 120, stride);
    // Size and checksum of the file as written independently: signature, IHDR, one IDAT
    // with a zlib stream of two stored blocks of the filter-0 rows, Adler-32, IEND.
    EXPECT_EQ(png.size(), 72193u);
    EXPECT_EQ(Crc32(Bytes(png.data()), png.size()), 3703970833u);
    EXPECT_TRUE(EncodePng(pixels.data(), 0, 1, stride).empty());
}

}  // namespace
}  // namespace pelmora::device
