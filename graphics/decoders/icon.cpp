// Icons and cursors: one entry of the directory, as a bitmap with its AND mask
// (or 32-bit alpha), or as an embedded PNG.
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/byte_reader.h"
#include "graphics/decoders/decoders.h"
#include "graphics/limits.h"

namespace vantrelo {

namespace {

constexpr std::uint64_t kDirectoryEntryBytes = 16;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Deflate cannot shrink data by more than about 1032 : 1; a PNG whose stream
// could not hold its pixels even at that rate is rejected before allocating.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// The directory rule: the first entry 32 pixels wide whose colour-count byte is
// 16 or more, else the last entry. The whole directory must be present.
bool chooseEntry(ByteReader& reader, std::uint16_t count, std::uint64_t& offset) {
    if (!reader.has(kDirectoryEntryBytes * count)) return false;
    std::uint16_t chosen = std::uint16_t(count - 1);
    for (std::uint16_t i = 0; i < count; ++i) {
        const auto entry = reader.sliceAt(6 + kDirectoryEntryBytes * i, kDirectoryEntryBytes);
        if (entry[0] == 32 && entry[2] >= 16) {
            chosen = i;
            break;
        }
    }
    reader.seek(6 + kDirectoryEntryBytes * chosen + 12);  // after size, colours, planes, depth, byte count
    offset = reader.u32();
    return reader.ok();
}

bool decodePngEntry(ByteSpan png, Image& out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    // The simplified interface keeps libpng's errors and warnings inside its
    // own handler: it reports them as a zero result and prints nothing.
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return false;
    const std::int64_t width = image.width, height = image.height;
    const std::uint64_t leastRawBytes = std::uint64_t(height) * (1 + (std::uint64_t(width) + 7) / 8);
    if (!imageSizeAllowed(width, height) || png.size() * kMaxDeflateRatio < leastRawBytes) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    const std::size_t pixels = std::size_t(width * height);
    out.width = std::int32_t(width);
    out.height = std::int32_t(height);
    out.rgb.resize(pixels * 3);
    out.alpha.resize(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memcpy(&out.rgb[i * 3], &rgba[i * 4], 3);
        out.alpha[i] = rgba[i * 4 + 3];
    }
    return true;
}

bool decodeBitmapEntry(ByteSpan entry, Image& out) {
    ByteReader reader(entry);
    const std::uint32_t headerSize = reader.u32();
    const std::int32_t storedWidth = reader.i32();
    const std::int32_t storedHeight = reader.i32();  // colour rows and mask rows together
    reader.u16();                                    // planes
    const unsigned bitsPerPixel = reader.u16();
    const std::uint32_t compression = reader.u32();
    reader.skip(12);  // image size and densities
    const std::uint32_t coloursUsed = reader.u32();
    if (!reader.ok() || headerSize < 40 || compression != 0) return false;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 &&
        bitsPerPixel != 32)
        return false;
    const std::int64_t width = std::llabs(std::int64_t(storedWidth));
    const std::int64_t height = std::llabs(std::int64_t(storedHeight)) / 2;
    if (!imageSizeAllowed(width, height)) return false;

    // A colour table of colours-used entries (2^depth when 0 at 8 bits or less)
    // sits between the header and the colour rows.
    std::uint64_t paletteEntries = coloursUsed;
    if (paletteEntries == 0 && bitsPerPixel <= 8) paletteEntries = 1u << bitsPerPixel;
    Palette palette{};
    if (!reader.seek(headerSize) || !readBitmapPalette(reader, paletteEntries, palette)) return false;

    const std::uint64_t colourStart = reader.position();
    const std::uint64_t colourStride = paddedRowBytes(std::uint64_t(width), bitsPerPixel);
    const std::uint64_t maskStart = colourStart + colourStride * std::uint64_t(height);
    const std::uint64_t maskStride = paddedRowBytes(std::uint64_t(width), 1);
    if (maskStart > reader.size()) return false;
    // A 32-bit entry carries its own alpha, so a missing or cut mask only costs
    // the fallback for all-zero alpha; without alpha the mask is required.
    const bool hasMask = maskStride * std::uint64_t(height) <= reader.size() - maskStart;
    if (!hasMask && bitsPerPixel != 32) return false;

    const std::size_t pixels = std::size_t(width * height);
    out.width = std::int32_t(width);
    out.height = std::int32_t(height);
    out.rgb.assign(pixels * 3, 0);
    out.alpha.assign(pixels, 255);

    const bool bottomUp = storedHeight > 0;
    bool anyAlpha = false;
    for (std::int64_t row = 0; row < height; ++row) {
        const std::int64_t y = bottomUp ? height - 1 - row : row;
        const auto bits = reader.sliceAt(colourStart + colourStride * std::uint64_t(row), colourStride);
        unpackBitmapRow(bits, std::uint32_t(width), bitsPerPixel, palette, &out.rgb[std::size_t(y * width * 3)]);
        if (bitsPerPixel == 32) {
            for (std::int64_t x = 0; x < width; ++x) {
                const std::uint8_t a = bits[std::size_t(x * 4 + 3)];
                out.alpha[std::size_t(y * width + x)] = a;
                anyAlpha = anyAlpha || a != 0;
            }
        }
    }
    // Older 32-bit icons leave the fourth byte 0 and rely on the mask.
    if (bitsPerPixel == 32 && !anyAlpha) std::fill(out.alpha.begin(), out.alpha.end(), 255);
    if (hasMask && (bitsPerPixel != 32 || !anyAlpha)) {
        for (std::int64_t row = 0; row < height; ++row) {
            const std::int64_t y = bottomUp ? height - 1 - row : row;
            const auto bits = reader.sliceAt(maskStart + maskStride * std::uint64_t(row), maskStride);
            for (std::int64_t x = 0; x < width; ++x) {
                const bool transparent = (bits[std::size_t(x / 8)] >> (7 - x % 8)) & 1;
                out.alpha[std::size_t(y * width + x)] = transparent ? 0 : 255;
            }
        }
    }
    return true;
}

}  // namespace

bool decodeIcon(ByteSpan data, Image& out) {
    ByteReader reader(data);
    const std::uint16_t reserved = reader.u16();
    const std::uint16_t type = reader.u16();
    const std::uint16_t count = reader.u16();
    if (!reader.ok() || reserved != 0 || (type != 1 && type != 2) || count == 0) return false;

    std::uint64_t offset = 0;
    if (!chooseEntry(reader, count, offset)) return false;
    // The directory's byte count is not trusted: real cursors store values
    // smaller than the bitmap header. The bitmap's own header says how much
    // it needs, and every part of it is checked against the end of the file.
    const auto entry = reader.tailAt(offset);
    if (entry.empty()) return false;

    Image image;
    const bool isPng = entry.size() >= sizeof kPngSignature &&
                       std::memcmp(entry.data(), kPngSignature, sizeof kPngSignature) == 0;
    if (!(isPng ? decodePngEntry(entry, image) : decodeBitmapEntry(entry, image))) return false;
    image.kind = type == 1 ? ImageKind::Icon : ImageKind::Cursor;
    out = std::move(image);
    return true;
}

}  // namespace vantrelo
