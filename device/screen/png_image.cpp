#include "device/screen/png_image.h"

namespace pelmora::device {

namespace {

void PutBigEndian(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
}

void PutChunk(std::string& out, const char type[4], const std::string& data) {
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    PutBigEndian(out, Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t n) {
    uint32_t a = 1;
    uint32_t b = 0;
    for (size_t i = 0; i < n; ++i) {
        a = (a + data[i]) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

std::string EncodePng(const uint8_t* rgb, uint32_t width, uint32_t height, size_t stride) {
    if (rgb == nullptr || width == 0 || height == 0 || width > 16384 || height > 16384 ||
        stride < static_cast<size_t>(width) * 3) {
        return {};
    }
    // Each row: filter type 0, then the row's bytes.
    std::string raw;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    raw.reserve((rowBytes + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back('\0');
        raw.append(reinterpret_cast<const char*>(rgb + y * stride), rowBytes);
    }
    // zlib stream: header (deflate, 32K window, no dictionary), stored blocks, Adler-32.
    std::string zlib("\x78\x01", 2);
    constexpr size_t kBlock = 65535;
    for (size_t at = 0; at < raw.size(); at += kBlock) {
        const size_t n = raw.size() - at < kBlock ? raw.size() - at : kBlock;
        zlib.push_back(at + n == raw.size() ? '\x01' : '\x00');
        zlib.push_back(static_cast<char>(n & 0xFF));
        zlib.push_back(static_cast<char>(n >> 8));
        zlib.push_back(static_cast<char>(~n & 0xFF));
        zlib.push_back(static_cast<char>((~n >> 8) & 0xFF));
        zlib.append(raw, at, n);
    }
    PutBigEndian(zlib, Adler32(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));

    std::string header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, flat
    std::string png("\x89PNG\r\n\x1A\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    return png;
}

}  // namespace pelmora::device
