// writeText on a canvas, the fonts behind it and the 60-byte font description.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "graphics/bmp_writer.h"
#include "graphics/canvas.h"
#include "graphics/font_description.h"
#include "graphics/image_loader.h"
#include "graphics/text_renderer.h"

namespace vantrelo {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

Canvas whiteCanvas(std::int32_t w = 300, std::int32_t h = 140) {
    CanvasSettings s;
    s.width = w;
    s.height = h;
    s.border = CanvasBorder::None;
    s.backgroundColour = rgbColour(0xFF, 0xFF, 0xFF);
    return Canvas(s);
}

std::uint32_t at(const Canvas& c, std::int32_t x, std::int32_t y) { return c.backingImage()->at(x, y) & 0xFFFFFFu; }

// The smallest rectangle holding every pixel that is not `background`; empty when there is none.
Rect ink(const Canvas& c, std::uint32_t background = kWhite) {
    const PixelImage& img = *c.backingImage();
    Rect r{img.width, img.height, 0, 0};
    for (std::int32_t y = 0; y < img.height; ++y)
        for (std::int32_t x = 0; x < img.width; ++x)
            if ((img.at(x, y) & 0xFFFFFFu) != background) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

std::size_t inkCount(const Canvas& c, std::uint32_t background = kWhite) {
    std::size_t n = 0;
    for (std::uint32_t p : c.backingImage()->pixels) n += (p & 0xFFFFFFu) != background;
    return n;
}

bool samePixels(const Canvas& a, const Canvas& b) { return a.backingImage()->pixels == b.backingImage()->pixels; }

std::int32_t cellHeight() { return textFace(std::nullopt).cellHeight(); }

// "中文" in GBK.
const Text kChinese("\xD6\xD0\xCE\xC4");

TEST(TextFont, TheDefaultFaceIsTheTwelvePixelBitmapSong) {
    const ResolvedFont& f = resolveFont(std::nullopt);
    ASSERT_TRUE(f.found());
    EXPECT_TRUE(std::filesystem::exists(f.path)) << f.path;
    EXPECT_TRUE(f.bitmap);
    EXPECT_EQ(f.pixelSize, 12);
    // Lines 20 pixels apart must not overlap.
    EXPECT_GE(cellHeight(), 12);
    EXPECT_LE(cellHeight(), 20);
    EXPECT_EQ(&resolveFontFamily(kDefaultFontFamily, 12), &f);
}

TEST(TextFont, SongFaceNamesResolveToTheDefaultFace) {
    const ResolvedFont& def = resolveFont(std::nullopt);
    for (const char* name : {"\xCB\xCE\xCC\xE5" /* 宋体 */, "SimSun", "simsun", ""}) {
        const ResolvedFont& f = resolveFont(makeFontDescription(Text(name), -12));
        EXPECT_EQ(f.path, def.path) << name;
        EXPECT_EQ(f.pixelSize, 12) << name;
    }
}

TEST(TextFont, HeightsPickTheCharacterSize) {
    // Negative: the character height; positive: the whole cell (four fifths of it the character); 0: default.
    struct Case {
        std::int32_t height;
        int pixelSize;
    } cases[] = {{0, 12}, {-12, 12}, {15, 12}, {-13, 13}, {-16, 16}, {-2147483647 - 1, 1024}, {2147483647, 1024}};
    for (const Case& k : cases) {
        const ResolvedFont& f = resolveFont(makeFontDescription("SimSun", k.height));
        ASSERT_TRUE(f.found()) << k.height;
        EXPECT_EQ(f.pixelSize, k.pixelSize) << k.height;
    }
}

TEST(TextFont, ALargerHeightGivesALargerCell) {
    TextFace& big = textFace(makeFontDescription("\xCB\xCE\xCC\xE5", -24));
    EXPECT_GE(big.font().pixelSize, 22);
    EXPECT_GT(big.cellHeight(), cellHeight() + 6);
    // Far from every bitmap strike: a scalable face serves it.
    EXPECT_FALSE(big.font().bitmap);
}

TEST(TextFont, LookupsAreAskedOncePerDescription) {
    const FontDescription d = makeFontDescription("SimSun", -13, kFontWeightBold);
    textFace(d);
    const std::uint64_t after = fontLookupCount();
    for (int i = 0; i < 3; ++i) {
        textFace(d);
        resolveFont(d);
    }
    EXPECT_EQ(fontLookupCount(), after);
}

TEST(FontDescriptionTest, HasTheSixtyByteLayout) {
    const FontDescription d = makeFontDescription("Arial", -16, 700, FontStyle::Italic | FontStyle::StrikeOut, 134);
    EXPECT_EQ(d[0], 0xF0);  // -16, little-endian
    EXPECT_EQ(d[1], 0xFF);
    EXPECT_EQ(d[3], 0xFF);
    EXPECT_EQ(d[16], 700 & 0xFF);
    EXPECT_EQ(d[17], 700 >> 8);
    EXPECT_EQ(d[20], 1);  // italic
    EXPECT_EQ(d[21], 0);  // underline
    EXPECT_EQ(d[22], 1);  // strike-out
    EXPECT_EQ(d[23], 134);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.data() + 28)), "Arial");

    const FontAttributes a = parseFontDescription(d);
    EXPECT_EQ(a.height, -16);
    EXPECT_EQ(a.weight, 700);
    EXPECT_TRUE(a.bold());
    EXPECT_TRUE(a.italic);
    EXPECT_FALSE(a.underline);
    EXPECT_TRUE(a.strikeOut);
    EXPECT_EQ(a.charset, 134);
    EXPECT_EQ(a.faceName, Text("Arial"));
}

TEST(FontDescriptionTest, FaceNamesAreCutAtAWholeCharacterAndReadWithinTheirField) {
    // Sixteen two-byte characters: only fifteen fit before the NUL.
    std::string sixteen;
    for (int i = 0; i < 16; ++i) sixteen += "\xD6\xD0";
    EXPECT_EQ(parseFontDescription(makeFontDescription(Text(sixteen), 0)).faceName.size(), 30u);
    std::string oddAscii = "a" + sixteen;  // one byte, then the pairs: the 16th pair would be cut
    EXPECT_EQ(parseFontDescription(makeFontDescription(Text(oddAscii), 0)).faceName.size(), 31u);

    FontDescription full{};
    for (std::size_t i = 28; i < 60; ++i) full[i] = 'x';  // no NUL at all
    EXPECT_EQ(parseFontDescription(full).faceName.size(), 32u);
}

TEST(TextDraw, ChineseTextIsCrispInTheTextColourInsideItsCell) {
    Canvas c = whiteCanvas();
    c.setTextColour(rgbColour(0xC0, 0x10, 0x20));
    c.writeText(120, 32, kChinese);
    const Rect r = ink(c);
    ASSERT_FALSE(r.empty());
    EXPECT_GE(r.left, 120);
    EXPECT_GE(r.top, 32);
    EXPECT_LE(r.right, 120 + textFace(std::nullopt).lineWidth(U"\u4E2D\u6587"));
    EXPECT_LE(r.bottom, 32 + cellHeight());
    for (std::uint32_t p : c.backingImage()->pixels) {
        const std::uint32_t rgb = p & 0xFFFFFFu;
        ASSERT_TRUE(rgb == kWhite || rgb == 0xC01020u) << std::hex << rgb;  // no grey edges
    }
    EXPECT_GT(inkCount(c), 40u);
}

TEST(TextDraw, LineBreaksPutTheNextLineBelowAtTheSameX) {
    struct Case {
        const char* text;
        int lines;  // how far below A the B is
    } cases[] = {{"A\r\nB", 1}, {"A\nB", 1}, {"A\rB", 1}, {"A\n\nB", 1}, {"A\r\n\r\nB", 2}, {"A\r\rB", 2}, {"A\r\n\nB", 1}};
    Canvas expected1 = whiteCanvas(), expected2 = whiteCanvas();
    expected1.writeText(120, 32, Text("A"));
    expected1.writeText(120, 32 + 1 * (cellHeight() + 2), Text("B"));
    expected2.writeText(120, 32, Text("A"));
    expected2.writeText(120, 32 + 2 * (cellHeight() + 2), Text("B"));
    for (const Case& k : cases) {
        Canvas c = whiteCanvas();
        c.writeText(120, 32, Text(k.text));
        EXPECT_TRUE(samePixels(c, k.lines == 1 ? expected1 : expected2)) << k.lines << " " << testing::PrintToString(k.text);
    }
}

TEST(TextDraw, FurtherTextsOfOneCallContinueWhereTheLastLineEnded) {
    Canvas joined = whiteCanvas(), parts = whiteCanvas();
    joined.writeText(10, 10, Text("AB\r\nCD"));
    const Text texts[] = {Text("AB\r\nC"), Text("D")};
    parts.writeText(10, 10, texts);
    EXPECT_TRUE(samePixels(joined, parts));
}

TEST(TextDraw, EmptyTextsAndBareBreaksDrawNothing) {
    for (const char* t : {"", "\r\n", "\n\n\r"}) {
        Canvas c = whiteCanvas();
        c.writeText(5, 5, Text(t));
        EXPECT_EQ(inkCount(c), 0u) << testing::PrintToString(t);
    }
}

TEST(TextDraw, GivenPositionsLeaveTheWritePositionAlone) {
    Canvas c = whiteCanvas();
    c.clear(40, 50, 0, 0);  // the write position is now (40, 50)
    c.writeText(120, 32, Text("X"));
    c.writeText(std::nullopt, 70, Text("Y"));
    EXPECT_EQ(c.writePosition(), (Point{40, 50}));
    c.writeText(std::nullopt, std::nullopt, Text("Z"));
    EXPECT_EQ(c.writePosition(), (Point{40, 50}));

    Canvas expected = whiteCanvas();
    expected.writeText(120, 32, Text("X"));
    expected.writeText(40, 70, Text("Y"));
    expected.writeText(40, 50, Text("Z"));
    EXPECT_TRUE(samePixels(c, expected));
}

TEST(TextDraw, AfterClearWritingStartsAtTheOrigin) {
    Canvas c = whiteCanvas();
    c.clear(40, 50, 0, 0);
    c.clear();
    c.writeText(std::nullopt, std::nullopt, Text("W"));
    Canvas expected = whiteCanvas();
    expected.writeText(0, 0, Text("W"));
    EXPECT_TRUE(samePixels(c, expected));
}

TEST(TextDraw, AnOpaqueTextBackgroundFillsTheLinesCells) {
    Canvas c = whiteCanvas();
    c.setTextBackground(rgbColour(0, 0, 0xFF));
    c.writeText(10, 20, kChinese);
    const std::int32_t w = textFace(std::nullopt).lineWidth(U"\u4E2D\u6587");
    const Rect r = ink(c);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 10 + w);
    EXPECT_EQ(r.bottom, 20 + cellHeight());
    for (std::int32_t y = r.top; y < r.bottom; ++y)
        for (std::int32_t x = r.left; x < r.right; ++x) ASSERT_TRUE(at(c, x, y) == 0x0000FFu || at(c, x, y) == 0u);
}

TEST(TextDraw, TextPartlyOutsideIsClippedNotShifted) {
    Canvas whole = whiteCanvas(60, 30), clipped = whiteCanvas(20, 10);
    whole.writeText(20, 10, kChinese);
    clipped.writeText(-5, -6, kChinese);
    for (std::int32_t y = 0; y < 10; ++y)
        for (std::int32_t x = 0; x < 20; ++x) ASSERT_EQ(at(clipped, x, y), at(whole, x + 25, y + 16)) << x << "," << y;
    clipped.writeText(-2147483000, 2147483000, kChinese);  // far away: nothing, no overflow
}

TEST(TextDraw, CharactersTheBitmapFaceLacksComeFromTheFallbackOrABox) {
    // U+AC00 is in the scalable fallback face only; U+1F600 in neither.
    for (const char* t : {"\x82\x37\xCF\x35", "\x94\x39\xFC\x36"}) {
        Canvas c = whiteCanvas(40, 20);
        c.writeText(2, 2, Text(t));
        const Rect r = ink(c);
        ASSERT_FALSE(r.empty()) << testing::PrintToString(t);
        EXPECT_GE(r.top, 2);
        EXPECT_LE(r.bottom, 2 + cellHeight());
    }
}

TEST(TextDraw, BoldUnderlineAndStrikeOutChangeTheInk) {
    const auto draw = [](Canvas& c, std::optional<FontDescription> f) {
        c.setFont(f);
        c.writeText(0, 0, kChinese + Text("AB"));
    };
    Canvas plain = whiteCanvas(120, 20), bold = whiteCanvas(120, 20);
    draw(plain, std::nullopt);
    draw(bold, makeFontDescription("SimSun", -12, kFontWeightBold));
    EXPECT_GT(inkCount(bold), inkCount(plain) + 10);
    EXPECT_EQ(ink(bold).right, ink(plain).right + 4);  // one more pixel per character

    const std::int32_t width = textFace(std::nullopt).lineWidth(U"\u4E2D\u6587AB");
    for (FontStyle style : {FontStyle::Underline, FontStyle::StrikeOut}) {
        Canvas c = whiteCanvas(120, 20);
        draw(c, makeFontDescription("SimSun", -12, kFontWeightNormal, style));
        // Some row is ink from the line's start to its end.
        bool fullRow = false;
        for (std::int32_t y = 0; y < cellHeight() && !fullRow; ++y) {
            bool all = true;
            for (std::int32_t x = 0; x < width; ++x) all = all && at(c, x, y) != kWhite;
            fullRow = all;
        }
        EXPECT_TRUE(fullRow) << int(style);
        EXPECT_GT(inkCount(c), inkCount(plain));
    }
}

TEST(TextDraw, ItalicLeansTheBitmapGlyphs) {
    Canvas plain = whiteCanvas(120, 20), italic = whiteCanvas(120, 20);
    plain.writeText(0, 0, kChinese);
    italic.setFont(makeFontDescription("SimSun", -12, kFontWeightNormal, FontStyle::Italic));
    italic.writeText(0, 0, kChinese);
    ASSERT_TRUE(textFace(italic.font()).font().syntheticItalic);
    // Rows move sideways, none is lost; the top leans right.
    EXPECT_FALSE(samePixels(plain, italic));
    EXPECT_EQ(inkCount(italic), inkCount(plain));
    EXPECT_GT(ink(italic).right, ink(plain).right);
}

// Keep this card's pixels for a look: /tmp/vantrelo-text-card.bmp.
TEST(TextDraw, AWholeCardAsksForTheFontOnlyForItsFirstLine) {
    PixelImage big;
    big.width = 1600;
    big.height = 1200;
    big.pixels.resize(std::size_t(big.width) * big.height);
    for (std::int32_t y = 0; y < big.height; ++y)
        for (std::int32_t x = 0; x < big.width; ++x)
            big.pixels[std::size_t(y) * big.width + x] = 0xFF000000u | std::uint32_t(x * 255 / 1600) << 16 | std::uint32_t(y * 255 / 1200);
    PixelImage backdrop;
    backdrop.width = 300;
    backdrop.height = 140;
    backdrop.pixels.assign(300 * 140, 0xFF3A6EA5u);
    const ImageHandle background = loadImage(encodeBmp24(backdrop));
    const ImageHandle avatar = loadImage(encodeBmp24(big));
    ASSERT_NE(background, 0u);
    ASSERT_NE(avatar, 0u);

    CanvasSettings s;
    s.backgroundColour = kColourMarker;
    s.visible = false;
    Canvas work(s), preview(s);
    const Text lines[] = {
        Text("\xC2\xDB\xCC\xB3\xEA\xC7\xB3\xC6\xA3\xBA\xD0\xA1\xC3\xF7"),          // 论坛昵称：小明
        Text("\xB3\xA3\xD7\xA4\xB0\xE6\xBF\xE9\xA3\xBA\xCD\xBC\xCF\xF1\xB4\xA6\xC0\xED"),  // 常驻版块：图像处理
        Text("\xC2\xDB\xCC\xB3\xCC\xFB\xD7\xD3\xA3\xBAHello, world!"),               // 论坛帖子：Hello, world!
        Text("QQ\xBA\xC5\xC2\xEB\xA3\xBA" "123456789"),                               // QQ号码：123456789
    };
    std::uint64_t afterFirstLine = 0;
    for (int round = 0; round < 3; ++round) {
        work.setWidth(work.imageWidth(background));
        work.setHeight(work.imageHeight(background));
        work.drawImage(background, 0, 0);
        work.drawImage(avatar, 12, 32, 90, 90);
        work.setTextColour(rgbColour(0xFF, 0xFF, 0xFF));
        for (int i = 0; i < 4; ++i) {
            work.writeText(120, 32 + 20 * i, lines[i]);
            if (round == 0 && i == 0) afterFirstLine = fontLookupCount();
        }
        preview.setWidth(300);
        preview.setHeight(140);
        CopyArgs args;
        args.sourceX = 0;
        args.sourceY = 0;
        args.destination = &preview;
        work.copyTo(args);
        work.clear();
    }
    EXPECT_EQ(fontLookupCount(), afterFirstLine);
    unloadImage(background);
    unloadImage(avatar);

    // The four lines are white on the backdrop, 20 pixels apart, right of the avatar.
    for (int i = 0; i < 4; ++i) {
        bool white = false;
        for (std::int32_t y = 32 + 20 * i; y < 32 + 20 * i + cellHeight(); ++y)
            for (std::int32_t x = 120; x < 300; ++x) white = white || at(preview, x, y) == 0xFFFFFFu;
        EXPECT_TRUE(white) << i;
    }
    EXPECT_EQ(at(preview, 5, 5), 0x3A6EA5u);
    const Bytes bmp = preview.snapshotBmp();
    if (FILE* f = std::fopen("/tmp/vantrelo-text-card.bmp", "wb")) {
        std::fwrite(bmp.data(), 1, bmp.size(), f);
        std::fclose(f);
    }
}

}  // namespace
}  // namespace vantrelo
