#pragma once
// The saved card's file layout: a 24-bit uncompressed BMP. 14-byte file header,
// 40-byte information header, no palette, rows bottom row first, pixels blue,
// green, red, each row padded with zeros to a multiple of 4 bytes.
#include <cstdint>

#include "base/text.h"
#include "graphics/canvas.h"

namespace vantrelo {

inline constexpr std::uint32_t kBmpHeaderBytes = 54;

// Length of one pixel row of a 24-bit BMP of this width: 4 x ceil(3W / 4).
constexpr std::int64_t bmpRowBytes(std::int64_t width) { return (width * 3 + 3) / 4 * 4; }

// Encodes the image; empty Bytes when it is empty or the file would not fit
// the format's 32-bit sizes (Bytes are limited to 2^31 - 1 bytes).
Bytes encodeBmp24(const PixelImage& image);

}  // namespace vantrelo
