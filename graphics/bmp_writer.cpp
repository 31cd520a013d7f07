#include "graphics/bmp_writer.h"

#include <cstring>
#include <limits>

namespace vantrelo {
namespace {

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

}  // namespace

Bytes encodeBmp24(const PixelImage& image) {
    const std::int64_t w = image.width, h = image.height;
    if (w <= 0 || h <= 0 || std::int64_t(image.pixels.size()) < w * h) return {};
    const std::int64_t row = bmpRowBytes(w);
    const std::int64_t fileSize = kBmpHeaderBytes + row * h;
    if (fileSize > std::numeric_limits<std::int32_t>::max()) return {};

    Bytes out(std::size_t(fileSize), 0);  // zero: the header's zero fields and the row padding
    std::uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    put32(p + 2, std::uint32_t(fileSize));
    put32(p + 10, kBmpHeaderBytes);  // pixel rows follow the headers directly
    put32(p + 14, 40);               // information header size
    put32(p + 18, std::uint32_t(w));
    put32(p + 22, std::uint32_t(h));  // positive: bottom row first
    put16(p + 26, 1);                 // planes
    put16(p + 28, 24);                // bits per pixel
    put32(p + 34, std::uint32_t(row * h));

    for (std::int64_t y = 0; y < h; ++y) {
        const std::uint32_t* src = image.pixels.data() + std::size_t((h - 1 - y) * w);
        std::uint8_t* dst = p + kBmpHeaderBytes + std::size_t(y * row);
        for (std::int64_t x = 0; x < w; ++x) {
            const std::uint32_t px = src[x];  // 0xFFRRGGBB
            dst[0] = std::uint8_t(px);
            dst[1] = std::uint8_t(px >> 8);
            dst[2] = std::uint8_t(px >> 16);
            dst += 3;
        }
    }
    return out;
}

}  // namespace vantrelo
