// loadImage against the public test pictures (their README's tables are read at
// test time, so the expected outcomes live in one place), pixel agreements the
// loading rules fix, the file side of loading and the live-handle set.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "graphics/image_loader.h"

namespace vantrelo {
namespace {

namespace fs = std::filesystem;

const fs::path kPublicDir = VANTRELO_TESTDATA_DIR;
const fs::path kLocalDir = VANTRELO_LOCAL_TESTDATA_DIR;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Image decodeFile(const fs::path& path) {
    Image image;
    EXPECT_TRUE(decodeImage(readFile(path), image)) << path;
    return image;
}

// ---------------------------------------------------------------------------
// The README's tables: one row per picture.

struct Expectation {
    std::string path;  // relative to the collection, e.g. "bmp/bmpsuite/g/pal8.bmp"
    std::uint64_t bytes = 0;
    std::string kind;  // "BMP", "JPEG", "icon", "cursor", "GIF", "8-bit PCX", "1-bit PCX", "none ..."
    bool loads = false;
    int width = 0, height = 0;
    std::string flag;  // "rule" or "open"
};

// Where the loader deliberately takes the other acceptable outcome of an open case.
struct Decision {
    const char* path;
    const char* outcome;
    const char* why;
};
const Decision kDecisions[] = {
    {"ico/pillow/hopper_draw.ico", "load 16x16", "PNG-stored icon entries are decoded"},
    {"ico/image-rs/png-32bpp-alpha.ico", "load 32x32", "PNG-stored icon entries are decoded"},
    {"ico/image-rs/Bad_smile-incorrect-image-length.ico", "load 32x32",
     "the directory byte count is not trusted (mask_1.cur stores 8 for an 80-byte bitmap)"},
};

bool parseOutcome(const std::string& text, Expectation& e) {
    std::smatch m;
    if (text == "reject") {
        e.loads = false;
        return true;
    }
    static const std::regex load(R"(load (\d+)x(\d+))");
    if (!std::regex_match(text, m, load)) return false;
    e.loads = true;
    e.width = std::stoi(m[1]);
    e.height = std::stoi(m[2]);
    return true;
}

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 1;  // after the leading '|'
    for (std::size_t bar; (bar = line.find(" | ", start)) != std::string::npos; start = bar + 3)
        cells.push_back(line.substr(start, bar - start));
    cells.push_back(line.substr(start, line.rfind('|') - start));
    for (auto& c : cells) {
        c.erase(0, c.find_first_not_of(' '));
        c.erase(c.find_last_not_of(' ') + 1);
    }
    return cells;
}

std::string unquote(std::string s, char mark) {
    s.erase(std::remove(s.begin(), s.end(), mark), s.end());
    return s;
}

// Reads the per-folder tables ("## BMP (`bmp/`)" and the rows below it).
std::vector<Expectation> readReadme(bool applyDecisions) {
    std::ifstream in(kPublicDir / "README.md");
    std::vector<Expectation> rows;
    static const std::regex section(R"(^## .*\(`(\w+)/`\)\s*$)");
    std::string folder, line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (std::regex_match(line, m, section)) {
            folder = m[1];
            continue;
        }
        if (line.rfind("## ", 0) == 0) folder.clear();
        if (folder.empty() || line.rfind("| `", 0) != 0) continue;
        const auto cells = splitCells(line);
        if (cells.size() < 6) continue;
        Expectation e;
        e.path = folder + "/" + unquote(cells[0], '`');
        e.bytes = std::stoull(cells[1]);
        e.kind = cells[3];
        e.flag = cells[5];
        if (!parseOutcome(unquote(cells[4], '*'), e)) continue;
        rows.push_back(e);
    }
    if (applyDecisions) {
        for (const Decision& d : kDecisions) {
            for (auto& e : rows) {
                if (e.path == d.path && e.flag == "open") parseOutcome(d.outcome, e);
            }
        }
    }
    return rows;
}

const std::vector<Expectation>& expectations() {
    static const std::vector<Expectation> rows = readReadme(true);
    return rows;
}

std::optional<ImageKind> kindNamed(const std::string& name) {
    static const std::map<std::string, ImageKind> kinds = {
        {"BMP", ImageKind::Bmp},    {"JPEG", ImageKind::Jpeg},      {"icon", ImageKind::Icon},
        {"cursor", ImageKind::Cursor}, {"GIF", ImageKind::Gif},     {"8-bit PCX", ImageKind::Pcx8},
        {"1-bit PCX", ImageKind::Pcx1},
    };
    const auto it = kinds.find(name);
    if (it == kinds.end()) return std::nullopt;
    return it->second;
}

TEST(PublicPictureTable, ListsEveryFileOfTheCollectionOnce) {
    const auto rows = readReadme(false);
    std::set<std::string> listed;
    for (const auto& e : rows) EXPECT_TRUE(listed.insert(e.path).second) << "listed twice: " << e.path;
    std::set<std::string> onDisk;
    for (const auto& entry : fs::recursive_directory_iterator(kPublicDir)) {
        if (entry.is_regular_file() && entry.path().filename() != "README.md")
            onDisk.insert(fs::relative(entry.path(), kPublicDir).generic_string());
    }
    EXPECT_EQ(listed, onDisk);
    EXPECT_EQ(rows.size(), 235u);

    // The README's summary: files and expected loads per folder.
    const std::map<std::string, std::pair<int, int>> summary = {
        {"bmp", {108, 46}}, {"jpeg", {41, 29}}, {"gif", {32, 22}}, {"ico", {27, 21}}, {"pcx", {27, 14}}};
    std::map<std::string, std::pair<int, int>> counted;
    for (const auto& e : rows) {
        auto& c = counted[e.path.substr(0, e.path.find('/'))];
        ++c.first;
        c.second += e.loads;
    }
    EXPECT_EQ(counted, summary);
}

TEST(PublicPictureTable, DecisionsOnlyTouchOpenCases) {
    const auto rows = readReadme(false);
    for (const Decision& d : kDecisions) {
        const auto it = std::find_if(rows.begin(), rows.end(), [&](const Expectation& e) { return e.path == d.path; });
        ASSERT_NE(it, rows.end()) << d.path;
        EXPECT_EQ(it->flag, "open") << d.path << ": " << d.why;
    }
}

void PrintTo(const Expectation& e, std::ostream* os) { *os << e.path; }

class PublicPicture : public ::testing::TestWithParam<Expectation> {};

TEST_P(PublicPicture, LoadsAsListed) {
    const Expectation& e = GetParam();
    const fs::path path = kPublicDir / e.path;
    const Bytes bytes = readFile(path);
    ASSERT_EQ(bytes.size(), e.bytes) << "not the listed file";

    EXPECT_EQ(sniffImageKind(bytes), kindNamed(e.kind)) << e.kind;

    const ImageHandle fromPath = loadImage(Text(path.string()));
    const ImageHandle fromBytes = loadImage(bytes);
    if (!e.loads) {
        EXPECT_EQ(fromPath, 0u);
        EXPECT_EQ(fromBytes, 0u);
    } else {
        ASSERT_NE(fromPath, 0u);
        ASSERT_NE(fromBytes, 0u);
        EXPECT_NE(fromPath, fromBytes);
        const Image* image = findImage(fromPath);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, e.width);
        EXPECT_EQ(image->height, e.height);
        EXPECT_EQ(std::optional(image->kind), kindNamed(e.kind));
        EXPECT_EQ(image->rgb.size(), std::size_t(e.width) * e.height * 3);
        const bool iconKind = image->kind == ImageKind::Icon || image->kind == ImageKind::Cursor;
        EXPECT_EQ(image->alpha.size(), iconKind ? std::size_t(e.width) * e.height : 0u);
        EXPECT_EQ(findImage(fromBytes)->rgb, image->rgb) << "path and bytes give different pixels";
    }
    unloadImage(fromPath);
    unloadImage(fromBytes);
    EXPECT_EQ(liveImageCount(), 0u);
}

std::string testName(const ::testing::TestParamInfo<Expectation>& info) {
    std::string name = info.param.path;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Readme, PublicPicture, ::testing::ValuesIn(expectations()), testName);

// ---------------------------------------------------------------------------
// Pixels the rules fix: the same picture stored in different ways decodes alike.

struct SamePixels {
    const char* reference;
    std::vector<const char*> others;
};

void PrintTo(const SamePixels& c, std::ostream* os) { *os << c.reference; }

class SamePicture : public ::testing::TestWithParam<SamePixels> {};

TEST_P(SamePicture, DecodesToTheSamePixels) {
    const Image reference = decodeFile(kPublicDir / GetParam().reference);
    // A reference of one flat colour would let a broken decoder agree with itself.
    std::set<std::array<std::uint8_t, 3>> colours;
    for (std::size_t i = 0; i + 2 < reference.rgb.size(); i += 3)
        colours.insert({reference.rgb[i], reference.rgb[i + 1], reference.rgb[i + 2]});
    EXPECT_GT(colours.size(), 1u);
    for (const char* other : GetParam().others) {
        const Image image = decodeFile(kPublicDir / other);
        EXPECT_EQ(image.width, reference.width) << other;
        EXPECT_EQ(image.height, reference.height) << other;
        EXPECT_TRUE(image.rgb == reference.rgb) << other << " differs from " << GetParam().reference;
        EXPECT_TRUE(image.alpha == reference.alpha) << other << " has another mask";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Collection, SamePicture,
    ::testing::Values(
        // 8 bits: palette after 40-, 108-, 124- and 64-byte headers, top-down rows,
        // spare bytes before the rows, an oversized palette, and the PCX copies.
        SamePixels{"bmp/bmpsuite/g/pal8.bmp",
                   {"bmp/bmpsuite/g/pal8-0.bmp", "bmp/bmpsuite/g/pal8topdown.bmp", "bmp/bmpsuite/g/pal8v4.bmp",
                    "bmp/bmpsuite/g/pal8v5.bmp", "bmp/bmpsuite/q/pal8offs.bmp", "bmp/bmpsuite/q/pal8os2v2.bmp",
                    "bmp/bmpsuite/q/pal8os2v2-sz.bmp", "bmp/bmpsuite/q/pal8os2v2-40sz.bmp",
                    "bmp/bmpsuite/q/pal8oversizepal.bmp", "bmp/derived/bmp_data_named.jpg",
                    "pcx/generated/pal8_pillow.pcx", "pcx/generated/pal8_imagemagick.pcx"}},
        SamePixels{"bmp/bmpsuite/g/rgb24.bmp",
                   {"bmp/bmpsuite/g/rgb24pal.bmp", "bmp/bmpsuite/g/rgb32.bmp", "bmp/bmpsuite/q/rgb24largepal.bmp",
                    "bmp/bmpsuite/q/rgb24lprof.bmp", "bmp/bmpsuite/q/rgb24prof.bmp",
                    "bmp/bmpsuite/q/rgb32fakealpha.bmp", "pcx/generated/rgb24_pillow.pcx"}},
        SamePixels{"bmp/bmpsuite/g/pal1.bmp",
                   {"bmp/bmpsuite/g/pal1wb.bmp", "bmp/bmpsuite/b/badwidth.bmp", "bmp/bmpsuite/b/badheadersize.bmp",
                    "pcx/generated/pal1_v3.pcx"}},
        SamePixels{"bmp/bmpsuite/g/pal8gs.bmp", {"pcx/generated/grey8_pillow.pcx"}},
        SamePixels{"bmp/image-rs/Info_R8_G8_B8.bmp",
                   {"bmp/image-rs/Info_R8_G8_B8_Top_Down.bmp", "bmp/image-rs/Info_A8_R8_G8_B8_Top_Down.bmp",
                    "bmp/image-rs/Info_4_Bit_Top_Down.bmp"}},
        SamePixels{"bmp/image-rs/Info_1_Bit.bmp", {"bmp/image-rs/Info_1_Bit_Top_Down.bmp"}},
        SamePixels{"gif/giflib/treescap.gif", {"gif/giflib/treescap-interlaced.gif", "gif/derived/treescap_no_trailer.gif"}},
        SamePixels{"jpeg/libjpeg-turbo/testorig.jpg",
                   {"jpeg/derived/testorig_progressive.jpg", "jpeg/derived/testorig_no_app0.jpg",
                    "jpeg/derived/jpeg_data_named.bmp"}},
        SamePixels{"jpeg/pillow/hopper_gray.jpg", {"jpeg/derived/hopper_gray_progressive.jpg"}},
        // Mask with 24 bits, alpha with 32 bits and a PNG entry: the same icon.
        SamePixels{"ico/image-rs/bmp-24bpp-mask.ico", {"ico/image-rs/bmp-32bpp-alpha.ico", "ico/image-rs/png-32bpp-alpha.ico"}},
        // Both pick their 32 x 32, 16-colour entry.
        SamePixels{"ico/generated/multi_pick32.cur", {"ico/generated/multi_pick_middle.ico"}}));

TEST(GifPixels, LocalTableWinsOverTheGlobalOne) {
    const Image global = decodeFile(kPublicDir / "gif/giflib/treescap.gif");
    const Image local = decodeFile(kPublicDir / "gif/derived/treescap_lct.gif");
    ASSERT_EQ(local.rgb.size(), global.rgb.size());
    for (std::size_t i = 0; i < local.rgb.size(); ++i) ASSERT_EQ(local.rgb[i], 255 - global.rgb[i]) << "byte " << i;
}

TEST(JpegPixels, GreyscaleRepeatsTheValueIntoRedGreenBlue) {
    for (const char* file : {"jpeg/pillow/hopper_gray.jpg", "jpeg/jpeg-decoder/mozilla/jpg-gray.jpg",
                             "jpeg/derived/hopper_gray_progressive.jpg",
                             "jpeg/jpeg-decoder/grayscale_16x24_sampling2x2.jpg"}) {
        const Image image = decodeFile(kPublicDir / file);
        std::set<std::uint8_t> values;
        for (std::size_t i = 0; i + 2 < image.rgb.size(); i += 3) {
            ASSERT_EQ(image.rgb[i], image.rgb[i + 1]) << file;
            ASSERT_EQ(image.rgb[i], image.rgb[i + 2]) << file;
            values.insert(image.rgb[i]);
        }
        EXPECT_GT(values.size(), 1u) << file;
    }
    // A colour photo is not grey: the check above can tell.
    const Image colour = decodeFile(kPublicDir / "jpeg/libjpeg-turbo/testorig.jpg");
    bool anyColour = false;
    for (std::size_t i = 0; i + 2 < colour.rgb.size(); i += 3)
        anyColour = anyColour || colour.rgb[i] != colour.rgb[i + 1] || colour.rgb[i] != colour.rgb[i + 2];
    EXPECT_TRUE(anyColour);
}

TEST(JpegPixels, TruncatedScanKeepsTheDecodedTop) {
    const Image whole = decodeFile(kPublicDir / "jpeg/libjpeg-turbo/testorig.jpg");
    const Image cut = decodeFile(kPublicDir / "jpeg/derived/testorig_truncated_scan.jpg");
    ASSERT_EQ(cut.rgb.size(), whole.rgb.size());
    // The first rows are complete in the 3000 bytes that are left.
    const std::size_t topRows = std::size_t(whole.width) * 3 * 16;
    EXPECT_TRUE(std::equal(whole.rgb.begin(), whole.rgb.begin() + std::ptrdiff_t(topRows), cut.rgb.begin()));
    EXPECT_FALSE(whole.rgb == cut.rgb);
}

TEST(IconPixels, MaskMakesTheCornersTransparent) {
    const Image smile = decodeFile(kPublicDir / "ico/image-rs/bmp-24bpp-mask.ico");
    ASSERT_EQ(smile.alpha.size(), 32u * 32u);
    EXPECT_EQ(smile.alpha[0], 0);                 // top-left corner
    EXPECT_EQ(smile.alpha[16 * 32 + 16], 255);    // the face
    EXPECT_EQ(std::count(smile.alpha.begin(), smile.alpha.end(), 0), 464);

    // The generated cursor's picked entry has a transparent 9 x 9 top-left corner.
    const Image cursor = decodeFile(kPublicDir / "ico/generated/multi_pick32.cur");
    ASSERT_EQ(cursor.kind, ImageKind::Cursor);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            EXPECT_EQ(cursor.alpha[std::size_t(y * 32 + x)], (x < 9 && y < 9) ? 0 : 255) << x << "," << y;
        }
    }
}

// ---------------------------------------------------------------------------
// Sources that give no picture, and the file side of loading.

class LoaderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("vantrelo_loader_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        fs::remove_all(m_dir);
        EXPECT_EQ(liveImageCount(), 0u);
    }
    fs::path m_dir;
};

TEST_F(LoaderFiles, SourcesWithoutAPictureGiveZero) {
    ASSERT_EQ(::mkfifo((m_dir / "pipe.bmp").c_str(), 0600), 0);
    const struct {
        const char* what;
        std::string path;
    } cases[] = {
        {"empty path", ""},
        {"missing file", (m_dir / "missing.bmp").string()},
        {"folder", m_dir.string()},
        {"five-byte file", (kPublicDir / "bmp/derived/five_bytes.bmp").string()},
        {"PNG file", (kPublicDir / "jpeg/jpeg-decoder/mozilla/jpg-size-6x6.jpg").string()},
        {"empty file", (kPublicDir / "jpeg/jpeg-decoder/crashtest/empty.jpg").string()},
        // A pipe or a device is no picture file; opening must not wait for a writer.
        {"named pipe", (m_dir / "pipe.bmp").string()},
        {"device", "/dev/zero"},
    };
    for (const auto& c : cases) EXPECT_EQ(loadImage(Text(c.path)), 0u) << c.what;
    EXPECT_EQ(loadImage(Bytes{}), 0u);
    EXPECT_EQ(loadImage(Bytes{0x42, 0x4D, 0x26, 0x24, 0x00}), 0u);
}

TEST_F(LoaderFiles, GbkPathOpensTheFileOfThatName) {
    fs::copy_file(kPublicDir / "bmp/bmpsuite/g/pal8.bmp", m_dir / u8"\u5934\u50cf.bmp");
    // "头像.bmp" in GBK.
    const Text path((m_dir.string() + "/" + "\xcd\xb7\xcf\xf1" /* 头像 */ ".bmp").c_str());
    const ImageHandle handle = loadImage(path);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(findImage(handle)->width, 127);
    unloadImage(handle);
}

TEST_F(LoaderFiles, LargeFileLoadsThroughTheMapping) {
    // 2400 x 2400 at 24 bits: over 17 MB, above the size that is mapped rather than copied.
    const std::int32_t side = 2400;
    const std::uint32_t stride = side * 3, pixelBytes = stride * side;
    Bytes bmp = {'B', 'M'};
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp.push_back(std::uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](std::uint16_t v) {
        bmp.push_back(std::uint8_t(v));
        bmp.push_back(std::uint8_t(v >> 8));
    };
    put32(54 + pixelBytes), put32(0), put32(54);
    put32(40), put32(side), put32(std::uint32_t(-side)), put16(1), put16(24), put32(0);
    put32(0), put32(0), put32(0), put32(0), put32(0);
    bmp.resize(54 + pixelBytes, 0x80);
    // Last pixel (top-down rows): blue 1, green 2, red 3.
    bmp[bmp.size() - 3] = 1, bmp[bmp.size() - 2] = 2, bmp[bmp.size() - 1] = 3;
    writeFile(m_dir / "large.bmp", bmp);

    const ImageHandle handle = loadImage(Text((m_dir / "large.bmp").string()));
    ASSERT_NE(handle, 0u);
    const Image* image = findImage(handle);
    EXPECT_EQ(image->width, side);
    EXPECT_EQ(image->height, side);
    const auto last = image->rgb.end() - 3;
    EXPECT_EQ((std::vector<std::uint8_t>(last, image->rgb.end())), (std::vector<std::uint8_t>{3, 2, 1}));
    EXPECT_EQ(image->rgb[0], 0x80);
    unloadImage(handle);
}

// ---------------------------------------------------------------------------
// The live-handle set.

TEST(LiveHandles, UnloadOfDeadOrMadeUpHandlesIsHarmless) {
    const Bytes bmp = readFile(kPublicDir / "bmp/bmpsuite/g/pal1.bmp");
    const ImageHandle first = loadImage(bmp);
    const ImageHandle second = loadImage(bmp);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(liveImageCount(), 2u);

    unloadImage(first);
    EXPECT_EQ(findImage(first), nullptr);
    unloadImage(first);  // twice
    unloadImage(0);
    unloadImage(0xDEADBEEF);
    EXPECT_EQ(findImage(0), nullptr);
    EXPECT_EQ(findImage(0xDEADBEEF), nullptr);
    ASSERT_NE(findImage(second), nullptr);  // the other picture is untouched
    EXPECT_EQ(findImage(second)->width, 127);
    EXPECT_EQ(liveImageCount(), 1u);
    unloadImage(second);
    EXPECT_EQ(liveImageCount(), 0u);
}

TEST(LiveHandles, FailedLoadAddsNothing) {
    EXPECT_EQ(loadImage(readFile(kPublicDir / "bmp/bmpsuite/g/rgb16.bmp")), 0u);
    EXPECT_EQ(liveImageCount(), 0u);
}

}  // namespace
}  // namespace vantrelo
