// vantrelo-bench: the cost of one composition (one keystroke's redraw) with
// avatars of several kinds and sizes, and of the steps inside it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/encoding.h"
#include "bench/heap_tracking.h"
#include "card/avatar_cache.h"
#include "card/card_template.h"
#include "card/headless_card.h"
#include "graphics/bmp_writer.h"
#include "graphics/encoders/encoders.h"
#include "graphics/image_loader.h"

namespace vantrelo {
namespace {

namespace fs = std::filesystem;

// A photo-like picture: smooth colour fields with some texture, so JPEG has
// real work to do.
PixelImage makePhoto(std::int32_t width, std::int32_t height) {
    PixelImage p;
    p.width = width;
    p.height = height;
    p.pixels.resize(std::size_t(width) * height);
    std::uint32_t noise = 12345;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = int((noise >> 16) & 15) - 8;
            const int r = std::clamp(int(128 + 100 * std::sin(x * 0.004)) + n, 0, 255);
            const int g = std::clamp(int(128 + 100 * std::cos(y * 0.005)) + n, 0, 255);
            const int b = std::clamp(int((x + y) * 255.0 / (width + height)) + n, 0, 255);
            p.pixels[std::size_t(y) * width + x] = 0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
        }
    }
    return p;
}

struct Avatars {
    fs::path folder;
    fs::path jpeg640, jpeg6000, bmp4000;
    Avatars() {
        folder = fs::temp_directory_path() / ("vantrelo-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        jpeg640 = write("photo_640x480.jpg", encodeJpeg(makePhoto(640, 480), 90));
        jpeg6000 = write("photo_6000x4000.jpg", encodeJpeg(makePhoto(6000, 4000), 90));
        bmp4000 = write("photo_4000x3000.bmp", encodeBmp24(makePhoto(4000, 3000)));
    }
    ~Avatars() { fs::remove_all(folder); }
    fs::path write(const std::string& name, const Bytes& data) const {
        const fs::path p = folder / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        return p;
    }
};

const Avatars& avatars() {
    static const Avatars a;
    return a;
}

// The texts the window starts with.
CardRequest startRequest(const fs::path& avatar) {
    CardRequest r;
    r.lines[0] = Text("Morvidane");
    r.lines[1] = Text("www.morvidane.example");
    r.lines[2] = Text("\xb9\xdc\xc0\xed\xd4\xb1");  // 管理员
    r.lines[3] = Text("morvidane@morvidane.example");
    if (!avatar.empty()) r.avatarPath = textFromUtf8(avatar.string());
    return r;
}

enum class Avatar { Kept, ReadEveryTime };

// One composition per iteration, as one keystroke does. The heap peak covers
// the first composition with this avatar too, when its file is decoded.
void runRender(benchmark::State& state, const fs::path& avatar, Avatar mode = Avatar::Kept) {
    loadTemplateCatalogue();
    {
        HeadlessCard warm;
        warm.render(startRequest({}));  // fonts and glyphs are looked up once per process
    }
    avatarCache().clear();
    const std::size_t before = bench::heapInUse();
    bench::resetHeapPeak();
    HeadlessCard card;
    const CardRequest request = startRequest(avatar);
    card.render(request);
    for (auto _ : state) {
        if (mode == Avatar::ReadEveryTime) avatarCache().clear();
        benchmark::DoNotOptimize(card.render(request).backingImage());
    }
    state.counters["peak_added_MB"] = double(bench::heapPeak() - before) / (1024.0 * 1024.0);
}

void renderDefaultAvatar(benchmark::State& s) { runRender(s, {}); }
void renderJpeg640(benchmark::State& s) { runRender(s, avatars().jpeg640); }
void renderJpeg6000(benchmark::State& s) { runRender(s, avatars().jpeg6000); }
void renderBmp4000(benchmark::State& s) { runRender(s, avatars().bmp4000); }

BENCHMARK(renderDefaultAvatar)->Name("renderCard/default_avatar")->Unit(benchmark::kMillisecond);
BENCHMARK(renderJpeg640)->Name("renderCard/jpeg_640x480")->Unit(benchmark::kMillisecond);
BENCHMARK(renderJpeg6000)->Name("renderCard/jpeg_6000x4000")->Unit(benchmark::kMillisecond);
BENCHMARK(renderBmp4000)->Name("renderCard/bmp_4000x3000")->Unit(benchmark::kMillisecond);
// The first composition after an avatar is chosen or its file changes.
void renderJpeg6000Cold(benchmark::State& s) { runRender(s, avatars().jpeg6000, Avatar::ReadEveryTime); }
void renderBmp4000Cold(benchmark::State& s) { runRender(s, avatars().bmp4000, Avatar::ReadEveryTime); }
BENCHMARK(renderJpeg6000Cold)->Name("renderCard/jpeg_6000x4000_first")->Unit(benchmark::kMillisecond);
BENCHMARK(renderBmp4000Cold)->Name("renderCard/bmp_4000x3000_first")->Unit(benchmark::kMillisecond);

void loadBuiltInTemplate(benchmark::State& state) {
    const Bytes jpeg = builtInTemplateImage(1);
    for (auto _ : state) {
        const ImageHandle h = loadImage(jpeg);
        benchmark::DoNotOptimize(h);
        unloadImage(h);
    }
}
BENCHMARK(loadBuiltInTemplate)->Name("loadImage/template_jpeg_300x140")->Unit(benchmark::kMicrosecond);

void loadPath(benchmark::State& state, const fs::path& path) {
    const Text p = textFromUtf8(path.string());
    bench::resetHeapPeak();
    const std::size_t before = bench::heapInUse();
    for (auto _ : state) {
        const ImageHandle h = loadImage(p);
        benchmark::DoNotOptimize(h);
        unloadImage(h);
    }
    state.counters["peak_added_MB"] = double(bench::heapPeak() - before) / (1024.0 * 1024.0);
}
void loadJpeg6000(benchmark::State& s) { loadPath(s, avatars().jpeg6000); }
void loadBmp4000(benchmark::State& s) { loadPath(s, avatars().bmp4000); }
BENCHMARK(loadJpeg6000)->Name("loadImage/jpeg_6000x4000")->Unit(benchmark::kMillisecond);
BENCHMARK(loadBmp4000)->Name("loadImage/bmp_4000x3000")->Unit(benchmark::kMillisecond);

void writeTextLine(benchmark::State& state) {
    Canvas canvas;
    canvas.setWidth(300);
    canvas.setHeight(140);
    canvas.setTextColour(0xFFFFFF);
    // 论坛昵称：Morvidane 管理员
    const Text line("\xc2\xdb\xcc\xb3\xea\xc7\xb3\xc6\xa3\xba" "Morvidane \xb9\xdc\xc0\xed\xd4\xb1");
    canvas.writeText(120, 32, line);
    for (auto _ : state) canvas.writeText(120, 32, line);
}
BENCHMARK(writeTextLine)->Name("writeText/label_and_20_chars")->Unit(benchmark::kMicrosecond);

void snapshotCard(benchmark::State& state) {
    loadTemplateCatalogue();
    HeadlessCard card;
    const Canvas& preview = card.render(startRequest({}));
    for (auto _ : state) benchmark::DoNotOptimize(preview.snapshotBmp());
}
BENCHMARK(snapshotCard)->Name("snapshotBmp/card_300x140")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantrelo

BENCHMARK_MAIN();
