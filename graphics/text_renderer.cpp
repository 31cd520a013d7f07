#include "graphics/text_renderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H

#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

namespace vantrelo {

struct TextFace::FaceRecord {
    FT_Face face = nullptr;
};

namespace {

struct Registry {
    FT_Library library = nullptr;
    using Key = std::tuple<std::string, int, int, bool, bool, bool, bool>;
    std::map<Key, std::unique_ptr<TextFace>> faces;
    std::map<FontDescription, TextFace*> byDescription;
    TextFace* defaultFace = nullptr;

    Registry() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    ~Registry() {
        byDescription.clear();
        faces.clear();  // the faces go before the library that made them
        if (library) FT_Done_FreeType(library);
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

std::int32_t ceilDiv64(FT_Pos v) { return std::int32_t((v + 63) >> 6); }

// Pixels a synthetic italic leans: one column per this many rows.
constexpr std::int32_t kItalicRowsPerColumn = 4;

void blendPixel(std::uint32_t& d, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    if (a >= 255) {
        d = 0xFF000000u | (r << 16) | (g << 8) | b;
        return;
    }
    const std::uint32_t dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
    const std::uint32_t nr = dr + ((std::int32_t(r) - std::int32_t(dr)) * std::int32_t(a)) / 255;
    const std::uint32_t ng = dg + ((std::int32_t(g) - std::int32_t(dg)) * std::int32_t(a)) / 255;
    const std::uint32_t nb = db + ((std::int32_t(b) - std::int32_t(db)) * std::int32_t(a)) / 255;
    d = 0xFF000000u | (nr << 16) | (ng << 8) | nb;
}

void fillRect(PixelImage& image, Rect r, std::uint32_t pixel) {
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, image.width);
    r.bottom = std::min(r.bottom, image.height);
    if (r.empty()) return;
    for (std::int32_t y = r.top; y < r.bottom; ++y)
        std::fill_n(image.pixels.begin() + std::ptrdiff_t(y) * image.width + r.left, r.width(), pixel);
}

std::uint32_t pixelOf(Colour c) {
    return 0xFF000000u | (std::uint32_t(redOf(c)) << 16) | (std::uint32_t(greenOf(c)) << 8) | blueOf(c);
}

}  // namespace

TextFace::TextFace(const ResolvedFont& font) : m_font(font) {
    Registry& reg = registry();
    m_ascender = font.pixelSize;
    m_descender = (font.pixelSize + 3) / 4;
    if (!reg.library || !font.found()) return;
    FT_Face face = nullptr;
    if (FT_New_Face(reg.library, font.path.c_str(), font.faceIndex, &face) != 0) return;
    bool sized = false;
    if (!FT_IS_SCALABLE(face) && face->num_fixed_sizes > 0) {
        // A bitmap face: take the strike nearest to the asked size.
        int best = 0;
        for (int i = 1; i < face->num_fixed_sizes; ++i) {
            const auto d = [&](int k) { return std::abs(face->available_sizes[k].y_ppem - (FT_Pos(font.pixelSize) << 6)); };
            if (d(i) < d(best)) best = i;
        }
        sized = FT_Select_Size(face, best) == 0;
    } else {
        sized = FT_Set_Pixel_Sizes(face, 0, FT_UInt(font.pixelSize)) == 0;
    }
    if (!sized) {
        FT_Done_Face(face);
        return;
    }
    m_face = new FaceRecord{face};
    m_ascender = ceilDiv64(face->size->metrics.ascender);
    m_descender = ceilDiv64(-face->size->metrics.descender);
    if (m_ascender + m_descender <= 0) {
        m_ascender = font.pixelSize;
        m_descender = (font.pixelSize + 3) / 4;
    }
}

TextFace::~TextFace() {
    if (m_face) {
        FT_Done_Face(m_face->face);
        delete m_face;
    }
}

TextFace::Glyph TextFace::render(unsigned glyphIndex, bool missing) {
    Glyph g;
    FT_Face face = m_face->face;
    const FT_Int32 flags = m_font.bitmap ? FT_LOAD_DEFAULT : FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT;
    if (FT_Load_Glyph(face, glyphIndex, flags) != 0) return g;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0) return g;
    g.advance = std::int32_t(slot->advance.x >> 6);

    const FT_Bitmap& bm = slot->bitmap;
    std::int32_t w = std::int32_t(bm.width), h = std::int32_t(bm.rows);
    std::int32_t left = slot->bitmap_left, top = slot->bitmap_top;
    std::vector<std::uint8_t> cov(std::size_t(w) * std::size_t(h), 0);
    if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        for (std::int32_t y = 0; y < h; ++y) {
            const unsigned char* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
            for (std::int32_t x = 0; x < w; ++x)
                cov[std::size_t(y) * w + x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
    } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        const int levels = std::max(2, int(bm.num_grays));
        for (std::int32_t y = 0; y < h; ++y) {
            const unsigned char* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
            for (std::int32_t x = 0; x < w; ++x) cov[std::size_t(y) * w + x] = std::uint8_t(row[x] * 255 / (levels - 1));
        }
    } else {
        FT_Bitmap grey;
        FT_Bitmap_Init(&grey);
        if (FT_Bitmap_Convert(registry().library, &bm, &grey, 1) == 0) {
            const int levels = std::max(2, int(grey.num_grays));
            w = std::int32_t(grey.width);
            h = std::int32_t(grey.rows);
            cov.assign(std::size_t(w) * std::size_t(h), 0);
            for (std::int32_t y = 0; y < h; ++y)
                for (std::int32_t x = 0; x < w; ++x)
                    cov[std::size_t(y) * w + x] = std::uint8_t(grey.buffer[std::ptrdiff_t(y) * grey.pitch + x] * 255 / (levels - 1));
        } else {
            w = h = 0;
            cov.clear();
        }
        FT_Bitmap_Done(registry().library, &grey);
    }

    // A face whose missing-character glyph is blank (bitmap faces often have a
    // 1 x 1 dot) gets a visible box, so a lost character is noticed.
    if (missing && (w <= 1 || h <= 1)) {
        const std::int32_t bw = std::max(3, m_font.pixelSize / 2), bh = std::max(3, m_ascender - 2);
        w = bw;
        h = bh;
        left = 1;
        top = bh;
        cov.assign(std::size_t(w) * std::size_t(h), 0);
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x)
                if (y == 0 || y == h - 1 || x == 0 || x == w - 1) cov[std::size_t(y) * w + x] = 255;
        g.advance = std::max(g.advance, bw + 2);
    }

    if (m_font.syntheticItalic && w > 0 && h > 0) {
        // Lean the rows right by their height above the cell's bottom; the
        // bitmap's own bottom row keeps its place.
        const std::int32_t lowest = -m_descender;
        const auto shiftOf = [&](std::int32_t y) {
            return std::max<std::int32_t>(0, (top - y - 1 - lowest) / kItalicRowsPerColumn);
        };
        const std::int32_t base = shiftOf(h - 1);
        const std::int32_t extra = shiftOf(0) - base;
        const std::int32_t nw = w + std::max(extra, 0);
        std::vector<std::uint8_t> leaned(std::size_t(nw) * std::size_t(h), 0);
        for (std::int32_t y = 0; y < h; ++y) {
            const std::int32_t s = shiftOf(y) - base;
            for (std::int32_t x = 0; x < w; ++x) leaned[std::size_t(y) * nw + x + s] = cov[std::size_t(y) * w + x];
        }
        left += base;
        w = nw;
        cov.swap(leaned);
    }
    if (m_font.syntheticBold && w > 0 && h > 0) {
        // Embolden by drawing the glyph twice, one pixel apart.
        const std::int32_t nw = w + 1;
        std::vector<std::uint8_t> bold(std::size_t(nw) * std::size_t(h), 0);
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < nw; ++x) {
                const std::uint8_t a = x < w ? cov[std::size_t(y) * w + x] : 0;
                const std::uint8_t b = x > 0 ? cov[std::size_t(y) * w + x - 1] : 0;
                bold[std::size_t(y) * nw + x] = std::max(a, b);
            }
        w = nw;
        cov.swap(bold);
        g.advance += 1;
    }
    g.left = left;
    g.top = top;
    g.width = w;
    g.rows = h;
    g.coverage = std::move(cov);
    return g;
}

// The fallback for characters this face lacks: the scalable CJK face at the
// same size and style. Looked up the first time a character is missing, so a
// text the face covers never opens a second font.
TextFace* TextFace::fallbackFace() {
    if (m_fallbackResolved) return m_fallback;
    m_fallbackResolved = true;
    FontStyle style = FontStyle::Regular;
    if (m_font.syntheticItalic) style = style | FontStyle::Italic;
    const ResolvedFont& fallback = resolveFontFamily(kFallbackFontFamily, m_font.pixelSize,
                                                     m_font.syntheticBold ? kFontWeightBold : kFontWeightNormal, style);
    if (fallback.found() && (fallback.path != m_font.path || fallback.faceIndex != m_font.faceIndex)) {
        ResolvedFont f = fallback;
        f.underline = f.strikeOut = false;
        TextFace& fb = textFace(f);
        if (&fb != this && fb.m_fallback != this) m_fallback = &fb;
    }
    return m_fallback;
}

const TextFace::Glyph& TextFace::glyph(char32_t codePoint) {
    if (auto it = m_glyphs.find(codePoint); it != m_glyphs.end()) return it->second;
    Glyph g;
    if (m_face) {
        const FT_UInt index = FT_Get_Char_Index(m_face->face, FT_ULong(codePoint));
        if (index != 0) {
            g = render(index, false);
        } else if (TextFace* fallback = fallbackFace();
                   fallback && fallback->m_face && FT_Get_Char_Index(fallback->m_face->face, FT_ULong(codePoint)) != 0) {
            // Placed on this face's baseline: the glyph's offsets are baseline-relative.
            g = fallback->glyph(codePoint);
        } else {
            g = render(0, true);
        }
    }
    return m_glyphs.emplace(codePoint, std::move(g)).first->second;
}

std::int32_t TextFace::lineWidth(std::u32string_view line) {
    std::int32_t width = 0;
    for (char32_t c : line) width += glyph(c).advance;
    return width;
}

Rect TextFace::drawLine(PixelImage& image, std::int32_t x, std::int32_t y, std::u32string_view line, Colour colour,
                        std::optional<Colour> background) {
    const std::int32_t width = lineWidth(line);
    const Rect cell{x, y, x + width, y + cellHeight()};
    if (background) fillRect(image, cell, pixelOf(*background));
    const std::uint32_t r = redOf(colour), g = greenOf(colour), b = blueOf(colour);
    const std::int32_t baseline = y + m_ascender;
    std::int32_t pen = x;
    for (char32_t c : line) {
        const Glyph& gl = glyph(c);
        const std::int32_t gx = pen + gl.left, gy = baseline - gl.top;
        const std::int32_t x0 = std::max(gx, 0), x1 = std::min(gx + gl.width, image.width);
        const std::int32_t y0 = std::max(gy, 0), y1 = std::min(gy + gl.rows, image.height);
        for (std::int32_t py = y0; py < y1; ++py) {
            const std::uint8_t* cov = gl.coverage.data() + std::size_t(py - gy) * gl.width;
            std::uint32_t* dst = image.pixels.data() + std::size_t(py) * image.width;
            for (std::int32_t px = x0; px < x1; ++px)
                if (const std::uint8_t a = cov[px - gx]) blendPixel(dst[px], r, g, b, a);
        }
        pen += gl.advance;
    }
    const std::int32_t thickness = std::max(1, m_font.pixelSize / 12);
    if (m_font.underline) {
        std::int32_t uy = baseline + 1;
        if (m_face && FT_IS_SCALABLE(m_face->face))
            uy = baseline - std::int32_t(FT_MulFix(m_face->face->underline_position, m_face->face->size->metrics.y_scale) >> 6);
        uy = std::min(uy, cell.bottom - thickness);
        fillRect(image, Rect{x, uy, x + width, uy + thickness}, pixelOf(colour));
    }
    if (m_font.strikeOut) {
        const std::int32_t sy = baseline - std::max(1, m_ascender / 3);
        fillRect(image, Rect{x, sy, x + width, sy + thickness}, pixelOf(colour));
    }
    return cell;
}

TextFace& textFace(const ResolvedFont& font) {
    Registry& reg = registry();
    Registry::Key key{font.path, font.faceIndex, font.pixelSize, font.syntheticBold, font.syntheticItalic, font.underline,
                      font.strikeOut};
    auto it = reg.faces.find(key);
    if (it != reg.faces.end()) return *it->second;
    auto face = std::unique_ptr<TextFace>(new TextFace(font));
    TextFace& made = *face;
    reg.faces.emplace(std::move(key), std::move(face));
    return made;
}

TextFace& textFace(const std::optional<FontDescription>& description) {
    Registry& reg = registry();
    if (!description) {
        if (!reg.defaultFace) reg.defaultFace = &textFace(resolveFont(std::nullopt));
        return *reg.defaultFace;
    }
    auto it = reg.byDescription.find(*description);
    if (it == reg.byDescription.end()) it = reg.byDescription.emplace(*description, &textFace(resolveFont(description))).first;
    return *it->second;
}

}  // namespace vantrelo
