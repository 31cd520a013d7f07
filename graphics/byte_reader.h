#pragma once
// The one way the own decoders read untrusted bytes. Every read is checked
// against what is left; a read past the end yields zeros and marks the reader
// failed, so a header can be read field by field and checked once with ok().
// Offsets and counts are 64-bit so that sums of stored 32-bit fields never wrap.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrelo {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}

    std::uint64_t size() const { return m_data.size(); }
    std::uint64_t position() const { return m_position; }
    std::uint64_t remaining() const { return m_data.size() - m_position; }
    bool ok() const { return !m_failed; }
    bool has(std::uint64_t count) const { return count <= remaining(); }

    // Moves to an absolute offset; the end itself is a valid position.
    bool seek(std::uint64_t offset) {
        if (offset > size()) return fail();
        m_position = offset;
        return true;
    }
    bool skip(std::uint64_t count) {
        if (!has(count)) return fail();
        m_position += count;
        return true;
    }

    std::uint8_t u8() {
        if (!has(1)) return failZero();
        return m_data[m_position++];
    }
    std::uint16_t u16() {  // little-endian
        if (!has(2)) return failZero();
        const std::uint16_t v = std::uint16_t(m_data[m_position] | (m_data[m_position + 1] << 8));
        m_position += 2;
        return v;
    }
    std::uint32_t u32() {  // little-endian
        if (!has(4)) return failZero();
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | m_data[m_position + std::size_t(i)];
        m_position += 4;
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    // The next `count` bytes as a view (empty and failed when fewer are left).
    std::span<const std::uint8_t> bytes(std::uint64_t count) {
        if (!has(count)) {
            fail();
            return {};
        }
        auto view = m_data.subspan(std::size_t(m_position), std::size_t(count));
        m_position += count;
        return view;
    }

    // `count` bytes at an absolute offset, without moving; empty when they are not all there.
    std::span<const std::uint8_t> sliceAt(std::uint64_t offset, std::uint64_t count) const {
        if (offset > size() || count > size() - offset) return {};
        return m_data.subspan(std::size_t(offset), std::size_t(count));
    }
    // Everything from an absolute offset to the end (empty when past it).
    std::span<const std::uint8_t> tailAt(std::uint64_t offset) const {
        if (offset >= size()) return {};
        return m_data.subspan(std::size_t(offset));
    }

private:
    bool fail() {
        m_failed = true;
        m_position = m_data.size();
        return false;
    }
    std::uint8_t failZero() {
        fail();
        return 0;
    }

    std::span<const std::uint8_t> m_data;
    std::uint64_t m_position = 0;
    bool m_failed = false;
};

// Bytes of one stored row of `width` pixels at `bitsPerPixel`, padded to 4 bytes
// (BMP and icon bitmaps). 64-bit so that any 32-bit width is safe.
inline std::uint64_t paddedRowBytes(std::uint64_t width, std::uint64_t bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// 256 red-green-blue entries. Entries a file does not fill stay black, which is
// what an index beyond a short palette shows.
using Palette = std::array<std::uint8_t, 256 * 3>;

// Reads `entries` palette entries of four bytes (blue, green, red, unused) from
// the reader's position; only the first 256 can be indexed, the rest are skipped.
inline bool readBitmapPalette(ByteReader& reader, std::uint64_t entries, Palette& palette) {
    palette.fill(0);
    const std::uint64_t kept = entries < 256 ? entries : 256;
    for (std::uint64_t i = 0; i < kept; ++i) {
        const auto entry = reader.bytes(4);
        if (entry.empty()) return false;
        palette[i * 3] = entry[2];
        palette[i * 3 + 1] = entry[1];
        palette[i * 3 + 2] = entry[0];
    }
    return reader.skip((entries - kept) * 4);
}

// Unpacks one bitmap row (1, 4 or 8 bits through the palette, most significant
// bits first; 24 or 32 bits stored blue, green, red[, unused]) into `width`
// red-green-blue pixels. The caller has checked that `row` holds the whole row.
inline void unpackBitmapRow(std::span<const std::uint8_t> row, std::uint32_t width,
                            unsigned bitsPerPixel, const Palette& palette, std::uint8_t* rgb) {
    if (bitsPerPixel >= 24) {
        const std::size_t step = bitsPerPixel / 8;
        for (std::uint32_t x = 0; x < width; ++x, rgb += 3) {
            const std::uint8_t* p = row.data() + std::size_t(x) * step;
            rgb[0] = p[2];
            rgb[1] = p[1];
            rgb[2] = p[0];
        }
        return;
    }
    const unsigned perByte = 8 / bitsPerPixel;
    const unsigned mask = (1u << bitsPerPixel) - 1;
    for (std::uint32_t x = 0; x < width; ++x, rgb += 3) {
        const unsigned shift = 8 - bitsPerPixel * (x % perByte + 1);
        const unsigned index = (row[x / perByte] >> shift) & mask;
        rgb[0] = palette[index * 3];
        rgb[1] = palette[index * 3 + 1];
        rgb[2] = palette[index * 3 + 2];
    }
}

}  // namespace vantrelo
