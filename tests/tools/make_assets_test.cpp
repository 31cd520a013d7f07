// The committed built-in pictures: their file format facts, the legibility of white text on the
// card backgrounds, and that the generator reproduces them byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

namespace vantrelo {
namespace {

namespace fs = std::filesystem;

const fs::path sourceDir = VANTRELO_SOURCE_DIR;

std::vector<unsigned char> readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void onJpegError(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); }

struct JpegInfo {
  bool ok = false;
  int width = 0, height = 0, components = 0;
  J_COLOR_SPACE colourSpace = JCS_UNKNOWN;
  bool jfif = false;
  int jfifMajor = 0, jfifMinor = 0, densityUnit = -1, xDensity = 0, yDensity = 0;
  bool progressive = false;
  std::vector<std::pair<int, int>> sampling;  // h, v per component
  std::vector<int> quantValues;               // every value of every table the components use
  std::vector<unsigned char> rgb;
};

// Header facts and RGB pixels, as the program's own decoder (libjpeg) sees them.
JpegInfo decodeJpeg(const std::vector<unsigned char>& bytes) {
  JpegInfo info;
  jpeg_decompress_struct cinfo{};
  JpegError err{};
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = onJpegError;
  jpeg_create_decompress(&cinfo);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return JpegInfo{};
  }
  jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  info.width = cinfo.image_width;
  info.height = cinfo.image_height;
  info.components = cinfo.num_components;
  info.colourSpace = cinfo.jpeg_color_space;
  info.jfif = cinfo.saw_JFIF_marker;
  info.jfifMajor = cinfo.JFIF_major_version;
  info.jfifMinor = cinfo.JFIF_minor_version;
  info.densityUnit = cinfo.density_unit;
  info.xDensity = cinfo.X_density;
  info.yDensity = cinfo.Y_density;
  info.progressive = cinfo.progressive_mode;
  for (int c = 0; c < cinfo.num_components; ++c) {
    const jpeg_component_info& ci = cinfo.comp_info[c];
    info.sampling.emplace_back(ci.h_samp_factor, ci.v_samp_factor);
    const JQUANT_TBL* q = cinfo.quant_tbl_ptrs[ci.quant_tbl_no];
    if (q)
      for (int k = 0; k < DCTSIZE2; ++k) info.quantValues.push_back(q->quantval[k]);
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  info.rgb.resize(static_cast<std::size_t>(info.width) * info.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = info.rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * info.width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  info.ok = true;
  return info;
}

// The start-of-frame marker that the file uses (0xC0 baseline, 0xC1 extended, 0xC2 progressive).
int frameMarker(const std::vector<unsigned char>& b) {
  std::size_t i = 2;
  while (i + 4 <= b.size() && b[i] == 0xFF) {
    int marker = b[i + 1];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) return marker;
    if (marker == 0xDA) break;
    i += 2 + (b[i + 2] << 8 | b[i + 3]);
  }
  return -1;
}

struct JpegCase {
  const char* path;
  int width, height;
  int densityUnit, density;
  int lumaSampling;  // 2 for 2 x 2 chroma subsampling, 1 for none
  std::size_t minBytes, maxBytes;
};

const JpegCase jpegCases[] = {
    {"card/assets/template1.jpg", 300, 140, 1, 96, 2, 5000, 8000},
    {"card/assets/template2.jpg", 300, 140, 1, 96, 2, 5000, 8000},
    {"card/assets/template3.jpg", 300, 140, 1, 96, 2, 5000, 8000},
    {"card/assets/template4.jpg", 300, 140, 1, 96, 2, 5000, 8000},
    {"card/assets/template5.jpg", 300, 140, 1, 96, 2, 5000, 8000},
    {"card/assets/template6.jpg", 300, 140, 1, 96, 2, 5000, 8000},
    {"card/assets/template7.jpg", 300, 140, 1, 96, 2, 5000, 8000},
    {"card/assets/default_avatar.jpg", 90, 90, 0, 1, 1, 3000, 9000},
    {"shell/assets/preview_checkerboard.jpg", 16, 16, 0, 1, 1, 100, 1000},
};

TEST(BuiltInPictures, JpegFilesHaveTheirFormat) {
  for (const JpegCase& c : jpegCases) {
    SCOPED_TRACE(c.path);
    std::vector<unsigned char> bytes = readFile(sourceDir / c.path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_GE(bytes.size(), c.minBytes);
    EXPECT_LE(bytes.size(), c.maxBytes);
    EXPECT_EQ(frameMarker(bytes), 0xC0);
    JpegInfo info = decodeJpeg(bytes);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(info.height, c.height);
    EXPECT_TRUE(info.jfif);
    EXPECT_EQ(info.jfifMajor, 1);
    EXPECT_EQ(info.jfifMinor, 1);
    EXPECT_EQ(info.densityUnit, c.densityUnit);
    EXPECT_EQ(info.xDensity, c.density);
    EXPECT_EQ(info.yDensity, c.density);
    EXPECT_FALSE(info.progressive);
    EXPECT_EQ(info.components, 3);
    EXPECT_EQ(info.colourSpace, JCS_YCbCr);
    ASSERT_EQ(info.sampling.size(), 3u);
    EXPECT_EQ(info.sampling[0], std::make_pair(c.lumaSampling, c.lumaSampling));
    EXPECT_EQ(info.sampling[1], std::make_pair(1, 1));
    EXPECT_EQ(info.sampling[2], std::make_pair(1, 1));
  }
}

TEST(BuiltInPictures, CheckerboardIsLosslessWhiteAndGrey) {
  JpegInfo info = decodeJpeg(readFile(sourceDir / "shell/assets/preview_checkerboard.jpg"));
  ASSERT_TRUE(info.ok);
  ASSERT_EQ(info.width, 16);
  ASSERT_EQ(info.height, 16);
  ASSERT_FALSE(info.quantValues.empty());
  for (int q : info.quantValues) EXPECT_EQ(q, 1);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      int want = ((x < 8) == (y < 8)) ? 255 : 223;
      for (int ch = 0; ch < 3; ++ch)
        EXPECT_NEAR(info.rgb[(y * 16 + x) * 3 + ch], want, 1) << "at " << x << "," << y;
    }
}

double linear(unsigned char v) {
  double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Mean brightness (0..255) of the ring of stamp paper between the avatar box and the thin line
// round it: one pixel outside the box on every side.
double stampPaperBrightness(const JpegInfo& info) {
  double sum = 0;
  int n = 0;
  auto add = [&](int x, int y) {
    const unsigned char* p = &info.rgb[(static_cast<std::size_t>(y) * info.width + x) * 3];
    sum += (p[0] + p[1] + p[2]) / 3.0;
    ++n;
  };
  for (int i = 12; i < 102; ++i) {
    add(i, 31);
    add(i, 122);
    add(11, i + 20);
    add(102, i + 20);
  }
  return sum / n;
}

TEST(BuiltInPictures, WhiteTextIsReadableOnEveryTemplate) {
  for (int n = 1; n <= 7; ++n) {
    SCOPED_TRACE("template" + std::to_string(n));
    JpegInfo info = decodeJpeg(readFile(sourceDir / ("card/assets/template" + std::to_string(n) + ".jpg")));
    ASSERT_TRUE(info.ok);
    ASSERT_EQ(info.width, 300);
    ASSERT_EQ(info.height, 140);
    std::vector<double> ratios;
    for (int y = 30; y < 113; ++y)
      for (int x = 120; x < 295; ++x) {
        const unsigned char* p = &info.rgb[(static_cast<std::size_t>(y) * 300 + x) * 3];
        double lum = 0.2126 * linear(p[0]) + 0.7152 * linear(p[1]) + 0.0722 * linear(p[2]);
        ratios.push_back(1.05 / (lum + 0.05));
      }
    std::sort(ratios.begin(), ratios.end());
    EXPECT_GE(ratios[ratios.size() / 2], 4.5) << "median pixel";
    EXPECT_GE(ratios[ratios.size() / 20], 3.0) << "5th-percentile pixel";
    // Stamp paper: white for the first three templates, black for the others.
    double paper = stampPaperBrightness(info);
    if (n <= 3)
      EXPECT_GT(paper, 235);
    else
      EXPECT_LT(paper, 30);
  }
}

struct PngInfo {
  bool ok = false;
  unsigned width = 0, height = 0;
  int colourType = -1, bitDepth = 0;
  std::vector<unsigned char> rgba;
};

PngInfo readPng(const fs::path& path) {
  PngInfo info;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return info;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop pi = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &pi, nullptr);
    std::fclose(f);
    return PngInfo{};
  }
  png_init_io(png, f);
  png_read_info(png, pi);
  info.width = png_get_image_width(png, pi);
  info.height = png_get_image_height(png, pi);
  info.colourType = png_get_color_type(png, pi);
  info.bitDepth = png_get_bit_depth(png, pi);
  if (info.colourType == PNG_COLOR_TYPE_RGBA && info.bitDepth == 8) {
    info.rgba.resize(static_cast<std::size_t>(info.width) * info.height * 4);
    for (unsigned y = 0; y < info.height; ++y) png_read_row(png, info.rgba.data() + y * info.width * 4, nullptr);
  }
  png_destroy_read_struct(&png, &pi, nullptr);
  std::fclose(f);
  info.ok = true;
  return info;
}

TEST(BuiltInPictures, IconsAreRgbaAtEachSize) {
  for (unsigned size : {16u, 24u, 32u, 48u}) {
    SCOPED_TRACE("icon" + std::to_string(size));
    PngInfo info = readPng(sourceDir / ("app/assets/icon" + std::to_string(size) + ".png"));
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.width, size);
    EXPECT_EQ(info.height, size);
    ASSERT_EQ(info.colourType, PNG_COLOR_TYPE_RGBA);
    ASSERT_EQ(info.bitDepth, 8);
    // A shaped icon: clear corners, an opaque middle.
    EXPECT_EQ(info.rgba[3], 0);
    std::size_t mid = (static_cast<std::size_t>(size / 2) * size + size / 2) * 4;
    EXPECT_EQ(info.rgba[mid + 3], 255);
  }
}

TEST(BuiltInPictures, GeneratorReproducesTheCommittedFiles) {
  const fs::path generator = fs::path(VANTRELO_BIN_DIR) / "vantrelo-make-assets";
  ASSERT_TRUE(fs::exists(generator)) << generator;
  const fs::path out = fs::temp_directory_path() / ("vantrelo-assets-" + std::to_string(::getpid()));
  fs::remove_all(out);
  std::string cmd = "\"" + generator.string() + "\" \"" + out.string() + "\" > /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const char* files[] = {
      "card/assets/template1.jpg", "card/assets/template2.jpg", "card/assets/template3.jpg",
      "card/assets/template4.jpg", "card/assets/template5.jpg", "card/assets/template6.jpg",
      "card/assets/template7.jpg", "card/assets/default_avatar.jpg", "shell/assets/preview_checkerboard.jpg",
      "app/assets/icon16.png",     "app/assets/icon24.png",     "app/assets/icon32.png",
      "app/assets/icon48.png",     "app/assets/vantrelo.svg",
  };
  for (const char* f : files) {
    SCOPED_TRACE(f);
    std::vector<unsigned char> made = readFile(out / f);
    ASSERT_FALSE(made.empty());
    EXPECT_TRUE(made == readFile(sourceDir / f)) << "regenerated file differs; rerun vantrelo-make-assets";
  }
  fs::remove_all(out);
}

}  // namespace
}  // namespace vantrelo
