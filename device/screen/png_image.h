// A minimal PNG writer for the emulated screen's pictures: 8-bit RGB, no filtering, the
// image data in stored (uncompressed) deflate blocks, so it needs no compression library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelmora::device {

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t n);

// `rgb`: `height` rows of `width` pixels, three bytes (red, green, blue) each, top row first,
// `stride` bytes from one row to the next. Gives the whole file; empty for an empty image.
std::string EncodePng(const uint8_t* rgb, uint32_t width, uint32_t height, size_t stride);

}  // namespace pelmora::device
