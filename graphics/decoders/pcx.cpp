// PCX: run-length encoded, 8 bits in one plane with the 256-colour palette at
// the end (also 3 or 4 planes of 8 bits, shown as their red, green and blue),
// and version-3 files of one bit in one plane.
#include <vector>

#include "graphics/byte_reader.h"
#include "graphics/decoders/decoders.h"
#include "graphics/limits.h"

namespace vantrelo {

namespace {

constexpr std::uint64_t kHeaderBytes = 128;
constexpr std::uint64_t kPaletteTrailerBytes = 769;  // 0x0C and 256 red-green-blue entries
constexpr std::uint8_t kPaletteMarker = 0x0C;

// Reads the run-length stream: a byte with both top bits set repeats the next
// byte (its low six bits) times; any other byte stands for itself. Runs may
// cross scanline boundaries, so the pending run is kept between lines.
class RunLengthReader {
public:
    explicit RunLengthReader(ByteSpan data) : m_reader(data) {}

    // Fills `line` completely; false when the data ends first.
    bool readLine(std::span<std::uint8_t> line) {
        std::size_t filled = 0;
        while (filled < line.size()) {
            if (m_runLeft == 0) {
                if (!m_reader.has(1)) return false;
                const std::uint8_t code = m_reader.u8();
                if ((code & 0xC0) == 0xC0) {
                    if (!m_reader.has(1)) return false;
                    m_runLeft = code & 0x3F;
                    m_runValue = m_reader.u8();
                } else {
                    m_runLeft = 1;
                    m_runValue = code;
                }
            }
            while (m_runLeft > 0 && filled < line.size()) {
                line[filled++] = m_runValue;
                --m_runLeft;
            }
        }
        return true;
    }

private:
    ByteReader m_reader;
    unsigned m_runLeft = 0;
    std::uint8_t m_runValue = 0;
};

// The most bytes `encoded` bytes of run-length data can stand for: 63 per pair.
std::uint64_t largestExpansion(std::uint64_t encoded) { return encoded / 2 * 63 + encoded % 2; }

}  // namespace

bool decodePcx(ByteSpan data, Image& out) {
    ByteReader reader(data);
    const std::uint8_t manufacturer = reader.u8();
    const std::uint8_t version = reader.u8();
    const std::uint8_t encoding = reader.u8();
    const std::uint8_t bitsPerPixel = reader.u8();
    const std::uint16_t xMin = reader.u16(), yMin = reader.u16();
    const std::uint16_t xMax = reader.u16(), yMax = reader.u16();
    reader.seek(65);
    const std::uint8_t planes = reader.u8();
    const std::uint16_t bytesPerLine = reader.u16();
    if (!reader.ok() || !reader.has(kHeaderBytes - reader.position())) return false;

    if (manufacturer != 0x0A || encoding != 1) return false;
    const bool eightBit = bitsPerPixel == 8 && version <= 5;
    const bool oneBit = bitsPerPixel == 1 && version == 3;
    if (!eightBit && !oneBit) return false;
    if (eightBit ? (planes != 1 && planes != 3 && planes != 4) : planes != 1) return false;
    if (xMax < xMin || yMax < yMin) return false;
    const std::int64_t width = std::int64_t(xMax) - xMin + 1;
    const std::int64_t height = std::int64_t(yMax) - yMin + 1;
    if (!imageSizeAllowed(width, height)) return false;
    if (bytesPerLine < (std::uint64_t(width) * bitsPerPixel + 7) / 8) return false;

    // The 256-colour palette is found from the end of the file, so spare bytes
    // between the image data and the palette do not matter. Without its
    // marker the indices show as shades of grey.
    Palette palette{};
    std::uint64_t encodedEnd = reader.size();
    if (oneBit) {
        palette = {};
        palette[3] = palette[4] = palette[5] = 255;  // index 0 black, 1 white
    } else if (planes == 1) {
        const std::uint64_t trailer = reader.size() - kPaletteTrailerBytes;
        if (reader.size() >= kHeaderBytes + kPaletteTrailerBytes && reader.sliceAt(trailer, 1)[0] == kPaletteMarker) {
            const auto entries = reader.sliceAt(trailer + 1, 768);
            std::copy(entries.begin(), entries.end(), palette.begin());
            encodedEnd = trailer;
        } else {
            for (unsigned i = 0; i < 256; ++i) palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = std::uint8_t(i);
        }
    }

    // A short file cannot stand for a huge picture: check before allocating.
    const std::uint64_t lineBytes = std::uint64_t(bytesPerLine) * planes;
    if (lineBytes * std::uint64_t(height) > largestExpansion(encodedEnd - kHeaderBytes)) return false;

    out.kind = eightBit ? ImageKind::Pcx8 : ImageKind::Pcx1;
    out.width = std::int32_t(width);
    out.height = std::int32_t(height);
    out.alpha.clear();
    out.rgb.assign(std::size_t(width * height * 3), 0);

    RunLengthReader runs(reader.sliceAt(kHeaderBytes, encodedEnd - kHeaderBytes));
    std::vector<std::uint8_t> line(lineBytes);
    for (std::int64_t y = 0; y < height; ++y) {
        if (!runs.readLine(line)) return false;
        std::uint8_t* rgb = out.rgb.data() + y * width * 3;
        if (oneBit) {
            unpackBitmapRow(line, std::uint32_t(width), 1, palette, rgb);
        } else if (planes == 1) {
            unpackBitmapRow(line, std::uint32_t(width), 8, palette, rgb);
        } else {
            // One plane after another within the line: red, green, blue[, alpha].
            for (std::int64_t x = 0; x < width; ++x, rgb += 3) {
                rgb[0] = line[std::size_t(x)];
                rgb[1] = line[std::size_t(bytesPerLine + x)];
                rgb[2] = line[std::size_t(2 * bytesPerLine + x)];
            }
        }
    }
    return true;
}

}  // namespace vantrelo
