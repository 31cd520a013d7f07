// BMP: uncompressed 1, 4, 8, 24 and 32 bits per pixel; everything else fails.
#include <algorithm>
#include <cstdlib>

#include "graphics/byte_reader.h"
#include "graphics/decoders/decoders.h"
#include "graphics/limits.h"

namespace vantrelo {

namespace {

constexpr std::uint64_t kFileHeaderBytes = 14;
constexpr std::uint64_t kInfoHeaderBytes = 40;

bool acceptedDepth(unsigned bitsPerPixel) {
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 24 ||
           bitsPerPixel == 32;
}

}  // namespace

bool decodeBmp(ByteSpan data, Image& out) {
    ByteReader reader(data);
    if (reader.u8() != 'B' || reader.u8() != 'M') return false;
    reader.skip(8);  // file size and reserved words: not used
    const std::uint32_t pixelOffset = reader.u32();
    // The first 40 bytes of the information header are read in the Windows
    // layout whatever its size field says; the size only tells where it ends.
    const std::uint32_t headerSize = reader.u32();
    const std::int32_t storedWidth = reader.i32();
    const std::int32_t storedHeight = reader.i32();
    reader.u16();  // planes: not checked
    const unsigned bitsPerPixel = reader.u16();
    const std::uint32_t compression = reader.u32();
    reader.skip(12);  // image size and densities: not used
    const std::uint32_t coloursUsed = reader.u32();
    reader.u32();  // important colours
    if (!reader.ok()) return false;

    if (compression != 0 || !acceptedDepth(bitsPerPixel)) return false;
    const std::int64_t width = std::llabs(std::int64_t(storedWidth));
    const std::int64_t height = std::llabs(std::int64_t(storedHeight));
    if (!imageSizeAllowed(width, height)) return false;

    // The palette follows the information header at the length it declares, so
    // V4 and V5 headers show their own colours.
    const std::uint64_t paletteStart = kFileHeaderBytes + std::max<std::uint64_t>(headerSize, kInfoHeaderBytes);
    std::uint64_t paletteEntries = 0;
    if (bitsPerPixel <= 8) paletteEntries = coloursUsed ? coloursUsed : (1u << bitsPerPixel);
    const std::uint64_t paletteEnd = paletteStart + paletteEntries * 4;
    if (pixelOffset < paletteEnd) return false;

    // Every row must be there before anything is allocated; the last row may
    // lack its padding.
    const std::uint64_t stride = paddedRowBytes(std::uint64_t(width), bitsPerPixel);
    const std::uint64_t lastRowBytes = (std::uint64_t(width) * bitsPerPixel + 7) / 8;
    const std::uint64_t pixelEnd = std::uint64_t(pixelOffset) + stride * std::uint64_t(height - 1) + lastRowBytes;
    if (pixelEnd > reader.size()) return false;

    Palette palette{};
    if (bitsPerPixel <= 8) {
        if (!reader.seek(paletteStart) || !readBitmapPalette(reader, paletteEntries, palette)) return false;
    }

    out.kind = ImageKind::Bmp;
    out.width = std::int32_t(width);
    out.height = std::int32_t(height);
    out.alpha.clear();
    out.rgb.assign(std::size_t(width * height * 3), 0);

    // A positive height stores the bottom row first; a negative one is top-down.
    const bool bottomUp = storedHeight > 0;
    for (std::int64_t row = 0; row < height; ++row) {
        const auto bits = reader.sliceAt(pixelOffset + stride * std::uint64_t(row), lastRowBytes);
        if (bits.empty()) return false;
        const std::int64_t y = bottomUp ? height - 1 - row : row;
        unpackBitmapRow(bits, std::uint32_t(width), bitsPerPixel, palette, out.rgb.data() + y * width * 3);
    }
    return true;
}

}  // namespace vantrelo
