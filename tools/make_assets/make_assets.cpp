// vantrelo-make-assets: draws the program's built-in pictures (the seven card backgrounds, the
// default avatar, the preview checkerboard and the program icon) and writes them as JPEG and PNG.
//
// Everything is drawn from code with signed-distance shapes, so the output is the same bytes on
// every run with the same libraries and font. The committed files under card/assets,
// shell/assets and app/assets are what the program embeds; run this by hand when they change:
//
//   vantrelo-make-assets OUTPUT_ROOT              writes the assets under OUTPUT_ROOT
//   vantrelo-make-assets --preview OUTPUT_DIR     also writes PNG mock cards for eyeballing

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <jpeglib.h>
#include <png.h>

namespace vantrelo {
namespace {

// ---------------------------------------------------------------------------------------------
// Raster and colour

struct Rgb {
  float r = 0, g = 0, b = 0;
};

Rgb hex(std::uint32_t v) {
  return {((v >> 16) & 0xFF) / 255.0f, ((v >> 8) & 0xFF) / 255.0f, (v & 0xFF) / 255.0f};
}

Rgb mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float smoothstep(float e0, float e1, float x) {
  float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Straight (not premultiplied) colour with coverage; the icons need alpha, the JPEGs ignore it.
class Raster {
 public:
  Raster(int w, int h, Rgb fill = {}, float alpha = 1) : w_(w), h_(h), px_(w * h, fill), a_(w * h, alpha) {}
  int width() const { return w_; }
  int height() const { return h_; }
  Rgb& at(int x, int y) { return px_[y * w_ + x]; }
  Rgb at(int x, int y) const { return px_[y * w_ + x]; }
  float alphaAt(int x, int y) const { return a_[y * w_ + x]; }

  // Source-over blend of colour c with coverage a.
  void blend(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
    a = std::min(a, 1.0f);
    std::size_t i = y * w_ + x;
    float da = a_[i];
    float oa = a + da * (1 - a);
    if (oa <= 0) return;
    Rgb d = px_[i];
    px_[i] = {(c.r * a + d.r * da * (1 - a)) / oa, (c.g * a + d.g * da * (1 - a)) / oa,
              (c.b * a + d.b * da * (1 - a)) / oa};
    a_[i] = oa;
  }

  std::vector<unsigned char> rgb8() const {
    std::vector<unsigned char> out(w_ * h_ * 3);
    for (std::size_t i = 0; i < px_.size(); ++i) {
      out[i * 3] = to8(px_[i].r);
      out[i * 3 + 1] = to8(px_[i].g);
      out[i * 3 + 2] = to8(px_[i].b);
    }
    return out;
  }

  std::vector<unsigned char> rgba8() const {
    std::vector<unsigned char> out(w_ * h_ * 4);
    for (std::size_t i = 0; i < px_.size(); ++i) {
      // Fully transparent pixels carry black so that resampling viewers do not bleed colour.
      bool clear = to8(a_[i]) == 0;
      out[i * 4] = clear ? 0 : to8(px_[i].r);
      out[i * 4 + 1] = clear ? 0 : to8(px_[i].g);
      out[i * 4 + 2] = clear ? 0 : to8(px_[i].b);
      out[i * 4 + 3] = to8(a_[i]);
    }
    return out;
  }

 private:
  static unsigned char to8(float v) { return static_cast<unsigned char>(std::lround(clamp01(v) * 255.0f)); }
  int w_, h_;
  std::vector<Rgb> px_;
  std::vector<float> a_;
};

// ---------------------------------------------------------------------------------------------
// Signed distances (negative inside), sampled at pixel centres. Coverage of a one-pixel-wide
// ramp across the edge gives the anti-aliasing.

float coverage(float d) { return clamp01(0.5f - d); }

float sdBox(float x, float y, float cx, float cy, float hw, float hh, float radius = 0) {
  float qx = std::fabs(x - cx) - hw + radius;
  float qy = std::fabs(y - cy) - hh + radius;
  float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

// Box given by its pixel edges [l, r) x [t, b).
float sdRect(float x, float y, float l, float t, float r, float b, float radius = 0) {
  return sdBox(x, y, (l + r) / 2, (t + b) / 2, (r - l) / 2, (b - t) / 2, radius);
}

float sdCircle(float x, float y, float cx, float cy, float r) { return std::hypot(x - cx, y - cy) - r; }

float sdSegment(float x, float y, float ax, float ay, float bx, float by, float halfWidth) {
  float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
  float h = clamp01((px * dx + py * dy) / (dx * dx + dy * dy));
  return std::hypot(px - dx * h, py - dy * h) - halfWidth;
}

template <class Sdf>
void fillShape(Raster& img, Rgb c, float alpha, Sdf sdf) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      float cov = coverage(sdf(x + 0.5f, y + 0.5f));
      if (cov > 0) img.blend(x, y, c, cov * alpha);
    }
}

// The perforated edge of a postage stamp: a square with round bites along every side, one at
// each corner and evenly spaced in between.
struct Stamp {
  float cx, cy, half, holeRadius;
  int holesPerSide;

  float sdf(float x, float y) const {
    float d = sdBox(x, y, cx, cy, half, half);
    float pitch = 2 * half / holesPerSide;
    // Nearest hole on the nearest vertical and horizontal sides.
    float best = 1e9f;
    for (float sx : {cx - half, cx + half}) {
      float k = std::round((y - (cy - half)) / pitch);
      k = std::clamp(k, 0.0f, static_cast<float>(holesPerSide));
      best = std::min(best, sdCircle(x, y, sx, cy - half + k * pitch, holeRadius));
    }
    for (float sy : {cy - half, cy + half}) {
      float k = std::round((x - (cx - half)) / pitch);
      k = std::clamp(k, 0.0f, static_cast<float>(holesPerSide));
      best = std::min(best, sdCircle(x, y, cx - half + k * pitch, sy, holeRadius));
    }
    return std::max(d, -best);
  }
};

// ---------------------------------------------------------------------------------------------
// Text through FreeType, with the face found by fontconfig.

std::vector<char32_t> decodeUtf8(std::string_view s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
    for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}

class Font {
 public:
  Font(FT_Library lib, const std::string& file, int index, int pixelSize) {
    if (FT_New_Face(lib, file.c_str(), index, &face_) != 0) {
      std::fprintf(stderr, "vantrelo-make-assets: cannot open font %s\n", file.c_str());
      std::exit(1);
    }
    if (FT_IS_SCALABLE(face_)) {
      FT_Set_Pixel_Sizes(face_, 0, pixelSize);
    } else {
      FT_Select_Size(face_, 0);
    }
  }
  ~Font() { FT_Done_Face(face_); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  float ascent() const { return face_->size->metrics.ascender / 64.0f; }

  float measure(std::string_view utf8) const {
    float w = 0;
    for (char32_t cp : decodeUtf8(utf8)) {
      if (FT_Load_Char(face_, cp, FT_LOAD_DEFAULT) == 0) w += face_->glyph->advance.x / 64.0f;
    }
    return w;
  }

  // Draws with the baseline at y. embolden widens the outline by that many pixels.
  void draw(Raster& img, std::string_view utf8, float x, float baseline, Rgb c, float alpha = 1,
            float embolden = 0) const {
    float pen = std::round(x);
    int base = static_cast<int>(std::lround(baseline));
    for (char32_t cp : decodeUtf8(utf8)) {
      bool scalable = FT_IS_SCALABLE(face_);
      FT_Int32 flags = scalable ? (FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) : FT_LOAD_DEFAULT;
      if (FT_Load_Char(face_, cp, flags) != 0) continue;
      FT_GlyphSlot g = face_->glyph;
      if (g->format == FT_GLYPH_FORMAT_OUTLINE && embolden > 0)
        FT_Outline_Embolden(&g->outline, static_cast<FT_Pos>(std::lround(embolden * 64)));
      if (g->format != FT_GLYPH_FORMAT_BITMAP &&
          FT_Render_Glyph(g, scalable ? FT_RENDER_MODE_LIGHT : FT_RENDER_MODE_MONO) != 0)
        continue;
      const FT_Bitmap& bm = g->bitmap;
      int ox = static_cast<int>(pen) + g->bitmap_left;
      int oy = base - g->bitmap_top;
      for (unsigned row = 0; row < bm.rows; ++row)
        for (unsigned col = 0; col < bm.width; ++col) {
          const unsigned char* line = bm.buffer + static_cast<long>(row) * bm.pitch;
          float cov = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((line[col >> 3] >> (7 - (col & 7))) & 1)
                                                          : line[col] / 255.0f;
          img.blend(ox + static_cast<int>(col), oy + static_cast<int>(row), c, cov * alpha);
        }
      pen += std::round(g->advance.x / 64.0f);
    }
  }

 private:
  FT_Face face_ = nullptr;
};

struct FontFile {
  std::string path;
  int index = 0;
};

// The pictures are pinned to one face so that a newly installed font cannot change their bytes.
FontFile findCjkFont() {
  FcInit();
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>("WenQuanYi Micro Hei:lang=zh-cn"));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res;
  FcPattern* match = FcFontMatch(nullptr, pat, &res);
  FontFile out;
  FcChar8* family = nullptr;
  FcChar8* file = nullptr;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
      std::string_view(reinterpret_cast<char*>(family)) == "WenQuanYi Micro Hei" &&
      FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    out.path = reinterpret_cast<char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pat);
  FcFini();  // leaves nothing behind for leak checkers in sanitized builds
  if (out.path.empty()) {
    std::fprintf(stderr, "vantrelo-make-assets: the font WenQuanYi Micro Hei (fonts-wqy-microhei) is missing\n");
    std::exit(1);
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Encoders

struct JpegOptions {
  int quality = 90;
  bool subsampleChroma = true;  // 2 x 2 luma sampling against 1 x 1 chroma
  int densityUnit = 0;
  int density = 1;
  bool unitQuantisation = false;  // every quantisation value 1: near lossless
};

std::vector<unsigned char> encodeJpeg(const Raster& img, const JpegOptions& opt) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = img.width();
  cinfo.image_height = img.height();
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.optimize_coding = TRUE;
  cinfo.write_JFIF_header = TRUE;
  cinfo.JFIF_major_version = 1;
  cinfo.JFIF_minor_version = 1;
  cinfo.density_unit = static_cast<UINT8>(opt.densityUnit);
  cinfo.X_density = static_cast<UINT16>(opt.density);
  cinfo.Y_density = static_cast<UINT16>(opt.density);
  if (opt.unitQuantisation) {
    std::array<unsigned int, DCTSIZE2> ones;
    ones.fill(1);
    jpeg_add_quant_table(&cinfo, 0, ones.data(), 100, TRUE);
    jpeg_add_quant_table(&cinfo, 1, ones.data(), 100, TRUE);
  } else {
    jpeg_set_quality(&cinfo, opt.quality, TRUE);
  }
  int luma = opt.subsampleChroma ? 2 : 1;
  cinfo.comp_info[0].h_samp_factor = luma;
  cinfo.comp_info[0].v_samp_factor = luma;
  for (int c = 1; c < 3; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> rgb = img.rgb8();
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = rgb.data() + static_cast<std::size_t>(cinfo.next_scanline) * img.width() * 3;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<unsigned char> out(mem, mem + memSize);
  jpeg_destroy_compress(&cinfo);
  std::free(mem);
  return out;
}

struct Decoded {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

Decoded decodeJpeg(const std::vector<unsigned char>& bytes) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  Decoded d{static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), {}};
  d.rgb.resize(static_cast<std::size_t>(d.width) * d.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = d.rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * d.width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return d;
}

void writePngFile(const std::filesystem::path& path, const Raster& img, bool alpha) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "vantrelo-make-assets: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    std::fprintf(stderr, "vantrelo-make-assets: PNG error on %s\n", path.c_str());
    std::exit(1);
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, img.width(), img.height(), 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  std::vector<unsigned char> data = alpha ? img.rgba8() : img.rgb8();
  std::size_t stride = static_cast<std::size_t>(img.width()) * (alpha ? 4 : 3);
  for (int y = 0; y < img.height(); ++y) png_write_row(png, data.data() + y * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

void writeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "vantrelo-make-assets: cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

// ---------------------------------------------------------------------------------------------
// Card backgrounds

constexpr int cardWidth = 300;
constexpr int cardHeight = 140;
constexpr int bandHeight = 22;
// The avatar box of every template, and the centre of the stamp drawn around it.
constexpr float avatarLeft = 12, avatarTop = 32, avatarSize = 90;
constexpr float stampCx = avatarLeft + avatarSize / 2, stampCy = avatarTop + avatarSize / 2;

struct Streak {
  float y0;      // height at x = 0
  float slope;   // rise per pixel
  float amp;     // height of the wave
  float period;  // length of one wave, in pixels
  float phase;   // in turns
  float width;   // half width of the soft band
  float alpha;   // strength at the centre
};

struct Palette {
  Rgb topLeft, bottomRight;  // body gradient
  Rgb band, bandEdge;        // top band and its bottom highlight
  Rgb streak;                // colour of the light streaks
  Rgb glow;                  // soft light in the upper right
  bool darkStamp;            // black stamp paper (templates 4 to 7) or white
  Rgb stampLine;             // thin line round the avatar box
  std::vector<Streak> streaks;
  bool mirrored = false;  // streaks rising to the left instead of the right
};

// A gentle sweep shared by the designs, varied a little per template so they do not look cloned.
std::vector<Streak> sweep(float shift, float turn) {
  return {
      {112 + shift, -0.18f, 18, 400, 0.10f + turn, 16, 0.10f},
      {128 + shift, -0.24f, 20, 360, 0.22f + turn, 5, 0.15f},
      {100 + shift, -0.14f, 16, 420, 0.32f + turn, 2.0f, 0.16f},
      {150 + shift, -0.30f, 22, 340, 0.70f + turn, 26, 0.08f},
      {62 + shift, -0.06f, 10, 480, 0.15f + turn, 1.2f, 0.11f},
  };
}

const std::vector<Palette>& palettes() {
  static const std::vector<Palette> list = {
      // 1 blue
      {hex(0x2360a8), hex(0x123a76), hex(0x0b2754), hex(0x5f8fd0), hex(0x9cc4ff), hex(0x4d86d6), false,
       hex(0x1d4f91), sweep(0, 0)},
      // 2 teal
      {hex(0x137a7a), hex(0x0a4b55), hex(0x06373d), hex(0x4fa8a6), hex(0x9fe8e0), hex(0x3aa3a0), false,
       hex(0x0f6666), sweep(4, 0.15f), true},
      // 3 purple
      {hex(0x64409c), hex(0x3a2068), hex(0x281249), hex(0x9272c6), hex(0xd2b8ff), hex(0x8a64cc), false,
       hex(0x553088), sweep(-3, 0.35f)},
      // 4 sepia, brown band, green streaks
      {hex(0x6e5236), hex(0x45301d), hex(0x3a2413), hex(0x8c6a44), hex(0xa8d878), hex(0x9a7a50), true,
       hex(0xc9a86e), sweep(2, 0.6f)},
      // 5 green
      {hex(0x2f7a3a), hex(0x17492a), hex(0x113a1c), hex(0x62a86c), hex(0xb8f0b0), hex(0x58b068), true,
       hex(0x9ed8a0), sweep(-2, 0.8f), true},
      // 6 rose (deep, so that white text stays readable)
      {hex(0xa33660), hex(0x6e1a3c), hex(0x55102c), hex(0xd07090), hex(0xffc0d6), hex(0xd86a94), true,
       hex(0xf0a0c0), sweep(3, 0.45f)},
      // 7 peach (a deep apricot for the same reason)
      {hex(0xc46a4a), hex(0x80342a), hex(0x64261c), hex(0xe89a78), hex(0xffd4b4), hex(0xf0a07a), true,
       hex(0xf8c8a0), sweep(-4, 0.25f)},
  };
  return list;
}

Raster drawTemplate(const Palette& p, bool withStamp = true) {
  Raster img(cardWidth, cardHeight);
  const float w = cardWidth, h = cardHeight;
  for (int y = 0; y < cardHeight; ++y)
    for (int x = 0; x < cardWidth; ++x) {
      float fx = x + 0.5f, fy = y + 0.5f;
      // Body: a diagonal gradient, a soft glow towards the upper right, a slight vignette.
      float t = clamp01((fx / w) * 0.55f + (fy / h) * 0.45f);
      Rgb c = mix(p.topLeft, p.bottomRight, smoothstep(0, 1, t));
      float gx = (fx - 250) / 150, gy = (fy - 20) / 90;
      c = mix(c, p.glow, 0.10f * std::exp(-(gx * gx + gy * gy)));
      float vx = (fx - w / 2) / (w / 2), vy = (fy - h / 2) / (h / 2);
      c = scale(c, 1 - 0.06f * (vx * vx * 0.5f + vy * vy));
      // Streaks: soft bands along gentle waves; distance measured across the band.
      for (const Streak& s : p.streaks) {
        float k = 2 * 3.14159265f / s.period;
        float sx = p.mirrored ? w - fx : fx;
        float arg = k * sx + 2 * 3.14159265f * s.phase;
        float cy = s.y0 + s.slope * sx + s.amp * std::sin(arg);
        float dydx = s.slope + s.amp * k * std::cos(arg);
        float d = (fy - cy) / std::sqrt(1 + dydx * dydx);
        float a = s.alpha * std::exp(-(d * d) / (s.width * s.width));
        c = mix(c, p.streak, a);
      }
      img.at(x, y) = c;
    }
  // Top band: darker, lit slightly from above, with a thin highlight on its lower edge and a
  // soft shadow it casts on the body.
  for (int y = 0; y < bandHeight + 4; ++y)
    for (int x = 0; x < cardWidth; ++x) {
      float fy = y + 0.5f;
      if (y < bandHeight) {
        float v = fy / bandHeight;
        Rgb c = scale(p.band, 1.12f - 0.18f * v);
        c = mix(c, p.glow, 0.05f * std::exp(-((x - 250.0f) * (x - 250.0f)) / 9000.0f));
        img.at(x, y) = c;
      } else {
        float fall = (y - bandHeight + 1) / 5.0f;
        img.at(x, y) = scale(img.at(x, y), 0.80f + 0.20f * fall);
      }
    }
  for (int x = 0; x < cardWidth; ++x) {
    img.blend(x, bandHeight - 1, p.bandEdge, 0.55f);
    img.blend(x, 0, scale(p.band, 0.7f), 0.5f);
  }
  // A few soft out-of-focus lights along the streaks, kept faint over the text.
  const float bokeh[][4] = {{150, 118, 7, 0.07f}, {196, 104, 4, 0.09f}, {238, 92, 9, 0.05f},
                            {272, 70, 5, 0.07f}, {112, 130, 5, 0.08f}, {286, 122, 11, 0.05f}};
  for (const auto& b : bokeh)
    fillShape(img, p.streak, b[3], [&](float x, float y) { return sdCircle(x, y, b[0], b[1], b[2]) * 0.7f; });
  // A row of faint dots on the band gives it some texture without competing with the card.
  for (int i = 0; i < 24; ++i) {
    float cx = 130 + i * 7.0f, cy = bandHeight / 2.0f;
    float a = 0.10f + 0.12f * (i / 23.0f);
    fillShape(img, p.bandEdge, a, [&](float x, float y) { return sdCircle(x, y, cx, cy, 1.3f); });
  }
  if (!withStamp) return img;

  Stamp stamp{stampCx, stampCy, 51, 2.1f, 16};
  // Faint shadow, offset down and right, blurred by a wide distance ramp.
  for (int y = 0; y < cardHeight; ++y)
    for (int x = 0; x < cardWidth; ++x) {
      float d = stamp.sdf(x + 0.5f - 1.2f, y + 0.5f - 1.8f);
      float a = 0.35f * (1 - smoothstep(-1.5f, 2.5f, d));
      if (a > 0) img.blend(x, y, hex(0x000000), a);
    }
  Rgb paper = p.darkStamp ? hex(0x121212) : hex(0xffffff);
  fillShape(img, paper, 1, [&](float x, float y) { return stamp.sdf(x, y); });
  // On dark paper a faint light rim makes the perforation read against a dark card.
  if (p.darkStamp)
    fillShape(img, p.stampLine, 0.30f, [&](float x, float y) { return std::fabs(stamp.sdf(x, y) + 0.4f) - 0.4f; });
  // Thin line round the avatar box, one pixel clear of it.
  fillShape(img, p.stampLine, 0.85f, [&](float x, float y) {
    float d = sdRect(x, y, avatarLeft - 2, avatarTop - 2, avatarLeft + avatarSize + 2, avatarTop + avatarSize + 2);
    return std::fabs(d + 0.5f) - 0.5f;
  });
  return img;
}

// ---------------------------------------------------------------------------------------------
// The default avatar: a blue sign hanging from a nail, asking the user to change the picture.

Raster drawDefaultAvatar(const FontFile& ff, FT_Library lib) {
  Raster img(90, 90, hex(0xffffff));
  const float nailX = 45, nailY = 10;
  const float signL = 8, signT = 32, signR = 82, signB = 80;
  const float hookY = signT + 5, hookL = signL + 10, hookR = signR - 10;
  // Soft shadow of the sign on the wall.
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 90; ++x) {
      float d = sdRect(x + 0.5f - 1.5f, y + 0.5f - 2.5f, signL, signT, signR, signB, 6);
      float a = 0.22f * (1 - smoothstep(-2, 3, d));
      if (a > 0) img.blend(x, y, hex(0x303848), a);
    }
  // Strings from the nail to the two eyelets.
  Rgb cord = hex(0x5a4a3a);
  fillShape(img, cord, 1, [&](float x, float y) {
    return std::min(sdSegment(x, y, nailX, nailY, hookL, hookY, 0.6f), sdSegment(x, y, nailX, nailY, hookR, hookY, 0.6f));
  });
  // Nail head with a small highlight.
  fillShape(img, hex(0x6b7280), 1, [&](float x, float y) { return sdCircle(x, y, nailX, nailY, 3.0f); });
  fillShape(img, hex(0xd8dce4), 0.9f, [&](float x, float y) { return sdCircle(x, y, nailX - 0.9f, nailY - 0.9f, 1.1f); });
  // The board: a vertical blue gradient, a darker rim and a light inner line.
  Rgb top = hex(0x3d86e0), bottom = hex(0x1c55b0);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 90; ++x) {
      float cov = coverage(sdRect(x + 0.5f, y + 0.5f, signL, signT, signR, signB, 6));
      if (cov > 0) img.blend(x, y, mix(top, bottom, clamp01((y + 0.5f - signT) / (signB - signT))), cov);
    }
  // A soft sheen over the upper part of the board.
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 90; ++x) {
      float fy = y + 0.5f;
      float cov = coverage(sdRect(x + 0.5f, fy, signL + 1, signT + 1, signR - 1, signB - 1, 5));
      float a = 0.16f * (1 - smoothstep(signT, signT + 18, fy));
      if (cov > 0 && a > 0) img.blend(x, y, hex(0xffffff), cov * a);
    }
  fillShape(img, hex(0x123f86), 0.9f, [&](float x, float y) {
    return std::fabs(sdRect(x, y, signL, signT, signR, signB, 6) + 0.6f) - 0.6f;
  });
  fillShape(img, hex(0xffffff), 0.45f, [&](float x, float y) {
    return std::fabs(sdRect(x, y, signL + 3, signT + 3, signR - 3, signB - 3, 3.5f)) - 0.45f;
  });
  // Eyelets where the strings hold the board.
  for (float ex : {hookL, hookR}) {
    fillShape(img, hex(0xe8eef8), 1, [&](float x, float y) { return sdCircle(x, y, ex, hookY, 2.0f); });
    fillShape(img, hex(0x5a4a3a), 1, [&](float x, float y) { return sdCircle(x, y, ex, hookY, 0.9f); });
  }
  // The words, centred, slightly emboldened so they stay legible when scaled down.
  Font font(lib, ff.path, ff.index, 17);
  const char* lines[] = {"请更换", "头像"};
  const float baselines[] = {signT + 24, signT + 43};
  for (int i = 0; i < 2; ++i) {
    float tw = font.measure(lines[i]);
    float x = (signL + signR - tw) / 2;
    font.draw(img, lines[i], x + 0.5f, baselines[i] + 1, hex(0x0c2a5c), 0.5f, 0.5f);
    font.draw(img, lines[i], x, baselines[i], hex(0xffffff), 1, 0.5f);
  }
  return img;
}

// ---------------------------------------------------------------------------------------------
// Preview area checkerboard: 8 x 8 squares, white and light grey.

Raster drawCheckerboard() {
  Raster img(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) img.at(x, y) = ((x < 8) == (y < 8)) ? hex(0xffffff) : hex(0xdfdfdf);
  return img;
}

// ---------------------------------------------------------------------------------------------
// Program icon: a small signature card (dark band, white avatar stamp, text lines) in the blue
// of the first template. Each size has its own pixel-aligned layout.

struct IconLayout {
  int size;
  float cardL, cardT, cardR, cardB, radius;
  float bandB;
  float avL, avT, avR, avB;
  float lineL, lineH;
  std::array<float, 3> lineT, lineR;
  bool person;     // room for a little figure inside the avatar
  int stampHoles;  // perforations per side of the avatar stamp, 0 for a plain square
};

const std::array<IconLayout, 4> iconLayouts = {{
    {16, 0, 2, 16, 14, 1.5f, 4, 2, 6, 7, 11, 9, 1, {6, 8, 10}, {14, 13, 12}, false, 0},
    {24, 1, 3, 23, 21, 2.5f, 7, 3, 10, 10, 17, 12, 1, {10, 13, 16}, {21, 19, 17}, false, 0},
    {32, 1, 4, 31, 28, 3, 9, 4, 13, 14, 23, 17, 2, {13, 17, 21}, {29, 27, 24}, true, 0},
    {48, 2, 6, 46, 42, 4.5f, 13, 5, 18, 23, 36, 26, 3, {19, 25, 32}, {43, 40, 36}, true, 6},
}};

Raster drawIcon(const IconLayout& L) {
  Raster img(L.size, L.size, {}, 0);
  Rgb top = hex(0x2a6cbc), bottom = hex(0x123a76), band = hex(0x0b2754);
  for (int y = 0; y < L.size; ++y)
    for (int x = 0; x < L.size; ++x) {
      float fx = x + 0.5f, fy = y + 0.5f;
      float cov = coverage(sdRect(fx, fy, L.cardL, L.cardT, L.cardR, L.cardB, L.radius));
      if (cov <= 0) continue;
      Rgb c = fy < L.bandB ? band : mix(top, bottom, clamp01((fy - L.bandB) / (L.cardB - L.bandB)));
      img.blend(x, y, c, cov);
    }
  // Light edge under the band, as on the cards.
  fillShape(img, hex(0x5f8fd0), 0.8f, [&](float x, float y) {
    float d = sdRect(x, y, L.cardL + 0.5f, L.bandB - 1, L.cardR - 0.5f, L.bandB);
    return std::max(d, sdRect(x, y, L.cardL, L.cardT, L.cardR, L.cardB, L.radius));
  });
  if (L.stampHoles > 0) {
    // Large enough for the perforated edge of the cards' stamp.
    float half = (L.avR - L.avL) / 2;
    Stamp stamp{(L.avL + L.avR) / 2, (L.avT + L.avB) / 2, half, 0.85f, L.stampHoles};
    fillShape(img, hex(0xffffff), 1, [&](float x, float y) { return stamp.sdf(x, y); });
  } else {
    fillShape(img, hex(0xffffff), 1, [&](float x, float y) { return sdRect(x, y, L.avL, L.avT, L.avR, L.avB); });
  }
  if (L.person) {
    float cx = (L.avL + L.avR) / 2, s = L.avR - L.avL;
    Rgb fig = hex(0x6f9ad8);
    fillShape(img, fig, 1, [&](float x, float y) { return sdCircle(x, y, cx, L.avT + s * 0.38f, s * 0.19f); });
    fillShape(img, fig, 1, [&](float x, float y) {
      float d = sdCircle(x, y, cx, L.avB + s * 0.05f, s * 0.36f);
      return std::max(d, y - L.avB);
    });
  }
  for (int i = 0; i < 3; ++i)
    fillShape(img, hex(0xffffff), i == 0 ? 1.0f : 0.8f, [&](float x, float y) {
      return sdRect(x, y, L.lineL, L.lineT[i], L.lineR[i], L.lineT[i] + L.lineH, L.lineH > 1 ? 0.5f : 0);
    });
  return img;
}

// The same icon as scalable vector art, from the 48-pixel layout, for desktops that prefer it.
std::string iconSvg(const IconLayout& L) {
  std::string out;
  auto add = [&out](const char* fmt, auto... v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, v...);
    out += buf;
  };
  add("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n", L.size, L.size,
      L.size, L.size);
  add("  <defs>\n    <linearGradient id=\"body\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"%g\" x2=\"0\" y2=\"%g\">\n",
      L.bandB, L.cardB);
  add("      <stop offset=\"0\" stop-color=\"#2a6cbc\"/>\n      <stop offset=\"1\" stop-color=\"#123a76\"/>\n");
  add("    </linearGradient>\n    <clipPath id=\"card\"><rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" rx=\"%g\"/></clipPath>\n",
      L.cardL, L.cardT, L.cardR - L.cardL, L.cardB - L.cardT, L.radius);
  add("  </defs>\n  <g clip-path=\"url(#card)\">\n");
  add("    <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"url(#body)\"/>\n", L.cardL, L.cardT, L.cardR - L.cardL,
      L.cardB - L.cardT);
  add("    <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"#0b2754\"/>\n", L.cardL, L.cardT, L.cardR - L.cardL,
      L.bandB - L.cardT);
  add("    <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"1\" fill=\"#5f8fd0\" fill-opacity=\"0.8\"/>\n  </g>\n", L.cardL,
      L.bandB - 1, L.cardR - L.cardL);
  // The stamp: white paper, then the perforations punched out in the card's own gradient.
  float half = (L.avR - L.avL) / 2, cx = (L.avL + L.avR) / 2, cy = (L.avT + L.avB) / 2;
  add("  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"#ffffff\"/>\n", L.avL, L.avT, L.avR - L.avL,
      L.avB - L.avT);
  int holes = std::max(L.stampHoles, 1);
  float pitch = 2 * half / holes;
  for (int k = 0; k <= holes; ++k) {
    float t = -half + k * pitch;
    add("  <circle cx=\"%g\" cy=\"%g\" r=\"0.85\" fill=\"url(#body)\"/>\n", cx + t, cy - half);
    add("  <circle cx=\"%g\" cy=\"%g\" r=\"0.85\" fill=\"url(#body)\"/>\n", cx + t, cy + half);
    if (k == 0 || k == holes) continue;  // the corners are already punched
    add("  <circle cx=\"%g\" cy=\"%g\" r=\"0.85\" fill=\"url(#body)\"/>\n", cx - half, cy + t);
    add("  <circle cx=\"%g\" cy=\"%g\" r=\"0.85\" fill=\"url(#body)\"/>\n", cx + half, cy + t);
  }
  float s = L.avR - L.avL;
  add("  <circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"#6f9ad8\"/>\n", cx, L.avT + s * 0.38f, s * 0.19f);
  add("  <path d=\"M %g %g A %g %g 0 0 1 %g %g Z\" fill=\"#6f9ad8\"/>\n", cx - std::sqrt(s * 0.36f * s * 0.36f - s * 0.05f * s * 0.05f),
      L.avB, s * 0.36f, s * 0.36f, cx + std::sqrt(s * 0.36f * s * 0.36f - s * 0.05f * s * 0.05f), L.avB);
  for (int i = 0; i < 3; ++i)
    add("  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" rx=\"0.5\" fill=\"#ffffff\" fill-opacity=\"%g\"/>\n", L.lineL,
        L.lineT[i], L.lineR[i] - L.lineL, L.lineH, i == 0 ? 1.0 : 0.8);
  out += "</svg>\n";
  return out;
}

// ---------------------------------------------------------------------------------------------
// Checks printed while generating, so a palette change that hurts legibility shows at once.

struct Contrast {
  double median, low;  // contrast of white text at the median and the 5th-percentile pixel
};

double channelLinear(unsigned char v) {
  double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

Contrast textAreaContrast(const Decoded& d) {
  std::vector<double> ratios;
  for (int y = 30; y < 113; ++y)
    for (int x = 120; x < 295; ++x) {
      const unsigned char* p = &d.rgb[(static_cast<std::size_t>(y) * d.width + x) * 3];
      double lum = 0.2126 * channelLinear(p[0]) + 0.7152 * channelLinear(p[1]) + 0.0722 * channelLinear(p[2]);
      ratios.push_back(1.05 / (lum + 0.05));
    }
  std::sort(ratios.begin(), ratios.end());
  return {ratios[ratios.size() / 2], ratios[ratios.size() / 20]};
}

// The highest quality that keeps a background within its byte budget.
std::vector<unsigned char> encodeWithinBudget(const Raster& img, JpegOptions opt, std::size_t budget) {
  std::vector<unsigned char> bytes;
  for (int q = 95; q >= 50; --q) {
    opt.quality = q;
    bytes = encodeJpeg(img, opt);
    if (bytes.size() <= budget) {
      std::printf("  quality %d: ", q);
      break;
    }
  }
  return bytes;
}

// ---------------------------------------------------------------------------------------------
// Mock cards for looking at the designs: avatar and four white text lines, as the program draws.

void writePreviews(const std::filesystem::path& dir, const std::vector<Decoded>& cards, const Decoded& avatar,
                   const FontFile& ff, FT_Library lib) {
  std::filesystem::create_directories(dir);
  // The program's 12 px text face when installed, else the scalable face at 12 px.
  const char* bitmapSong = "/usr/share/fonts/X11/misc/wenquanyi_9pt.pcf";
  bool haveSong = std::filesystem::exists(bitmapSong);
  Font font(lib, haveSong ? bitmapSong : ff.path, haveSong ? 0 : ff.index, 12);
  const char* lines[] = {"论坛昵称：青石板上的猫", "常在版块：摄影与旅行", "论坛职位：版主", "QQ或信箱：cat@example.net"};
  const int scaleUp = 2;
  Raster sheet(cardWidth * scaleUp, static_cast<int>(cards.size()) * (cardHeight + 4) * scaleUp, hex(0xdfdfdf));
  for (std::size_t i = 0; i < cards.size(); ++i) {
    Raster card(cardWidth, cardHeight);
    for (int y = 0; y < cardHeight; ++y)
      for (int x = 0; x < cardWidth; ++x) {
        const unsigned char* p = &cards[i].rgb[(static_cast<std::size_t>(y) * cardWidth + x) * 3];
        card.at(x, y) = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
      }
    for (int y = 0; y < 90; ++y)
      for (int x = 0; x < 90; ++x) {
        const unsigned char* p = &avatar.rgb[(static_cast<std::size_t>(y) * 90 + x) * 3];
        card.at(12 + x, 32 + y) = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
      }
    for (int k = 0; k < 4; ++k) font.draw(card, lines[k], 120, 32 + 20 * k + font.ascent(), hex(0xffffff));
    writePngFile(dir / ("preview_" + std::to_string(i + 1) + ".png"), card, false);
    for (int y = 0; y < cardHeight * scaleUp; ++y)
      for (int x = 0; x < cardWidth * scaleUp; ++x)
        sheet.at(x, static_cast<int>(i) * (cardHeight + 4) * scaleUp + y) = card.at(x / scaleUp, y / scaleUp);
  }
  writePngFile(dir / "preview_all.png", sheet, false);
}

int run(int argc, char** argv) {
  std::filesystem::path root, previewDir;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--preview" && i + 1 < argc) {
      previewDir = argv[++i];
    } else if (root.empty() && !a.starts_with("-")) {
      root = argv[i];
    } else {
      root.clear();
      break;
    }
  }
  if (root.empty() && previewDir.empty()) {
    std::fprintf(stderr, "usage: vantrelo-make-assets OUTPUT_ROOT\n       vantrelo-make-assets --preview DIR [OUTPUT_ROOT]\n");
    return 2;
  }
  if (root.empty()) root = previewDir / "assets";
  FontFile ff = findCjkFont();
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) {
    std::fprintf(stderr, "vantrelo-make-assets: FreeType failed to start\n");
    return 1;
  }
  std::filesystem::create_directories(root / "card/assets");
  std::filesystem::create_directories(root / "shell/assets");
  std::filesystem::create_directories(root / "app/assets");

  JpegOptions cardOpt;
  cardOpt.densityUnit = 1;
  cardOpt.density = 96;
  std::vector<Decoded> decodedCards;
  int n = 0;
  for (const Palette& p : palettes()) {
    ++n;
    std::vector<unsigned char> bytes = encodeWithinBudget(drawTemplate(p), cardOpt, 7600);
    writeFile(root / "card/assets" / ("template" + std::to_string(n) + ".jpg"), bytes);
    decodedCards.push_back(decodeJpeg(bytes));
    Contrast c = textAreaContrast(decodedCards.back());
    std::printf("template%d.jpg  %5zu bytes  white text contrast: median %.2f, 5th percentile %.2f\n", n,
                bytes.size(), c.median, c.low);
  }

  JpegOptions avatarOpt;
  avatarOpt.subsampleChroma = false;
  std::vector<unsigned char> avatar = encodeWithinBudget(drawDefaultAvatar(ff, lib), avatarOpt, 7600);
  writeFile(root / "card/assets/default_avatar.jpg", avatar);
  std::printf("default_avatar.jpg  %zu bytes\n", avatar.size());

  JpegOptions boardOpt;
  boardOpt.subsampleChroma = false;
  boardOpt.unitQuantisation = true;
  std::vector<unsigned char> board = encodeJpeg(drawCheckerboard(), boardOpt);
  writeFile(root / "shell/assets/preview_checkerboard.jpg", board);
  std::printf("preview_checkerboard.jpg  %zu bytes\n", board.size());

  for (const IconLayout& L : iconLayouts)
    writePngFile(root / "app/assets" / ("icon" + std::to_string(L.size) + ".png"), drawIcon(L), true);
  std::string svg = iconSvg(iconLayouts.back());
  writeFile(root / "app/assets/vantrelo.svg", std::vector<unsigned char>(svg.begin(), svg.end()));

  if (!previewDir.empty()) {
    writePreviews(previewDir, decodedCards, decodeJpeg(avatar), ff, lib);
    for (const IconLayout& L : iconLayouts) {
      // Icons enlarged eight times on a mid-grey ground, to judge the pixels.
      Raster icon = drawIcon(L);
      Raster big(L.size * 8, L.size * 8, hex(0x808080));
      for (int y = 0; y < L.size * 8; ++y)
        for (int x = 0; x < L.size * 8; ++x) big.blend(x, y, icon.at(x / 8, y / 8), icon.alphaAt(x / 8, y / 8));
      writePngFile(previewDir / ("icon" + std::to_string(L.size) + "_x8.png"), big, false);
    }
  }
  FT_Done_FreeType(lib);
  return 0;
}

}  // namespace
}  // namespace vantrelo

int main(int argc, char** argv) { return vantrelo::run(argc, argv); }
