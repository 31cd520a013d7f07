// The canvas: settings, the backing image and its rebuilds, drawImage with its
// modes and resampling, copyTo and clear.
#include "graphics/canvas.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <limits>
#include <vector>

#include "graphics/bmp_writer.h"
#include "graphics/image_loader.h"
#include "graphics/platform.h"

namespace vantrelo {
namespace {

constexpr Colour kBlue = rgbColour(0x20, 0x40, 0xC0);
constexpr Colour kRed = rgbColour(0xFF, 0x00, 0x00);

// The backing image's 0xRRGGBB for a colour.
constexpr std::uint32_t rgbOf(Colour c) {
    return (std::uint32_t(redOf(c)) << 16) | (std::uint32_t(greenOf(c)) << 8) | blueOf(c);
}

CanvasSettings plainSettings(std::int32_t w, std::int32_t h, Colour background = kBlue) {
    CanvasSettings s;
    s.width = w;
    s.height = h;
    s.border = CanvasBorder::None;
    s.backgroundColour = background;
    return s;
}

std::uint32_t at(const Canvas& c, std::int32_t x, std::int32_t y) { return c.backingImage()->at(x, y) & 0xFFFFFFu; }

// A picture as BMP bytes, pixel (x, y) given as 0xRRGGBB.
Bytes bmpPicture(std::int32_t w, std::int32_t h, const std::function<std::uint32_t(std::int32_t, std::int32_t)>& px) {
    PixelImage img;
    img.width = w;
    img.height = h;
    img.pixels.resize(std::size_t(w) * h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) img.pixels[std::size_t(y) * w + x] = 0xFF000000u | px(x, y);
    return encodeBmp24(img);
}

Bytes uniformPicture(std::int32_t w, std::int32_t h, std::uint32_t rgb) {
    return bmpPicture(w, h, [rgb](std::int32_t, std::int32_t) { return rgb; });
}

// A loaded picture, unloaded when the test is done with it.
struct Loaded {
    explicit Loaded(const Bytes& bytes) : handle(loadImage(bytes)) {}
    ~Loaded() { unloadImage(handle); }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    ImageHandle handle;
};

// Pixels of the backing image that are not the given colour, as a rectangle.
Rect extentOtherThan(const Canvas& c, std::uint32_t rgb) {
    const PixelImage& img = *c.backingImage();
    Rect r{img.width, img.height, 0, 0};
    for (std::int32_t y = 0; y < img.height; ++y)
        for (std::int32_t x = 0; x < img.width; ++x)
            if ((img.at(x, y) & 0xFFFFFFu) != rgb) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

bool sameRect(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct RecordingObserver : CanvasObserver {
    std::vector<Rect> content;
    int geometry = 0, visibility = 0;
    void canvasContentChanged(const Rect& r) override { content.push_back(r); }
    void canvasGeometryChanged() override { ++geometry; }
    void canvasVisibilityChanged() override { ++visibility; }
};

DisplayInfo sixteenBitDisplay() { return DisplayInfo{16, rgbColour(1, 2, 3)}; }
DisplayInfo unknownDepthDisplay() { return DisplayInfo{0, rgbColour(1, 2, 3)}; }
DisplayInfo pinkFaceDisplay() { return DisplayInfo{32, rgbColour(0xFF, 0xC0, 0xCB)}; }

struct DisplayGuard {
    explicit DisplayGuard(DisplayInfoProvider p) { setDisplayInfoProvider(p); }
    ~DisplayGuard() { setDisplayInfoProvider(nullptr); }
};

// ---- settings and geometry ----

TEST(CanvasSettings, GeometryIsLimitedWhenSet) {
    struct Case {
        std::int32_t given, left, width;
    } cases[] = {{-40000, -32627, 0}, {-1, -1, 0}, {0, 0, 0}, {300, 300, 300}, {32627, 32627, 32627}, {40000, 32627, 32627}};
    for (const Case& k : cases) {
        CanvasSettings s = plainSettings(10, 10);
        s.keepsImage = false;  // no 32627 x 32627 image
        Canvas c(s);
        c.setLeft(k.given);
        c.setTop(k.given);
        c.setWidth(k.given);
        c.setHeight(k.given);
        EXPECT_EQ(c.left(), k.left) << k.given;
        EXPECT_EQ(c.top(), k.left) << k.given;
        EXPECT_EQ(c.width(), k.width) << k.given;
        EXPECT_EQ(c.height(), k.width) << k.given;
    }
}

TEST(CanvasSettings, BorderThicknessShrinksTheClientArea) {
    struct Case {
        CanvasBorder border;
        int thickness;
    } cases[] = {{CanvasBorder::None, 0},       {CanvasBorder::Sunken, 2},        {CanvasBorder::DialogFrame, 3},
                 {CanvasBorder::StaticEdge, 1}, {CanvasBorder::SunkenInFrame, 5}, {CanvasBorder::Line, 1}};
    for (const Case& k : cases) {
        CanvasSettings s = plainSettings(392, 304);
        s.border = k.border;
        Canvas c(s);
        EXPECT_EQ(c.borderThickness(), k.thickness);
        EXPECT_EQ(c.clientWidth(), 392 - 2 * k.thickness);
        EXPECT_EQ(c.clientHeight(), 304 - 2 * k.thickness);
        EXPECT_EQ(c.backingImage()->width, c.clientWidth());
        EXPECT_EQ(c.backingImage()->height, c.clientHeight());
    }
}

TEST(CanvasBackingImage, IsAtLeastOnePixelAndPaintedInTheBackgroundColour) {
    Canvas empty(plainSettings(0, 0));
    ASSERT_NE(empty.backingImage(), nullptr);
    EXPECT_EQ(empty.backingImage()->width, 1);
    EXPECT_EQ(empty.backingImage()->height, 1);

    Canvas c(plainSettings(7, 5));
    EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(kBlue)), Rect{7, 5, 0, 0}));  // nothing else
    EXPECT_EQ(c.backingImage()->at(0, 0) >> 24, 0xFFu);
}

TEST(CanvasBackingImage, TheMarkerPaintsThePlatformFaceColour) {
    DisplayGuard display(pinkFaceDisplay);
    Canvas c(plainSettings(4, 4, kColourMarker));
    EXPECT_EQ(at(c, 3, 3), 0xFFC0CBu);
}

TEST(CanvasBackingImage, ShrinkingAndGrowingKeepsTheTopLeftAndFillsNewStrips) {
    Canvas c(plainSettings(300, 140));
    Loaded red(uniformPicture(300, 140, 0xFF0000));
    c.drawImage(red.handle, 0, 0);
    c.clear(5, 6, 0, 0);  // only moves the write position
    ASSERT_EQ(c.writePosition(), (Point{5, 6}));

    c.setWidth(200);
    c.setHeight(100);
    EXPECT_EQ(c.writePosition(), (Point{0, 0}));
    c.setWidth(300);
    c.setHeight(140);
    EXPECT_EQ(c.backingImage()->width, 300);
    EXPECT_EQ(c.backingImage()->height, 140);
    EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(kBlue)), Rect{0, 0, 200, 100}));
    EXPECT_EQ(at(c, 199, 99), 0xFF0000u);
    EXPECT_EQ(at(c, 0, 0), 0xFF0000u);
}

TEST(CanvasBackingImage, SettingTheSameSizeOrColourChangesNothing) {
    Canvas c(plainSettings(30, 20));
    Loaded red(uniformPicture(30, 20, 0xFF0000));
    c.drawImage(red.handle, 0, 0);
    c.clear(3, 4, 0, 0);
    RecordingObserver obs;
    c.setObserver(&obs);
    c.setWidth(30);
    c.setHeight(20);
    c.setBorder(CanvasBorder::None);
    c.setBackgroundColour(kBlue);
    EXPECT_EQ(at(c, 29, 19), 0xFF0000u);
    EXPECT_EQ(c.writePosition(), (Point{3, 4}));
    EXPECT_TRUE(obs.content.empty());
    EXPECT_EQ(obs.geometry, 0);
}

TEST(CanvasBackingImage, OtherRebuildsStartFromTheBackground) {
    // A 2 x 2 green picture at the top-left over the background colour.
    const Bytes picture = uniformPicture(2, 2, 0x00FF00);
    struct Case {
        const char* name;
        std::function<void(Canvas&)> change;
        std::uint32_t corner, rest;
    } cases[] = {
        {"different colour", [](Canvas& c) { c.setBackgroundColour(kRed); }, 0x00FF00u, 0xFF0000u},
        {"picture, same bytes", [&](Canvas& c) { c.setBackgroundPicture(picture); }, 0x00FF00u, rgbOf(kBlue)},
        {"picture emptied", [](Canvas& c) { c.setBackgroundPicture({}); }, rgbOf(kBlue), rgbOf(kBlue)},
        {"keeps image switched on", [](Canvas& c) { c.setKeepsImage(false); c.setKeepsImage(true); }, 0x00FF00u,
         rgbOf(kBlue)},
    };
    Loaded white(uniformPicture(10, 10, 0xFFFFFF));
    for (const Case& k : cases) {
        CanvasSettings s = plainSettings(10, 10);
        s.backgroundPicture = picture;
        Canvas c(s);
        c.drawImage(white.handle, 0, 0);
        c.clear(2, 3, 0, 0);
        k.change(c);
        EXPECT_EQ(at(c, 0, 0), k.corner) << k.name;
        EXPECT_EQ(at(c, 9, 9), k.rest) << k.name;  // the drawing is gone
        EXPECT_EQ(c.writePosition(), (Point{2, 3})) << k.name;  // not a change of size
    }
}

TEST(CanvasBackingImage, KeepsImageOffReleasesItAndDrawingIsIgnored) {
    Canvas c(plainSettings(10, 10));
    c.setKeepsImage(false);
    EXPECT_EQ(c.backingImage(), nullptr);
    Loaded red(uniformPicture(4, 4, 0xFF0000));
    c.drawImage(red.handle, 0, 0);
    c.writeText(0, 0, Text("A"));
    c.clear();
    // What it shows, and so what it exports, is its background.
    const Bytes bmp = c.snapshotBmp();
    ASSERT_EQ(bmp.size(), 54u + 32 * 10);
    EXPECT_EQ(bmp[54], blueOf(kBlue));
    EXPECT_EQ(bmp[55], greenOf(kBlue));
    EXPECT_EQ(bmp[56], redOf(kBlue));
}

// The preview's copies: picture emptied, border removed, hidden.
TEST(CanvasBackingImage, PreparingACopyOfThePreviewAreaGivesAWholeClientArea) {
    CanvasSettings s;
    s.width = 392;
    s.height = 304;
    s.border = CanvasBorder::Sunken;
    s.backgroundPicture = uniformPicture(16, 16, 0x123456);
    s.pictureMode = PictureMode::Tiled;
    Canvas c(s);
    ASSERT_EQ(c.clientWidth(), 388);
    EXPECT_EQ(at(c, 387, 299), 0x123456u);
    RecordingObserver obs;
    c.setObserver(&obs);
    c.setBackgroundPicture({});
    c.setBorder(CanvasBorder::None);
    c.setVisible(false);
    EXPECT_EQ(c.backingImage()->width, 392);
    EXPECT_EQ(c.backingImage()->height, 304);
    EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(displayInfo().faceColour)),
                         Rect{392, 304, 0, 0}));
    EXPECT_FALSE(c.visible());
    EXPECT_EQ(obs.visibility, 1);
    EXPECT_EQ(obs.geometry, 1);
    ASSERT_FALSE(obs.content.empty());
    EXPECT_TRUE(sameRect(obs.content.back(), Rect{0, 0, 392, 304}));
}

TEST(CanvasBackingImage, PictureModesLayOutTheBackgroundPicture) {
    // A 2 x 2 picture: red, green / blue, white.
    const Bytes quad = bmpPicture(2, 2, [](std::int32_t x, std::int32_t y) {
        static const std::uint32_t c[2][2] = {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}};
        return c[y][x];
    });
    const std::uint32_t bg = rgbOf(kBlue);
    struct Case {
        PictureMode mode;
        std::vector<std::uint32_t> row0, row1, row2;  // 5 x 3 canvas
    } cases[] = {
        {PictureMode::TopLeft,
         {0xFF0000, 0x00FF00, bg, bg, bg},
         {0x0000FF, 0xFFFFFF, bg, bg, bg},
         {bg, bg, bg, bg, bg}},
        {PictureMode::Tiled,
         {0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0xFF0000},
         {0x0000FF, 0xFFFFFF, 0x0000FF, 0xFFFFFF, 0x0000FF},
         {0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0xFF0000}},
        // Smaller than the area: centred at its own size, (3 - 2) / 2 = 0 down.
        {PictureMode::CentredFit,
         {bg, 0xFF0000, 0x00FF00, bg, bg},
         {bg, 0x0000FF, 0xFFFFFF, bg, bg},
         {bg, bg, bg, bg, bg}},
    };
    for (const Case& k : cases) {
        CanvasSettings s = plainSettings(5, 3);
        s.backgroundPicture = quad;
        s.pictureMode = k.mode;
        Canvas c(s);
        for (std::int32_t x = 0; x < 5; ++x) {
            EXPECT_EQ(at(c, x, 0), k.row0[x]) << int(k.mode) << " x " << x;
            EXPECT_EQ(at(c, x, 1), k.row1[x]) << int(k.mode) << " x " << x;
            EXPECT_EQ(at(c, x, 2), k.row2[x]) << int(k.mode) << " x " << x;
        }
    }
}

TEST(CanvasBackingImage, CentredPictureLargerThanTheAreaIsShrunkKeepingItsProportions) {
    CanvasSettings s = plainSettings(10, 10);
    s.backgroundPicture = uniformPicture(40, 20, 0xFF0000);
    s.pictureMode = PictureMode::CentredFit;
    Canvas c(s);
    // 40 x 20 into 10 x 10: 10 x 5, centred at (0, 2).
    EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(kBlue)), Rect{0, 2, 10, 7}));

    // A change of size lays the picture out anew and keeps nothing.
    c.setHeight(20);
    EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(kBlue)), Rect{0, 7, 10, 12}));
}

TEST(CanvasBackingImage, UndecodablePictureLeavesTheColour) {
    CanvasSettings s = plainSettings(4, 4);
    s.backgroundPicture = Bytes{'B', 'M', 1, 2, 3};
    Canvas c(s);
    EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(kBlue)), Rect{4, 4, 0, 0}));
}

TEST(CanvasObserverTest, IsToldOfContentGeometryAndVisibility) {
    Canvas c(plainSettings(20, 10));
    RecordingObserver obs;
    c.setObserver(&obs);
    Loaded red(uniformPicture(4, 4, 0xFF0000));
    c.drawImage(red.handle, 18, -2);
    ASSERT_EQ(obs.content.size(), 1u);
    EXPECT_TRUE(sameRect(obs.content[0], Rect{18, 0, 20, 2}));  // the clipped target
    c.setLeft(5);
    c.setWidth(25);
    EXPECT_EQ(obs.geometry, 2);
    c.setVisible(false);
    c.setVisible(false);
    EXPECT_EQ(obs.visibility, 1);
}

// ---- drawImage ----

TEST(CanvasDrawImage, AHandleThatIsNotLiveDrawsNothing) {
    Canvas c(plainSettings(20, 20));
    RecordingObserver obs;
    c.setObserver(&obs);
    ImageHandle gone = loadImage(uniformPicture(4, 4, 0xFF0000));
    ASSERT_NE(gone, 0u);
    unloadImage(gone);
    for (ImageHandle h : {ImageHandle(0), gone}) {
        c.drawImage(h, 0, 0);
        c.drawImage(h, 0, 0, 10, 10, 3);
        EXPECT_EQ(c.imageWidth(h), 0);
        EXPECT_EQ(c.imageHeight(h), 0);
    }
    EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(kBlue)), Rect{20, 20, 0, 0}));
    EXPECT_TRUE(obs.content.empty());
}

TEST(CanvasDrawImage, NaturalSizeOrStretchedEachSideOnItsOwn) {
    Loaded pic(uniformPicture(200, 100, 0xFF0000));
    Canvas probe(plainSettings(1, 1));
    EXPECT_EQ(probe.imageWidth(pic.handle), 200);
    EXPECT_EQ(probe.imageHeight(pic.handle), 100);
    struct Case {
        std::optional<std::int32_t> w, h;
        Rect covered;
    } cases[] = {
        {90, 90, Rect{12, 32, 102, 122}},
        {{}, {}, Rect{12, 32, 212, 132}},
        {50, {}, Rect{12, 32, 62, 132}},
        {{}, 30, Rect{12, 32, 212, 62}},
    };
    for (const Case& k : cases) {
        Canvas c(plainSettings(300, 140));
        c.drawImage(pic.handle, 12, 32, k.w, k.h);
        const Rect got = extentOtherThan(c, rgbOf(kBlue));
        EXPECT_TRUE(sameRect(got, k.covered)) << got.left << "," << got.top << "," << got.right << "," << got.bottom;
        EXPECT_EQ(at(c, k.covered.right - 1, k.covered.bottom - 1), 0xFF0000u);
    }
}

TEST(CanvasDrawImage, EmptyTargetSizeDrawsNothing) {
    Loaded pic(uniformPicture(4, 4, 0xFF0000));
    for (auto [w, h] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-4, 4}, std::pair{4, -1}}) {
        Canvas c(plainSettings(10, 10));
        c.drawImage(pic.handle, 0, 0, w, h);
        EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(kBlue)), Rect{10, 10, 0, 0})) << w << "x" << h;
    }
}

TEST(CanvasDrawImage, PartsOutsideTheCanvasAreClipped) {
    // Columns 0..3 of the picture in four colours: what is left after clipping shows which part lands.
    const Bytes stripes = bmpPicture(4, 2, [](std::int32_t x, std::int32_t) { return std::uint32_t(0x100000 * (x + 1)); });
    Loaded pic(stripes);
    Canvas c(plainSettings(5, 5));
    c.drawImage(pic.handle, -2, 4);
    EXPECT_EQ(at(c, 0, 4), 0x300000u);
    EXPECT_EQ(at(c, 1, 4), 0x400000u);
    EXPECT_EQ(at(c, 2, 4), rgbOf(kBlue));
    EXPECT_EQ(at(c, 0, 3), rgbOf(kBlue));
    c.drawImage(pic.handle, 2147483000, 2147483000, 1000, 1000);  // far outside, no overflow
    c.drawImage(pic.handle, -2147483000, -2147483000, 2147483000, 2147483000);
}

TEST(CanvasDrawImage, ModesCombineWithTheDestination) {
    const std::uint32_t src = 0x0FF05A, dst = 0x3C55AA;
    struct Case {
        std::optional<std::int32_t> mode;
        std::uint32_t expected;
    } cases[] = {
        {{}, src},
        {1, src},
        {2, ~src & 0xFFFFFFu},
        {3, src ^ dst},
        {4, src | dst},
        {5, src & dst},
        {0, src},  // not a mode: a plain copy
        {9, src},
    };
    Loaded pic(uniformPicture(1, 1, src));
    for (const Case& k : cases) {
        Canvas c(plainSettings(1, 1, rgbColour(0x3C, 0x55, 0xAA)));
        ASSERT_EQ(at(c, 0, 0), dst);
        c.drawImage(pic.handle, 0, 0, {}, {}, k.mode);
        EXPECT_EQ(at(c, 0, 0), k.expected) << (k.mode ? *k.mode : -999);
    }
}

TEST(CanvasDrawImage, NegativeModeLeavesOutTheColourKey) {
    // Key 0x00BBGGRR = rgb(0x11, 0x22, 0x33) in the left pixel, another colour right.
    const Bytes pic2 = bmpPicture(2, 1, [](std::int32_t x, std::int32_t) { return x == 0 ? 0x112233u : 0x112234u; });
    Loaded pic(pic2);
    Canvas c(plainSettings(2, 1));
    c.drawImage(pic.handle, 0, 0, {}, {}, -std::int32_t(rgbColour(0x11, 0x22, 0x33)));
    EXPECT_EQ(at(c, 0, 0), rgbOf(kBlue));
    EXPECT_EQ(at(c, 1, 0), 0x112234u);
    // The most negative mode is no colour: everything is copied.
    c.drawImage(pic.handle, 0, 0, {}, {}, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(at(c, 0, 0), 0x112233u);
}

TEST(CanvasDrawImage, IconsAreDrawnThroughTheirMaskWhateverTheMode) {
    const ImageHandle icon = loadImage(Text(VANTRELO_TESTDATA_DIR "/ico/image-rs/bmp-24bpp-mask.ico"));
    ASSERT_NE(icon, 0u);
    const Image& img = *findImage(icon);
    ASSERT_TRUE(img.hasMask());
    Canvas plain(plainSettings(img.width, img.height, kRed)), xored(plainSettings(img.width, img.height, kRed));
    plain.drawImage(icon, 0, 0);
    xored.drawImage(icon, 0, 0, {}, {}, 3);
    EXPECT_EQ(plain.backingImage()->pixels, xored.backingImage()->pixels);
    std::size_t clear = 0, opaque = 0;
    for (std::int32_t y = 0; y < img.height; ++y)
        for (std::int32_t x = 0; x < img.width; ++x) {
            const std::size_t i = std::size_t(y) * img.width + x;
            const std::uint8_t* p = img.rgb.data() + i * 3;
            if (img.alpha[i] == 0) {
                ++clear;
                ASSERT_EQ(at(plain, x, y), 0xFF0000u) << x << "," << y;
            } else if (img.alpha[i] == 255) {
                ++opaque;
                ASSERT_EQ(at(plain, x, y), std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2]) << x << "," << y;
            }
        }
    EXPECT_GT(clear, 0u);
    EXPECT_GT(opaque, 0u);
    // Stretched, the transparent parts still show the canvas.
    Canvas big(plainSettings(img.width * 3, img.height * 3, kRed));
    big.drawImage(icon, 0, 0, img.width * 3, img.height * 3);
    EXPECT_EQ(at(big, 0, 0) == 0xFF0000u, img.alpha[0] == 0);
    unloadImage(icon);
}

TEST(CanvasResample, AveragingGivesTheMeanOfTheCoveredPixels) {
    const Bytes quad = bmpPicture(2, 2, [](std::int32_t x, std::int32_t y) {
        static const std::uint32_t c[2][2] = {{0x000000, 0x404040}, {0x808080, 0xC0C0C0}};
        return c[y][x];
    });
    Loaded pic(quad);
    Canvas c(plainSettings(3, 3));
    c.drawImage(pic.handle, 0, 0, 1, 1);
    EXPECT_EQ(at(c, 0, 0), 0x606060u);
    // 3 columns into 2: the middle one is shared half and half.
    const Bytes row = bmpPicture(3, 1, [](std::int32_t x, std::int32_t) { return std::uint32_t(x == 1 ? 0x606060 : 0); });
    Loaded pic3(row);
    c.drawImage(pic3.handle, 0, 1, 2, 1);
    EXPECT_EQ(at(c, 0, 1), 0x202020u);
    EXPECT_EQ(at(c, 1, 1), 0x202020u);
}

TEST(CanvasResample, EnlargingInterpolatesBetweenNeighbours) {
    const Bytes two = bmpPicture(2, 1, [](std::int32_t x, std::int32_t) { return x == 0 ? 0x000000u : 0xF0F0F0u; });
    Loaded pic(two);
    Canvas c(plainSettings(8, 1));
    c.drawImage(pic.handle, 0, 0, 8, 1);
    EXPECT_EQ(at(c, 0, 0), 0x000000u);
    EXPECT_EQ(at(c, 7, 0), 0xF0F0F0u);
    for (std::int32_t x = 1; x < 8; ++x) EXPECT_GE(at(c, x, 0) & 0xFF, at(c, x - 1, 0) & 0xFF) << x;
    EXPECT_GT(at(c, 4, 0) & 0xFF, 0u);
    EXPECT_LT(at(c, 3, 0) & 0xFF, 0xF0u);
}

TEST(CanvasResample, ABigCheckerboardShrinksToAnEvenGrey) {
    // Nearest pixels would keep black and white; averaging must not.
    const Bytes board = bmpPicture(1000, 700, [](std::int32_t x, std::int32_t y) { return ((x + y) & 1) ? 0xFFFFFFu : 0u; });
    Loaded pic(board);
    Canvas c(plainSettings(90, 90));
    c.drawImage(pic.handle, 0, 0, 90, 90);
    for (std::int32_t y = 0; y < 90; y += 7)
        for (std::int32_t x = 0; x < 90; x += 7) {
            const int v = int(at(c, x, y) & 0xFF);
            EXPECT_NEAR(v, 128, 4) << x << "," << y;
        }
}

TEST(CanvasResample, DisplaysOfSixteenBitsOrUnknownDepthPickTheNearestPixel) {
    const Bytes quad = bmpPicture(2, 2, [](std::int32_t x, std::int32_t y) {
        static const std::uint32_t c[2][2] = {{0x000000, 0x404040}, {0x808080, 0xC0C0C0}};
        return c[y][x];
    });
    for (DisplayInfoProvider provider : {&sixteenBitDisplay, &unknownDepthDisplay}) {
        DisplayGuard display(provider);
        Loaded pic(quad);
        Canvas c(plainSettings(4, 5));
        c.drawImage(pic.handle, 0, 0, 1, 1);
        const std::uint32_t v = at(c, 0, 0);
        EXPECT_TRUE(v == 0x000000u || v == 0x404040u || v == 0x808080u || v == 0xC0C0C0u) << std::hex << v;
        // Enlarging repeats rows and columns.
        c.drawImage(pic.handle, 0, 1, 4, 4);
        for (std::int32_t y = 0; y < 4; ++y)
            for (std::int32_t x = 0; x < 4; ++x) {
                static const std::uint32_t src[2][2] = {{0x000000, 0x404040}, {0x808080, 0xC0C0C0}};
                EXPECT_EQ(at(c, x, 1 + y), src[y / 2][x / 2]) << x << "," << y;
            }
    }
}

TEST(CanvasResample, StretchingPartlyOutsideMatchesTheVisiblePartOfTheWhole) {
    // The clipped stretch computes only what shows; it must equal the same
    // part of an unclipped stretch.
    const Bytes pic = bmpPicture(37, 23, [](std::int32_t x, std::int32_t y) {
        return std::uint32_t((x * 7 % 256) << 16 | (y * 11 % 256) << 8 | ((x * y) % 256));
    });
    Loaded h(pic);
    Canvas whole(plainSettings(90, 90));
    whole.drawImage(h.handle, 0, 0, 90, 90);
    Canvas part(plainSettings(50, 40));
    part.drawImage(h.handle, -30, -20, 90, 90);
    for (std::int32_t y = 0; y < 40; ++y)
        for (std::int32_t x = 0; x < 50; ++x) ASSERT_EQ(at(part, x, y), at(whole, x + 30, y + 20)) << x << "," << y;
}

// ---- copyTo ----

TEST(CanvasCopyTo, OnlyADestinationCopiesTheWholeClientAreaEvenWhileHidden) {
    Canvas work(plainSettings(30, 20));
    Loaded red(uniformPicture(30, 20, 0xFF0000));
    work.drawImage(red.handle, 0, 0);
    CanvasSettings ps = plainSettings(40, 30, kRed);
    ps.backgroundColour = rgbColour(0, 0xFF, 0);
    ps.visible = false;
    Canvas preview(ps);
    RecordingObserver obs;
    preview.setObserver(&obs);
    CopyArgs args;
    args.destination = &preview;
    work.copyTo(args);
    EXPECT_TRUE(sameRect(extentOtherThan(preview, 0x00FF00), Rect{0, 0, 30, 20}));
    ASSERT_EQ(obs.content.size(), 1u);
    EXPECT_TRUE(sameRect(obs.content[0], Rect{0, 0, 30, 20}));
    const Bytes bmp = preview.snapshotBmp();
    ASSERT_EQ(bmp.size(), 54u + 120 * 30);
    // The file's last row is the picture's top row: red from x 0 to 29.
    const std::size_t top = 54 + 120 * 29;
    EXPECT_EQ(bmp[top + 2], 0xFF);
    EXPECT_EQ(bmp[top + 1], 0x00);
    EXPECT_EQ(bmp[top + 29 * 3 + 2], 0xFF);
    EXPECT_EQ(bmp[top + 30 * 3 + 1], 0xFF);  // x 30: green background
}

TEST(CanvasCopyTo, EmptyOrOutsideSourceRectanglesCopyNothing) {
    struct Case {
        std::optional<std::int32_t> sx, sy, w, h;
    } cases[] = {{{}, {}, 0, {}}, {{}, {}, {}, -1}, {10, 0, 5, 5}, {0, 10, 5, 5}, {-5, 0, 5, 5}, {{}, {}, -3, -3}};
    for (const Case& k : cases) {
        Canvas src(plainSettings(10, 10, kRed));
        Canvas dst(plainSettings(10, 10));
        RecordingObserver obs;
        dst.setObserver(&obs);
        CopyArgs args;
        args.sourceX = k.sx;
        args.sourceY = k.sy;
        args.width = k.w;
        args.height = k.h;
        args.destination = &dst;
        src.copyTo(args);
        EXPECT_TRUE(sameRect(extentOtherThan(dst, rgbOf(kBlue)), Rect{10, 10, 0, 0}));
        EXPECT_TRUE(obs.content.empty());
    }
}

TEST(CanvasCopyTo, RectanglesAreClippedOnBothSides) {
    // Source pixel (x, y) = 0x0000xy, so each copied pixel tells where it came from.
    const Bytes grid = bmpPicture(10, 10, [](std::int32_t x, std::int32_t y) { return std::uint32_t(x * 16 + y); });
    Loaded g(grid);
    Canvas src(plainSettings(10, 10));
    src.drawImage(g.handle, 0, 0);
    Canvas dst(plainSettings(6, 6, kRed));
    CopyArgs args;
    args.sourceX = -2;  // the first two columns lie outside the source
    args.sourceY = 3;
    args.width = 6;
    args.height = 20;
    args.destination = &dst;
    args.destX = 1;
    args.destY = -1;
    src.copyTo(args);
    // Source column 0 lands at destination x 1 + 2 = 3; source row 4 at y 0.
    EXPECT_EQ(at(dst, 3, 0), 0x04u);
    EXPECT_EQ(at(dst, 5, 5), 0x29u);
    EXPECT_EQ(at(dst, 2, 0), 0xFF0000u);
    EXPECT_TRUE(sameRect(extentOtherThan(dst, 0xFF0000), Rect{3, 0, 6, 6}));
}

TEST(CanvasCopyTo, WithinOneCanvasOverlappingBlocksMoveIntact) {
    const Bytes ramp = bmpPicture(8, 8, [](std::int32_t x, std::int32_t y) { return std::uint32_t(x * 16 + y); });
    Loaded r(ramp);
    for (auto [dx, dy] : {std::pair{1, 1}, std::pair{-1, -1}, std::pair{2, 0}, std::pair{0, -2}}) {
        Canvas c(plainSettings(8, 8));
        c.drawImage(r.handle, 0, 0);
        CopyArgs args;  // destination left out: the canvas itself
        args.sourceX = 2;
        args.sourceY = 2;
        args.width = 4;
        args.height = 4;
        args.destX = 2 + dx;
        args.destY = 2 + dy;
        c.copyTo(args);
        for (std::int32_t y = 0; y < 4; ++y)
            for (std::int32_t x = 0; x < 4; ++x)
                ASSERT_EQ(at(c, 2 + dx + x, 2 + dy + y), std::uint32_t((2 + x) * 16 + 2 + y))
                    << dx << "," << dy << " at " << x << "," << y;
    }
}

TEST(CanvasCopyTo, ModeCombinesWithTheDestination) {
    Canvas src(plainSettings(2, 2, rgbColour(0x0F, 0xF0, 0x5A)));
    Canvas dst(plainSettings(2, 2, rgbColour(0x3C, 0x55, 0xAA)));
    CopyArgs args;
    args.destination = &dst;
    args.mode = 3;
    src.copyTo(args);
    EXPECT_EQ(at(dst, 1, 1), 0x0FF05Au ^ 0x3C55AAu);
}

// ---- clear ----

TEST(CanvasClear, NothingGivenWipesAllAndWritingStartsAtTheCorner) {
    Canvas c(plainSettings(300, 140, kColourMarker));
    Loaded red(uniformPicture(300, 140, 0xFF0000));
    c.drawImage(red.handle, 0, 0);
    c.clear(50, 60, 0, 0);
    c.clear();
    EXPECT_TRUE(sameRect(extentOtherThan(c, rgbOf(displayInfo().faceColour)), Rect{300, 140, 0, 0}));
    EXPECT_EQ(c.writePosition(), (Point{0, 0}));
}

TEST(CanvasClear, EdgesComeFromTheGivenNumbersSwappedWhenReversed) {
    struct Case {
        std::optional<std::int32_t> x, y, w, h;
        Rect wiped;
    } cases[] = {
        {2, 3, 4, 5, Rect{2, 3, 6, 8}},
        {6, 8, -4, -5, Rect{2, 3, 6, 8}},
        {2, {}, {}, {}, Rect{2, 0, 10, 10}},
        {{}, {}, 3, {}, Rect{0, 0, 3, 10}},
        {12, 4, {}, 2, Rect{10, 4, 12, 6}},  // left 12, right the client's 10: swapped
        {-5, -5, 7, 7, Rect{-5, -5, 2, 2}},
    };
    Loaded red(uniformPicture(10, 10, 0xFF0000));
    for (const Case& k : cases) {
        Canvas c(plainSettings(10, 10));
        c.drawImage(red.handle, 0, 0);
        c.clear(k.x, k.y, k.w, k.h);
        const Rect visible{std::max(k.wiped.left, 0), std::max(k.wiped.top, 0), std::min(k.wiped.right, 10),
                           std::min(k.wiped.bottom, 10)};
        if (visible.empty())
            EXPECT_TRUE(sameRect(extentOtherThan(c, 0xFF0000), Rect{10, 10, 0, 0}));
        else
            EXPECT_TRUE(sameRect(extentOtherThan(c, 0xFF0000), visible)) << k.wiped.left << "," << k.wiped.top;
        EXPECT_EQ(c.writePosition(), (Point{k.wiped.left, k.wiped.top}));
    }
}

TEST(CanvasClear, PictureIsLaidOutOverTheWholeClientArea) {
    const Bytes quad = bmpPicture(2, 2, [](std::int32_t x, std::int32_t y) { return std::uint32_t(0x400000 * (1 + x + 2 * y)); });
    for (PictureMode mode : {PictureMode::TopLeft, PictureMode::Tiled, PictureMode::CentredFit}) {
        CanvasSettings s = plainSettings(7, 5);
        s.backgroundPicture = quad;
        s.pictureMode = mode;
        Canvas reference(s);
        Canvas c(s);
        Loaded white(uniformPicture(7, 5, 0xFFFFFF));
        c.drawImage(white.handle, 0, 0);
        c.clear(1, 1, 4, 3);
        for (std::int32_t y = 0; y < 5; ++y)
            for (std::int32_t x = 0; x < 7; ++x) {
                const bool inside = x >= 1 && x < 5 && y >= 1 && y < 4;
                EXPECT_EQ(at(c, x, y), inside ? at(reference, x, y) : 0xFFFFFFu) << int(mode) << " " << x << "," << y;
            }
    }
}

}  // namespace
}  // namespace vantrelo
