#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "base/encoding.h"
#include "card/avatar_cache.h"
#include "graphics/bmp_writer.h"
#include "graphics/canvas.h"
#include "graphics/encoders/encoders.h"
#include "tests/card/card_fixtures.h"

namespace vantrelo {
namespace {

using testing_support::makeBmp;
using testing_support::TempFolder;

// A photo-like picture with detail at every scale.
PixelImage photo(std::int32_t width, std::int32_t height) {
    PixelImage p;
    p.width = width;
    p.height = height;
    p.pixels.resize(std::size_t(width) * height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const int r = int(127 + 120 * std::sin(x * 0.013 + y * 0.002));
            const int g = int(127 + 120 * std::cos(y * 0.011));
            const int b = ((x / 7 + y / 5) % 2) * 200 + 20;  // a fine checker
            p.pixels[std::size_t(y) * width + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    return p;
}

// The box as drawImage draws the whole picture into it.
PixelImage drawnInBox(ImageHandle h) {
    CanvasSettings s;
    s.width = 90;
    s.height = 90;
    Canvas c(s);
    c.drawImage(h, 0, 0, 90, 90);
    return *c.backingImage();
}

struct Difference {
    int worst = 0;
    double mean = 0;
};

Difference compare(const PixelImage& a, const PixelImage& b) {
    Difference d;
    double total = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift : {0, 8, 16}) {
            const int delta = std::abs(int((a.pixels[i] >> shift) & 0xFF) - int((b.pixels[i] >> shift) & 0xFF));
            d.worst = std::max(d.worst, delta);
            total += delta;
        }
    d.mean = total / double(a.pixels.size() * 3);
    return d;
}

void writeFile(const std::filesystem::path& p, const Bytes& data) {
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

void setModified(const std::filesystem::path& p, std::time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, p.c_str(), times, 0);
}

std::uint32_t firstPixel(ImageHandle h) {
    const Image* img = findImage(h);
    return (std::uint32_t(img->rgb[0]) << 16) | (std::uint32_t(img->rgb[1]) << 8) | img->rgb[2];
}

TEST(AvatarCache, ShrinksSmallPicturesExactlyAsDrawingThemWould) {
    TempFolder dir;
    const auto path = dir.write("wide.bmp", makeBmp(200, 100, [](int x, int y) {
                                    return std::uint32_t((x * 37) ^ (y * 91)) & 0xFFFFFF;
                                }));
    const ImageHandle full = loadImage(textFromUtf8(path.string()));
    AvatarCache cache;
    const ImageHandle kept = cache.load(textFromUtf8(path.string()), 90, 90);
    ASSERT_NE(kept, 0u);
    EXPECT_EQ(findImage(kept)->width, 90);
    EXPECT_EQ(compare(drawnInBox(kept), drawnInBox(full)).worst, 0);
    unloadImage(kept);
    unloadImage(full);
}

TEST(AvatarCache, LargePicturesStayCloseToTheFullDecode) {
    TempFolder dir;
    const PixelImage big = photo(3000, 2000);
    const auto jpeg = dir.write("big.jpg", encodeJpeg(big, 92));
    const auto bmp = dir.write("big.bmp", encodeBmp24(big));
    for (const auto& path : {jpeg, bmp}) {
        const Text p = textFromUtf8(path.string());
        const ImageHandle full = loadImage(p);
        AvatarCache cache;
        const ImageHandle quick = cache.load(p, 90, 90);
        ASSERT_NE(quick, 0u) << path;
        const Difference d = compare(drawnInBox(quick), drawnInBox(full));
        std::printf("%s: worst channel difference %d, mean %.3f\n", path.filename().c_str(), d.worst, d.mean);
        EXPECT_LE(d.worst, 6) << path;
        EXPECT_LE(d.mean, 0.5) << path;
        unloadImage(quick);
        unloadImage(full);
    }
}

TEST(AvatarCache, ReadsTheFileAgainWhenItChanges) {
    TempFolder dir;
    const auto path = dir.path() / "face.bmp";
    const Text p = textFromUtf8(path.string());
    auto solid = [](std::uint32_t colour) { return makeBmp(40, 40, [=](int, int) { return colour; }); };
    writeFile(path, solid(0xFF0000));
    setModified(path, 1000000);
    AvatarCache cache;
    auto loadFirstPixel = [&] {
        const ImageHandle h = cache.load(p, 90, 90);
        const std::uint32_t c = h ? firstPixel(h) : 0xDEADu;
        unloadImage(h);
        return c;
    };
    EXPECT_EQ(loadFirstPixel(), 0xFF0000u);
    EXPECT_EQ(loadFirstPixel(), 0xFF0000u);
    EXPECT_EQ(cache.decodeCount(), 1u);  // kept while nothing changed

    // Rewritten in place, same size, saved later.
    writeFile(path, solid(0x00FF00));
    setModified(path, 1000060);
    EXPECT_EQ(loadFirstPixel(), 0x00FF00u);

    // Replaced by another file under the same name, even with the old time.
    const auto other = dir.path() / "other.bmp";
    writeFile(other, solid(0x0000FF));
    setModified(other, 1000060);
    std::filesystem::rename(other, path);
    EXPECT_EQ(loadFirstPixel(), 0x0000FFu);

    // Only the modification time changed: read again, same picture.
    const auto before = cache.decodeCount();
    setModified(path, 1000120);
    EXPECT_EQ(loadFirstPixel(), 0x0000FFu);
    EXPECT_EQ(cache.decodeCount(), before + 1);

    // Gone, or no longer a picture: as loadImage, nothing loads.
    writeFile(path, Bytes(100, 'x'));
    EXPECT_EQ(loadFirstPixel(), 0xDEADu);
    std::filesystem::remove(path);
    EXPECT_EQ(loadFirstPixel(), 0xDEADu);
}

TEST(AvatarCache, KeysOnTheBoxSizeAndForgetsAnotherPath) {
    TempFolder dir;
    const Text a = textFromUtf8(dir.write("a.bmp", makeBmp(300, 300, [](int, int) { return 0x123456u; })).string());
    const Text b = textFromUtf8(dir.write("b.bmp", makeBmp(300, 300, [](int, int) { return 0x654321u; })).string());
    AvatarCache cache;
    for (auto [path, w, h, decodes] : {std::tuple{a, 90, 90, 1}, std::tuple{a, 90, 90, 1}, std::tuple{a, 45, 60, 2},
                                       std::tuple{b, 45, 60, 3}, std::tuple{a, 45, 60, 4}}) {
        const ImageHandle handle = cache.load(path, w, h);
        ASSERT_NE(handle, 0u);
        EXPECT_EQ(findImage(handle)->width, w);
        EXPECT_EQ(findImage(handle)->height, h);
        EXPECT_EQ(cache.decodeCount(), std::uint64_t(decodes));
        unloadImage(handle);
    }
}

}  // namespace
}  // namespace vantrelo
