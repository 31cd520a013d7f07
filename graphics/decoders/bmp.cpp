// BMP: uncompressed 1, 4, 8, 24 and 32 bits per pixel; everything else fails.
#include <algorithm>
#include <cstdlib>
#include <vector>

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

// How many pixels on a side one output pixel may average while the result
// stays at least as large as asked: 1 means the full picture.
std::int64_t reductionFactor(std::int64_t width, std::int64_t height, const DecodeOptions& options) {
    if (options.atLeastWidth <= 0 || options.atLeastHeight <= 0) return 1;
    // 4096 keeps a block's 32-bit sums from overflowing.
    const std::int64_t factor = std::min(width / options.atLeastWidth, height / options.atLeastHeight);
    return std::clamp<std::int64_t>(factor, 1, 4096);
}

// Averages factor x factor blocks row by row, so a large picture never needs
// its full size in memory. The few columns and rows beyond the last whole
// block are left out.
template <typename RowBits>
bool decodeReduced(std::int64_t width, std::int64_t height, std::int64_t factor, unsigned bitsPerPixel,
                   const Palette& palette, RowBits rowBits, Image& out) {
    const std::int64_t outWidth = width / factor, outHeight = height / factor;
    out.width = std::int32_t(outWidth);
    out.height = std::int32_t(outHeight);
    out.rgb.assign(std::size_t(outWidth * outHeight * 3), 0);
    std::vector<std::uint8_t> row(std::size_t(width * 3));
    std::vector<std::uint32_t> sums(std::size_t(outWidth * 3));
    const std::uint32_t count = std::uint32_t(factor * factor);
    for (std::int64_t outY = 0; outY < outHeight; ++outY) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (std::int64_t y = outY * factor; y < (outY + 1) * factor; ++y) {
            const auto bits = rowBits(y);
            if (bits.empty()) return false;
            unpackBitmapRow(bits, std::uint32_t(width), bitsPerPixel, palette, row.data());
            const std::uint8_t* p = row.data();
            for (std::int64_t outX = 0; outX < outWidth; ++outX) {
                std::uint32_t r = 0, g = 0, b = 0;
                for (std::int64_t i = 0; i < factor; ++i, p += 3) {
                    r += p[0];
                    g += p[1];
                    b += p[2];
                }
                sums[std::size_t(outX * 3)] += r;
                sums[std::size_t(outX * 3 + 1)] += g;
                sums[std::size_t(outX * 3 + 2)] += b;
            }
        }
        std::uint8_t* dst = out.rgb.data() + outY * outWidth * 3;
        for (std::size_t i = 0; i < sums.size(); ++i) dst[i] = std::uint8_t((sums[i] + count / 2) / count);
    }
    return true;
}

}  // namespace

bool decodeBmp(ByteSpan data, Image& out, const DecodeOptions& options) {
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

    // A positive height stores the bottom row first; a negative one is top-down.
    const bool bottomUp = storedHeight > 0;
    auto rowBits = [&](std::int64_t y) {
        const std::int64_t row = bottomUp ? height - 1 - y : y;
        return reader.sliceAt(pixelOffset + stride * std::uint64_t(row), lastRowBytes);
    };
    out.kind = ImageKind::Bmp;
    out.alpha.clear();

    const std::int64_t factor = reductionFactor(width, height, options);
    if (factor > 1) return decodeReduced(width, height, factor, bitsPerPixel, palette, rowBits, out);

    out.width = std::int32_t(width);
    out.height = std::int32_t(height);
    out.rgb.assign(std::size_t(width * height * 3), 0);
    for (std::int64_t y = 0; y < height; ++y) {
        const auto bits = rowBits(y);
        if (bits.empty()) return false;
        unpackBitmapRow(bits, std::uint32_t(width), bitsPerPixel, palette, out.rgb.data() + y * width * 3);
    }
    return true;
}

}  // namespace vantrelo
