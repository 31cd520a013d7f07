// snapshotBmp: the saved card's file layout, read back byte by byte.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/bmp_writer.h"
#include "graphics/canvas.h"
#include "graphics/decoders/decoders.h"
#include "graphics/image_loader.h"
#include "graphics/platform.h"

namespace vantrelo {
namespace {

std::uint32_t u32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t u16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

// Pixel (x, y) of the picture, read from the file as 0xRRGGBB.
std::uint32_t filePixel(const Bytes& bmp, std::int32_t x, std::int32_t y) {
    const std::int32_t w = std::int32_t(u32(bmp, 18)), h = std::int32_t(u32(bmp, 22));
    const std::size_t row = (std::size_t(w) * 3 + 3) / 4 * 4;
    const std::size_t at = 54 + std::size_t(h - 1 - y) * row + std::size_t(x) * 3;
    return std::uint32_t(bmp[at + 2]) << 16 | std::uint32_t(bmp[at + 1]) << 8 | bmp[at];
}

// A canvas whose every pixel differs: red from x, green from y, blue from both.
std::uint32_t patternAt(std::int32_t x, std::int32_t y) {
    return std::uint32_t((x * 37) & 0xFF) << 16 | std::uint32_t((y * 53) & 0xFF) << 8 | std::uint32_t((x ^ y) & 0xFF);
}

void paintPattern(Canvas& c) {
    PixelImage img;
    img.width = c.clientWidth();
    img.height = c.clientHeight();
    img.pixels.resize(std::size_t(img.width) * img.height);
    for (std::int32_t y = 0; y < img.height; ++y)
        for (std::int32_t x = 0; x < img.width; ++x) img.pixels[std::size_t(y) * img.width + x] = 0xFF000000u | patternAt(x, y);
    const ImageHandle h = loadImage(encodeBmp24(img));
    ASSERT_NE(h, 0u);
    c.drawImage(h, 0, 0);
    unloadImage(h);
}

CanvasSettings sized(std::int32_t w, std::int32_t h) {
    CanvasSettings s;
    s.width = w;
    s.height = h;
    s.border = CanvasBorder::None;
    s.backgroundColour = rgbColour(0x10, 0x20, 0x30);
    return s;
}

TEST(BmpExport, ACardHasTheHeaderOfTheLayout) {
    Canvas c(sized(300, 140));
    const Bytes bmp = c.snapshotBmp();
    ASSERT_EQ(bmp.size(), 54u + 900u * 140u);
    struct Field {
        std::size_t offset;
        int size;
        std::uint32_t value;
    } fields[] = {
        {2, 4, 54 + 900 * 140},  // file size
        {6, 2, 0},    {8, 2, 0},    // reserved
        {10, 4, 54},  // pixel rows offset
        {14, 4, 40},  // information header
        {18, 4, 300}, {22, 4, 140}, {26, 2, 1}, {28, 2, 24}, {30, 4, 0},
        {34, 4, 900 * 140},       // size of the rows
        {38, 4, 0},   {42, 4, 0},   {46, 4, 0}, {50, 4, 0},
    };
    EXPECT_EQ(bmp[0], 0x42);
    EXPECT_EQ(bmp[1], 0x4D);
    for (const Field& f : fields)
        EXPECT_EQ(f.size == 4 ? u32(bmp, f.offset) : u16(bmp, f.offset), f.value) << "offset " << f.offset;
}

TEST(BmpExport, TheFirstRowIsTheBottomRowInBlueGreenRed) {
    Canvas c(sized(300, 140));
    paintPattern(c);
    const Bytes bmp = c.snapshotBmp();
    ASSERT_EQ(bmp.size(), 54u + 900u * 140u);
    // The first stored pixel is the picture's bottom-left one, blue byte first.
    const std::uint32_t bottomLeft = patternAt(0, 139);
    EXPECT_EQ(bmp[54], bottomLeft & 0xFF);
    EXPECT_EQ(bmp[55], (bottomLeft >> 8) & 0xFF);
    EXPECT_EQ(bmp[56], bottomLeft >> 16);
    const std::uint32_t topRight = patternAt(299, 0);
    EXPECT_EQ(bmp[bmp.size() - 3], topRight & 0xFF);
    EXPECT_EQ(bmp[bmp.size() - 1], topRight >> 16);
}

TEST(BmpExport, OddSizesRoundTripWithZeroPadding) {
    for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 3}, std::pair{7, 1}, std::pair{2, 5}, std::pair{301, 301}}) {
        Canvas c(sized(w, h));
        paintPattern(c);
        const Bytes bmp = c.snapshotBmp();
        const std::size_t row = (std::size_t(w) * 3 + 3) / 4 * 4;
        ASSERT_EQ(bmp.size(), 54 + row * h) << w << "x" << h;
        EXPECT_EQ(u32(bmp, 2), bmp.size());
        EXPECT_EQ(u32(bmp, 34), row * h);
        for (std::int32_t y = 0; y < h; ++y) {
            for (std::int32_t x = 0; x < w; ++x) ASSERT_EQ(filePixel(bmp, x, y), patternAt(x, y)) << w << "x" << h << " at " << x << "," << y;
            for (std::size_t pad = std::size_t(w) * 3; pad < row; ++pad) ASSERT_EQ(bmp[54 + std::size_t(y) * row + pad], 0);
        }
        // The program's own reader takes it back unchanged.
        Image back;
        ASSERT_TRUE(decodeBmp(bmp, back)) << w << "x" << h;
        ASSERT_EQ(back.width, w);
        ASSERT_EQ(back.height, h);
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                const std::uint8_t* p = back.rgb.data() + (std::size_t(y) * w + x) * 3;
                ASSERT_EQ(std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2], patternAt(x, y));
            }
    }
}

TEST(BmpExport, AGivenSizeResamplesAndPercentagesScale) {
    Canvas c(sized(200, 100));
    paintPattern(c);
    struct Case {
        std::optional<std::int32_t> w, h;
        std::uint32_t outW, outH;
    } cases[] = {
        {90, 90, 90, 90},
        {{}, 50, 200, 50},
        {-50, -25, 100, 25},
        {-5, -10, 20, 10},  // below ten percent counts as ten
        {-200, {}, 400, 100},
    };
    for (const Case& k : cases) {
        const Bytes bmp = c.snapshotBmp(k.w, k.h);
        ASSERT_FALSE(bmp.empty());
        EXPECT_EQ(u32(bmp, 18), k.outW);
        EXPECT_EQ(u32(bmp, 22), k.outH);
        EXPECT_EQ(bmp.size(), 54 + (k.outW * 3 + 3) / 4 * 4 * k.outH);
    }
    // Averaging as drawImage does: 2 x 2 pixels into one gives their mean.
    Canvas quad(sized(2, 2));
    PixelImage q{2, 2, {0xFF000000u, 0xFF404040u, 0xFF808080u, 0xFFC0C0C0u}};
    const ImageHandle h = loadImage(encodeBmp24(q));
    quad.drawImage(h, 0, 0);
    unloadImage(h);
    EXPECT_EQ(filePixel(quad.snapshotBmp(1, 1), 0, 0), 0x606060u);
}

TEST(BmpExport, SizesOfZeroOrLessOrTooLargeGiveNothing) {
    Canvas c(sized(30, 20));
    struct Case {
        std::optional<std::int32_t> w, h;
    } cases[] = {{0, {}}, {{}, 0}, {-1000000, 0}, {1 << 30, 1 << 30}, {2147483647, 1}};
    for (const Case& k : cases) EXPECT_TRUE(c.snapshotBmp(k.w, k.h).empty()) << (k.w ? *k.w : 0) << "," << (k.h ? *k.h : 0);
    // Ten percent of 5 pixels is none.
    EXPECT_TRUE(Canvas(sized(5, 5)).snapshotBmp(-10).empty());
    EXPECT_FALSE(Canvas(sized(10, 10)).snapshotBmp(-10).empty());
}

TEST(BmpExport, AnEmptyClientAreaStillExportsItsOnePixel) {
    Canvas c(sized(0, 0));
    const Bytes bmp = c.snapshotBmp();
    ASSERT_EQ(bmp.size(), 54u + 4u);
    EXPECT_EQ(filePixel(bmp, 0, 0), 0x102030u);  // the background colour
}

}  // namespace
}  // namespace vantrelo
