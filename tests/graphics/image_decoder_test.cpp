// Each decoder on small hand-built pictures that show one rule each, and the
// size limits that must stop a crafted header before anything is allocated.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <vector>

#include <jpeglib.h>

#include "graphics/decoders/decoders.h"
#include "graphics/image_loader.h"
#include "graphics/limits.h"

namespace vantrelo {
namespace {

namespace fs = std::filesystem;
using Rgb = std::array<std::uint8_t, 3>;

const fs::path kPublicDir = VANTRELO_TESTDATA_DIR;
const fs::path kLocalDir = VANTRELO_LOCAL_TESTDATA_DIR;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}

Rgb pixelAt(const Image& image, int x, int y) {
    const std::size_t i = (std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 3;
    return {image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]};
}

std::optional<Image> decoded(const Bytes& data, const DecodeOptions& options = {}) {
    Image image;
    if (!decodeImage(data, image, options)) return std::nullopt;
    return image;
}

// ---------------------------------------------------------------------------
// BMP

struct BmpFields {
    std::uint32_t headerSize = 40;
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint16_t bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::vector<Rgb> palette;                  // written as blue, green, red, 0
    std::optional<std::uint32_t> pixelOffset;  // default: right after the palette
    Bytes rows;                                // stored rows, padding included
};

Bytes buildBmp(const BmpFields& f) {
    Bytes b = {'B', 'M'};
    put32(b, 0);  // file size: not used
    put32(b, 0);  // reserved
    const std::uint32_t paletteEnd = 14 + f.headerSize + std::uint32_t(f.palette.size()) * 4;
    put32(b, f.pixelOffset.value_or(paletteEnd));
    put32(b, f.headerSize);
    put32(b, std::uint32_t(f.width));
    put32(b, std::uint32_t(f.height));
    put16(b, 1);  // planes
    put16(b, f.bitsPerPixel);
    put32(b, f.compression);
    put32(b, 0);     // image size
    put32(b, 2835);  // densities
    put32(b, 2835);
    put32(b, f.coloursUsed);
    put32(b, 0);                  // important colours
    b.resize(14 + f.headerSize);  // V4/V5 fields stay 0
    for (const Rgb& c : f.palette) b.insert(b.end(), {c[2], c[1], c[0], 0});
    // Spare bytes up to a nearby stored offset; a far one is left pointing past the end.
    if (f.pixelOffset && *f.pixelOffset > b.size() && *f.pixelOffset - b.size() < 4096) b.resize(*f.pixelOffset, 0xEE);
    b.insert(b.end(), f.rows.begin(), f.rows.end());
    return b;
}

// 2 x 2 at 24 bits: stored rows A B / C D (blue, green, red), each padded to 8 bytes.
BmpFields twoByTwo() {
    BmpFields f;
    f.rows = {3, 2, 1, 6, 5, 4, 0, 0, /* next stored row */ 9, 8, 7, 12, 11, 10, 0, 0};
    return f;
}

TEST(BmpDecoder, PositiveHeightStoresTheBottomRowFirst) {
    const auto image = decoded(buildBmp(twoByTwo()));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, ImageKind::Bmp);
    EXPECT_EQ(pixelAt(*image, 0, 0), (Rgb{7, 8, 9}));
    EXPECT_EQ(pixelAt(*image, 1, 0), (Rgb{10, 11, 12}));
    EXPECT_EQ(pixelAt(*image, 0, 1), (Rgb{1, 2, 3}));
}

TEST(BmpDecoder, NegativeHeightIsTopDown) {
    BmpFields f = twoByTwo();
    f.height = -2;
    const auto image = decoded(buildBmp(f));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(pixelAt(*image, 0, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(pixelAt(*image, 1, 1), (Rgb{10, 11, 12}));
}

TEST(BmpDecoder, PaletteBitsAreTakenFromTheHighEnd) {
    const Rgb black{0, 0, 0}, white{255, 255, 255}, red{255, 0, 0}, green{0, 255, 0};
    BmpFields one;  // 1 bit, 10 pixels: 1011 0000 | 01..
    one.bitsPerPixel = 1;
    one.width = 10;
    one.height = 1;
    one.palette = {black, white};
    one.rows = {0xB0, 0x40, 0, 0};
    auto image = decoded(buildBmp(one));
    ASSERT_TRUE(image);
    const std::vector<Rgb> expectedOne = {white, black, white, white, black, black, black, black, black, white};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(pixelAt(*image, x, 0), expectedOne[std::size_t(x)]) << x;

    BmpFields four;  // 4 bits, 3 pixels: indices 1 2 | 3
    four.bitsPerPixel = 4;
    four.width = 3;
    four.height = 1;
    four.coloursUsed = 4;
    four.palette = {black, white, red, green};
    four.rows = {0x12, 0x30, 0, 0};
    image = decoded(buildBmp(four));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(*image, 0, 0), white);
    EXPECT_EQ(pixelAt(*image, 1, 0), red);
    EXPECT_EQ(pixelAt(*image, 2, 0), green);
}

TEST(BmpDecoder, IndexBeyondAShortPaletteIsBlack) {
    BmpFields f;
    f.bitsPerPixel = 8;
    f.width = 2;
    f.height = 1;
    f.coloursUsed = 2;
    f.palette = {{10, 20, 30}, {40, 50, 60}};
    f.rows = {1, 200, 0, 0};
    const auto image = decoded(buildBmp(f));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(*image, 0, 0), (Rgb{40, 50, 60}));
    EXPECT_EQ(pixelAt(*image, 1, 0), (Rgb{0, 0, 0}));
}

TEST(BmpDecoder, PaletteFollowsTheHeaderAtItsDeclaredSize) {
    for (std::uint32_t headerSize : {40u, 52u, 56u, 64u, 108u, 124u}) {
        BmpFields f;
        f.headerSize = headerSize;
        f.bitsPerPixel = 8;
        f.width = 1;
        f.height = 1;
        f.coloursUsed = 1;
        f.palette = {{200, 100, 50}};
        f.rows = {0, 0, 0, 0};
        const auto image = decoded(buildBmp(f));
        ASSERT_TRUE(image) << headerSize;
        EXPECT_EQ(pixelAt(*image, 0, 0), (Rgb{200, 100, 50})) << headerSize;
    }
}

TEST(BmpDecoder, PixelOffsetMustNotLieInsideThePalette) {
    BmpFields f;
    f.bitsPerPixel = 8;
    f.width = 1;
    f.height = 1;
    f.coloursUsed = 2;
    f.palette = {{1, 1, 1}, {2, 2, 2}};
    f.rows = {1, 0, 0, 0};
    const std::uint32_t paletteEnd = 14 + 40 + 8;
    f.pixelOffset = paletteEnd;
    EXPECT_TRUE(decoded(buildBmp(f)));
    f.pixelOffset = paletteEnd - 1;
    EXPECT_FALSE(decoded(buildBmp(f)));
    // A 24-bit picture has no palette, but its rows still cannot start inside the header.
    BmpFields rgb = twoByTwo();
    rgb.pixelOffset = 14 + 39;
    EXPECT_FALSE(decoded(buildBmp(rgb)));
}

TEST(BmpDecoder, EveryRowMustBeThereButTheLastNeedsNoPadding) {
    BmpFields f = twoByTwo();
    f.rows.resize(f.rows.size() - 2);  // last row without its padding
    EXPECT_TRUE(decoded(buildBmp(f)));
    f.rows.pop_back();  // one pixel byte short
    EXPECT_FALSE(decoded(buildBmp(f)));
}

TEST(BmpDecoder, OnlyUncompressedAcceptedDepthsLoad) {
    for (std::uint16_t bits : {0, 2, 15, 16, 48, 64}) {
        BmpFields f = twoByTwo();
        f.bitsPerPixel = bits;
        f.rows.resize(64);
        EXPECT_FALSE(decoded(buildBmp(f))) << bits << " bits";
    }
    for (std::uint32_t compression : {1u, 2u, 3u, 4u, 5u, 6u}) {
        BmpFields f = twoByTwo();
        f.compression = compression;
        EXPECT_FALSE(decoded(buildBmp(f))) << "compression " << compression;
    }
}

TEST(BmpDecoder, SizeLimitsHoldEvenWhenTheRowsAreThere) {
    auto oneBit = [](std::int32_t width, std::int32_t height) {
        BmpFields f;
        f.bitsPerPixel = 1;
        f.width = width;
        f.height = height;
        f.palette = {{0, 0, 0}, {255, 255, 255}};
        f.rows.assign(std::size_t((std::uint64_t(width) + 31) / 32 * 4 * std::uint64_t(height)), 0);
        return buildBmp(f);
    };
    EXPECT_TRUE(decoded(oneBit(16384, 2)));
    EXPECT_FALSE(decoded(oneBit(16385, 2)));
    EXPECT_TRUE(decoded(oneBit(2, 16384)));
    EXPECT_FALSE(decoded(oneBit(2, 16385)));
    // 16384 x 8193 is one row over 128 megapixels; its 17 MB of rows are all present.
    EXPECT_FALSE(decoded(oneBit(16384, 8193)));
}

TEST(BmpDecoder, ExtremeStoredSizesFailWithoutOverflow) {
    for (std::int32_t side : {INT32_MIN, INT32_MAX, -16385, 0}) {
        BmpFields wide = twoByTwo(), tall = twoByTwo();
        wide.width = side;
        tall.height = side;
        EXPECT_FALSE(decoded(buildBmp(wide))) << side;
        EXPECT_FALSE(decoded(buildBmp(tall))) << side;
    }
    BmpFields manyColours = twoByTwo();
    manyColours.bitsPerPixel = 8;
    manyColours.coloursUsed = 0xFFFFFFFF;
    manyColours.pixelOffset = 0xFFFFFFFF;
    EXPECT_FALSE(decoded(buildBmp(manyColours)));
}

// ---------------------------------------------------------------------------
// Icons and cursors

struct IconEntry {
    std::uint8_t directoryWidth = 32;
    std::uint8_t colourCount = 0;
    std::int32_t width = 2;
    std::int32_t height = 2;   // the picture's height; the bitmap stores twice that
    std::uint16_t bitsPerPixel = 24;
    Rgb colour{0, 0, 0};       // every pixel
    std::uint8_t alpha = 0;    // fourth byte at 32 bits
    Bytes maskRows;            // default: all opaque
    bool withMask = true;
};

Bytes bitmapOf(const IconEntry& e) {
    Bytes b;
    put32(b, 40);
    put32(b, std::uint32_t(e.width));
    put32(b, std::uint32_t(e.height * 2));
    put16(b, 1);
    put16(b, e.bitsPerPixel);
    for (int i = 0; i < 6; ++i) put32(b, 0);  // compression, size, densities, colours
    const std::size_t stride = (std::size_t(e.width) * e.bitsPerPixel + 31) / 32 * 4;
    for (std::int32_t y = 0; y < e.height; ++y) {
        Bytes row;
        for (std::int32_t x = 0; x < e.width; ++x) {
            row.insert(row.end(), {e.colour[2], e.colour[1], e.colour[0]});
            if (e.bitsPerPixel == 32) row.push_back(e.alpha);
        }
        row.resize(stride, 0);
        b.insert(b.end(), row.begin(), row.end());
    }
    if (e.withMask) {
        Bytes mask = e.maskRows;
        mask.resize((std::size_t(e.width) + 31) / 32 * 4 * std::size_t(e.height), 0);
        b.insert(b.end(), mask.begin(), mask.end());
    }
    return b;
}

Bytes buildIcon(const std::vector<IconEntry>& entries, std::uint16_t type = 1) {
    Bytes b;
    put16(b, 0);
    put16(b, type);
    put16(b, std::uint16_t(entries.size()));
    std::vector<Bytes> bitmaps;
    std::uint32_t offset = 6 + 16 * std::uint32_t(entries.size());
    for (const IconEntry& e : entries) {
        bitmaps.push_back(bitmapOf(e));
        b.insert(b.end(), {e.directoryWidth, std::uint8_t(e.height), e.colourCount, 0});
        put16(b, 1);
        put16(b, e.bitsPerPixel);
        put32(b, std::uint32_t(bitmaps.back().size()));
        put32(b, offset);
        offset += std::uint32_t(bitmaps.back().size());
    }
    for (const Bytes& bitmap : bitmaps) b.insert(b.end(), bitmap.begin(), bitmap.end());
    return b;
}

struct EntryRuleCase {
    const char* what;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> directory;  // width byte, colour count
    std::size_t chosen;
};

TEST(IconDecoder, PicksTheFirst32WideEntryWithSixteenColoursElseTheLast) {
    const EntryRuleCase cases[] = {
        {"third qualifies", {{16, 16}, {32, 8}, {32, 16}, {48, 0}}, 2},
        {"first of two qualifying", {{48, 16}, {32, 255}, {32, 16}}, 1},
        {"colour count 0 means many, but does not qualify", {{32, 0}, {16, 0}}, 1},
        {"width byte 0 is 256, not 32", {{0, 16}, {16, 16}}, 1},
        {"single entry", {{16, 2}}, 0},
    };
    for (const auto& c : cases) {
        std::vector<IconEntry> entries;
        for (std::size_t i = 0; i < c.directory.size(); ++i) {
            IconEntry e;
            e.directoryWidth = c.directory[i].first;
            e.colourCount = c.directory[i].second;
            e.width = int(i) + 1;  // each entry its own size and colour
            e.height = int(i) + 3;
            e.colour = {std::uint8_t(10 * i + 10), 0, 0};
            entries.push_back(e);
        }
        const auto image = decoded(buildIcon(entries));
        ASSERT_TRUE(image) << c.what;
        EXPECT_EQ(image->width, int(c.chosen) + 1) << c.what;
        EXPECT_EQ(image->height, int(c.chosen) + 3) << c.what;
        EXPECT_EQ(pixelAt(*image, 0, 0)[0], 10 * c.chosen + 10) << c.what;
    }
}

TEST(IconDecoder, CursorKindComesFromTheHeader) {
    const auto image = decoded(buildIcon({IconEntry{}}, 2));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, ImageKind::Cursor);
    EXPECT_EQ(sniffImageKind(buildIcon({IconEntry{}}, 2)), ImageKind::Cursor);
    EXPECT_EQ(sniffImageKind(buildIcon({}, 1)), std::nullopt);  // no entries
}

TEST(IconDecoder, AndMaskBitsMakePixelsTransparent) {
    IconEntry e;
    e.width = 3;
    e.height = 2;
    // Stored bottom row first: bottom row 010, top row 100.
    e.maskRows = {0x40, 0, 0, 0, 0x80, 0, 0, 0};
    const auto image = decoded(buildIcon({e}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->alpha, (std::vector<std::uint8_t>{0, 255, 255, 255, 0, 255}));
}

TEST(IconDecoder, ThirtyTwoBitAlphaWinsOverTheMaskUnlessItIsAllZero) {
    IconEntry e;
    e.bitsPerPixel = 32;
    e.alpha = 128;
    e.maskRows = {0xC0, 0, 0, 0, 0xC0, 0, 0, 0};  // everything transparent
    auto image = decoded(buildIcon({e}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->alpha, (std::vector<std::uint8_t>(4, 128)));

    e.alpha = 0;  // an older icon: the fourth byte is unused, the mask applies
    image = decoded(buildIcon({e}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->alpha, (std::vector<std::uint8_t>(4, 0)));
}

TEST(IconDecoder, MissingMaskFailsUnlessAlphaIsStored) {
    IconEntry e;
    e.withMask = false;
    EXPECT_FALSE(decoded(buildIcon({e})));
    e.bitsPerPixel = 32;
    e.alpha = 255;
    EXPECT_TRUE(decoded(buildIcon({e})));
}

TEST(IconDecoder, DamagedDirectoryOrBitmapFails) {
    Bytes shortDirectory = buildIcon({IconEntry{}});
    shortDirectory[4] = 3;  // three entries claimed, one present
    shortDirectory.resize(6 + 16 + 10);
    EXPECT_FALSE(decoded(shortDirectory));

    Bytes offsetPastEnd = buildIcon({IconEntry{}});
    offsetPastEnd[21] = 0xFF;  // entry offset 0xFF000016
    EXPECT_FALSE(decoded(offsetPastEnd));

    Bytes huge = buildIcon({IconEntry{}});
    const std::size_t header = 6 + 16;
    huge[header + 4] = 0x00, huge[header + 5] = 0x40;  // width 16384
    huge[header + 8] = 0x00, huge[header + 9] = 0x80;  // stored height 32768 (16384)
    EXPECT_FALSE(decoded(huge));

    IconEntry compressed;
    Bytes rle = buildIcon({compressed});
    rle[header + 16] = 1;  // compression 1
    EXPECT_FALSE(decoded(rle));
}

// ---------------------------------------------------------------------------
// PCX

struct PcxFields {
    std::uint8_t version = 5;
    std::uint8_t bitsPerPixel = 8;
    std::uint8_t planes = 1;
    std::uint16_t xMin = 0, yMin = 0, xMax = 2, yMax = 1;
    std::uint16_t bytesPerLine = 4;
    Bytes encoded;
    std::optional<std::vector<Rgb>> palette;  // written after 0x0C at the end
    std::size_t spareBytes = 0;               // between the image data and the palette
};

Bytes buildPcx(const PcxFields& f) {
    Bytes b = {0x0A, f.version, 1, f.bitsPerPixel};
    for (std::uint16_t v : {f.xMin, f.yMin, f.xMax, f.yMax, std::uint16_t(72), std::uint16_t(72)}) put16(b, v);
    b.resize(65, 0);  // 16-colour header palette and reserved byte
    b.push_back(f.planes);
    put16(b, f.bytesPerLine);
    b.resize(128, 0);
    b.insert(b.end(), f.encoded.begin(), f.encoded.end());
    b.resize(b.size() + f.spareBytes, 0);
    if (f.palette) {
        b.push_back(0x0C);
        std::vector<Rgb> entries = *f.palette;
        entries.resize(256, Rgb{0, 0, 0});
        for (const Rgb& c : entries) b.insert(b.end(), c.begin(), c.end());
    }
    return b;
}

std::vector<Rgb> pcxPalette() {
    std::vector<Rgb> p(256);
    for (unsigned i = 0; i < 256; ++i) p[i] = {std::uint8_t(i), std::uint8_t(255 - i), 7};
    return p;
}

TEST(PcxDecoder, RunsMayCrossScanlines) {
    PcxFields f;  // 3 x 2, 4 bytes per line
    // A run of 5 x index 9 fills line 0 (with its padding byte) and starts line 1.
    f.encoded = {0xC5, 9, 1, 0xC1, 0xC8, 0};
    f.palette = pcxPalette();
    f.spareBytes = 20;
    const auto image = decoded(buildPcx(f));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, ImageKind::Pcx8);
    EXPECT_EQ(pixelAt(*image, 0, 0), (Rgb{9, 246, 7}));
    EXPECT_EQ(pixelAt(*image, 2, 0), (Rgb{9, 246, 7}));
    EXPECT_EQ(pixelAt(*image, 0, 1), (Rgb{9, 246, 7}));
    EXPECT_EQ(pixelAt(*image, 1, 1), (Rgb{1, 254, 7}));
    EXPECT_EQ(pixelAt(*image, 2, 1), (Rgb{0xC8, 0x37, 7}));  // a literal >= 0xC0 comes as a run of 1
}

TEST(PcxDecoder, SizeIsMaxMinusMinPlusOne) {
    PcxFields f;
    f.xMin = 5, f.xMax = 7, f.yMin = 10, f.yMax = 11;
    f.encoded = {0xC8, 1};
    f.palette = pcxPalette();
    const auto image = decoded(buildPcx(f));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 3);
    EXPECT_EQ(image->height, 2);
}

TEST(PcxDecoder, OneBitPixelsAreBlackAndWhite) {
    PcxFields f;
    f.version = 3;
    f.bitsPerPixel = 1;
    f.xMax = 9, f.yMax = 0, f.bytesPerLine = 2;
    f.encoded = {0xC1, 0xA0, 0x40};  // 1010 0000 01..
    const auto image = decoded(buildPcx(f));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, ImageKind::Pcx1);
    const Rgb b{0, 0, 0}, w{255, 255, 255};
    const std::vector<Rgb> expected = {w, b, w, b, b, b, b, b, b, w};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(pixelAt(*image, x, 0), expected[std::size_t(x)]) << x;
}

TEST(PcxDecoder, ThreePlanesAreRedGreenBlue) {
    PcxFields f;
    f.planes = 3;
    f.xMax = 1, f.yMax = 0, f.bytesPerLine = 2;
    f.encoded = {10, 11, 20, 21, 30, 31};
    const auto image = decoded(buildPcx(f));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(*image, 0, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(pixelAt(*image, 1, 0), (Rgb{11, 21, 31}));
}

TEST(PcxDecoder, DamagedOrMismatchedHeadersFail) {
    PcxFields good;
    good.encoded = {0xC8, 1};
    good.palette = pcxPalette();
    ASSERT_TRUE(decoded(buildPcx(good)));

    const struct {
        const char* what;
        void (*change)(PcxFields&);
    } cases[] = {
        {"data ends early", [](PcxFields& f) { f.encoded = {0xC7, 1}; }},
        {"run without its value", [](PcxFields& f) { f.encoded = {0xC7, 1, 0xC1}; f.palette.reset(); }},
        {"bytes per line below the width", [](PcxFields& f) { f.bytesPerLine = 2; }},
        {"x max before x min", [](PcxFields& f) { f.xMin = 3; }},
        {"two planes", [](PcxFields& f) { f.planes = 2; }},
        {"no planes", [](PcxFields& f) { f.planes = 0; }},
        {"version 6", [](PcxFields& f) { f.version = 6; }},
        {"one bit at version 5", [](PcxFields& f) { f.bitsPerPixel = 1; }},
        {"four bits", [](PcxFields& f) { f.bitsPerPixel = 4; }},
        {"too wide", [](PcxFields& f) { f.xMax = 16384; f.bytesPerLine = 16385; }},
        // 16384 x 8192 would need at least 4 MB of runs: a short file is refused before allocating.
        {"huge picture in a small file", [](PcxFields& f) { f.xMax = 16383; f.yMax = 8191; f.bytesPerLine = 16384; f.encoded.assign(4096, 0xFF); }},
    };
    for (const auto& c : cases) {
        PcxFields f = good;
        c.change(f);
        Image image;
        EXPECT_FALSE(decodePcx(buildPcx(f), image)) << c.what;
    }
}

// ---------------------------------------------------------------------------
// GIF (written with giflib's encoder)

struct GifFrame {
    int left = 0, top = 0, width = 2, height = 2;
    std::vector<GifPixelType> pixels;  // width * height indices
};

int appendToBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

Bytes buildGif(int screenWidth, int screenHeight, int background, const std::vector<GifFrame>& frames) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendToBytes, &error);
    EGifSetGifVersion(gif, true);
    GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 2, background, map);
    for (const GifFrame& f : frames) {
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, nullptr);
        std::vector<GifPixelType> pixels = f.pixels;
        for (int y = 0; y < f.height; ++y) EGifPutLine(gif, pixels.data() + y * f.width, f.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

TEST(GifDecoder, FirstImageSitsAtItsOffsetOnTheBackground) {
    const auto image = decoded(buildGif(4, 3, 2, {{1, 1, 2, 2, {0, 1, 3, 0}}, {0, 0, 4, 3, std::vector<GifPixelType>(12, 3)}}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 4);
    EXPECT_EQ(image->height, 3);
    const std::vector<Rgb> expected = {kBlue, kBlue,  kBlue, kBlue,  // row 0: background
                                       kBlue, kRed,   kGreen, kBlue,  // row 1
                                       kBlue, kWhite, kRed,   kBlue};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(pixelAt(*image, i % 4, i / 4), expected[std::size_t(i)]) << i;
}

TEST(GifDecoder, ImageRunningPastTheScreenIsClipped) {
    // A 3 x 3 image at (2, 1) on a 3 x 2 screen: only its top-left pixel shows.
    const auto image = decoded(buildGif(3, 2, 3, {{2, 1, 3, 3, {1, 0, 0, 0, 0, 0, 0, 0, 0}}}));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(*image, 2, 1), kGreen);
    EXPECT_EQ(pixelAt(*image, 1, 1), kWhite);
    EXPECT_EQ(pixelAt(*image, 2, 0), kWhite);
}

TEST(GifDecoder, ScreenOrImageBeyondTheLimitsFails) {
    Bytes wide = buildGif(2, 2, 0, {{0, 0, 2, 2, {0, 1, 2, 3}}});
    ASSERT_TRUE(decoded(wide));
    wide[6] = 0x01, wide[7] = 0x40;  // screen width 16385
    EXPECT_FALSE(decoded(wide));

    Bytes bigImage = buildGif(2, 2, 0, {{0, 0, 2, 2, {0, 1, 2, 3}}});
    // The image descriptor follows the 13-byte screen header, its 12-byte table
    // and the graphics-free start: find it by its separator.
    const auto separator = std::find(bigImage.begin() + 13 + 12, bigImage.end(), 0x2C);
    ASSERT_NE(separator, bigImage.end());
    separator[5] = 0x00, separator[6] = 0x80;  // image width 32768
    EXPECT_FALSE(decoded(bigImage));
}

// ---------------------------------------------------------------------------
// JPEG (written with libjpeg's compressor)

Bytes encodeJpeg(int width, int height, int components, bool progressive = false) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 50, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(width) * std::size_t(components));
    while (info.next_scanline < info.image_height) {
        for (std::size_t x = 0; x < row.size(); ++x) row[x] = JSAMPLE((x / 64 + info.next_scanline / 64) * 40);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// Rewrites the frame size in the first SOF0 or SOF2 segment.
Bytes withFrameSize(Bytes jpeg, std::uint16_t width, std::uint16_t height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = std::uint8_t(height >> 8), jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8), jpeg[i + 8] = std::uint8_t(width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

const Bytes& largePhoto() {
    static const Bytes photo = encodeJpeg(6000, 4000, 3);
    return photo;
}

TEST(JpegDecoder, SixThousandByFourThousandLoads) {
    const ImageHandle handle = loadImage(largePhoto());
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(findImage(handle)->width, 6000);
    EXPECT_EQ(findImage(handle)->height, 4000);
    unloadImage(handle);
}

TEST(JpegDecoder, ProgressiveLargePhotoLoads) {
    const auto image = decoded(encodeJpeg(3000, 2000, 3, true));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 3000);
}

struct ScaleCase {
    std::int32_t atLeastWidth, atLeastHeight;
    std::int32_t width, height;
};

TEST(JpegDecoder, ShrinksToTheSmallestScaleStillAtLeastTheWantedSize) {
    const ScaleCase cases[] = {
        {0, 0, 6000, 4000},       {700, 500, 750, 500},     {750, 500, 750, 500},
        {751, 500, 1500, 1000},   {750, 501, 1500, 1000},   {1500, 1000, 1500, 1000},
        {1501, 10, 3000, 2000},   {3001, 10, 6000, 4000},   {9000, 9000, 6000, 4000},
        {100, 0, 6000, 4000},     {1, 1, 750, 500},
    };
    for (const auto& c : cases) {
        const auto image = decoded(largePhoto(), {c.atLeastWidth, c.atLeastHeight});
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, c.width) << c.atLeastWidth << " x " << c.atLeastHeight;
        EXPECT_EQ(image->height, c.height) << c.atLeastWidth << " x " << c.atLeastHeight;
    }
    // Reduced sides round up: 227 x 149 at 1/8 is 29 x 19.
    const auto odd = decoded(readFile(kPublicDir / "jpeg/libjpeg-turbo/testorig.jpg"), {29, 19});
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->width, 29);
    EXPECT_EQ(odd->height, 19);
}

TEST(JpegDecoder, FrameBeyondTheLimitsFailsBeforeDecoding) {
    const Bytes small = encodeJpeg(16, 16, 3);
    ASSERT_TRUE(decoded(small));
    EXPECT_TRUE(decoded(withFrameSize(small, 64, 48)));  // the rest decodes as far as it goes
    EXPECT_FALSE(decoded(withFrameSize(small, 16385, 16)));
    EXPECT_FALSE(decoded(withFrameSize(small, 16, 16385)));
    EXPECT_FALSE(decoded(withFrameSize(small, 16384, 8193)));  // over 128 megapixels
    EXPECT_FALSE(decoded(withFrameSize(encodeJpeg(16, 16, 3, true), 16384, 8193)));
}

TEST(JpegDecoder, EveryCutAfterTheScanStartsLoadsAtFullSize) {
    const Bytes whole = readFile(kPublicDir / "jpeg/libjpeg-turbo/testorig.jpg");
    std::size_t scanStart = 0;
    for (std::size_t i = 2; i + 1 < whole.size() && scanStart == 0; ++i) {
        if (whole[i] == 0xFF && whole[i + 1] == 0xDA) scanStart = i;
    }
    ASSERT_GT(scanStart, 0u);
    for (std::size_t length = 6; length < whole.size(); length += 7) {
        const Bytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(length));
        const auto image = decoded(cut);
        // The scan header itself is 12 bytes; once it is complete the picture loads.
        if (length >= scanStart + 14) {
            ASSERT_TRUE(image) << length;
            EXPECT_EQ(image->width, 227);
            EXPECT_EQ(image->height, 149);
        } else if (length < scanStart) {
            EXPECT_FALSE(image) << length;
        }
    }
}

// ---------------------------------------------------------------------------
// Every decoder: a cut file is either refused or the whole picture at full size.

TEST(AllDecoders, CutFilesNeverGiveAnotherSize) {
    for (const char* file : {"bmp/bmpsuite/g/pal4.bmp", "bmp/image-rs/Info_R8_G8_B8.bmp", "ico/image-rs/smile.ico",
                             "ico/image-rs/bmp-32bpp-alpha.ico", "ico/image-rs/png-32bpp-alpha.ico",
                             "pcx/kimageformats/indexed8.pcx", "pcx/generated/pal1_v3.pcx", "gif/giflib/treescap.gif",
                             "gif/image-rs/any-disposal.gif", "jpeg/jpeg-decoder/mozilla/jpg-progressive.jpg"}) {
        const Bytes whole = readFile(kPublicDir / file);
        const auto full = decoded(whole);
        ASSERT_TRUE(full) << file;
        for (std::size_t length = 0; length < whole.size(); ++length) {
            const auto image = decoded(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(length)));
            if (image) {
                ASSERT_EQ(image->width, full->width) << file << " cut to " << length;
                ASSERT_EQ(image->height, full->height) << file << " cut to " << length;
            }
        }
    }
}

TEST(AllDecoders, EachRefusesTheOthersData) {
    const Bytes bmp = readFile(kPublicDir / "bmp/bmpsuite/g/pal8.bmp");
    const Bytes jpeg = readFile(kPublicDir / "jpeg/libjpeg-turbo/testorig.jpg");
    const Bytes gif = readFile(kPublicDir / "gif/giflib/treescap.gif");
    const Bytes ico = readFile(kPublicDir / "ico/image-rs/smile.ico");
    const Bytes pcx = readFile(kPublicDir / "pcx/kimageformats/indexed8.pcx");
    Image image;
    for (const Bytes* other : {&jpeg, &gif, &ico, &pcx}) EXPECT_FALSE(decodeBmp(*other, image));
    for (const Bytes* other : {&bmp, &gif, &ico, &pcx}) EXPECT_FALSE(decodeJpeg(*other, image));
    for (const Bytes* other : {&bmp, &jpeg, &ico, &pcx}) EXPECT_FALSE(decodeGif(*other, image));
    for (const Bytes* other : {&bmp, &jpeg, &gif, &pcx}) EXPECT_FALSE(decodeIcon(*other, image));
    for (const Bytes* other : {&bmp, &jpeg, &gif, &ico}) EXPECT_FALSE(decodePcx(*other, image));
}

}  // namespace
}  // namespace vantrelo

namespace vantrelo {
namespace {

// A 24-bit BMP of the given size whose pixel (x, y) is colourAt(x, y), stored
// bottom row first or, with a negative height, top row first.
BmpFields patternBmp(int width, int height, Rgb (*colourAt)(int, int), bool topDown) {
    BmpFields f;
    f.width = width;
    f.height = topDown ? -height : height;
    const int row = (width * 3 + 3) / 4 * 4;
    f.rows.assign(std::size_t(row * height), 0);
    for (int y = 0; y < height; ++y) {
        const int stored = topDown ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const Rgb c = colourAt(x, y);
            std::uint8_t* p = f.rows.data() + std::size_t(stored * row + x * 3);
            p[0] = c[2];
            p[1] = c[1];
            p[2] = c[0];
        }
    }
    return f;
}

TEST(BmpReduced, AveragesWholeBlocksAndStaysAtLeastTheAskedSize) {
    // 10 x 7, asked at least 3 x 3: blocks of 2 x 2, the last column and row left out.
    auto pattern = [](int x, int y) { return Rgb{std::uint8_t(x * 21), std::uint8_t(y * 31), 7}; };
    DecodeOptions options;
    options.atLeastWidth = 3;
    options.atLeastHeight = 3;
    for (bool topDown : {false, true}) {
        const auto out = decoded(buildBmp(patternBmp(10, 7, pattern, topDown)), options);
        ASSERT_TRUE(out);
        EXPECT_EQ(out->width, 5);
        EXPECT_EQ(out->height, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                // The mean of two columns and of two rows, halves rounded up.
                const Rgb expected{std::uint8_t((x * 2 * 21 + (x * 2 + 1) * 21 + 1) / 2),
                                   std::uint8_t((y * 2 * 31 + (y * 2 + 1) * 31 + 1) / 2), 7};
                EXPECT_EQ(pixelAt(*out, x, y), expected) << x << "," << y;
            }
    }
    // Asked for more than half the size: no block fits twice, the full picture comes back.
    DecodeOptions big;
    big.atLeastWidth = 6;
    big.atLeastHeight = 4;
    const auto full = decoded(buildBmp(patternBmp(10, 7, pattern, false)), big);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->width, 10);
    EXPECT_EQ(full->height, 7);
}

}  // namespace
}  // namespace vantrelo
