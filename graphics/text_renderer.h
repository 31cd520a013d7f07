#pragma once
// Text drawn with FreeType into a backing image. Faces come from fontconfig
// (font_description.h); each face keeps its rendered glyphs by code point, so a
// line costs a few microseconds once its characters have been seen.
// GUI thread only, like every canvas operation.
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "graphics/canvas.h"
#include "graphics/font_description.h"

namespace vantrelo {

class TextFace {
public:
    struct Glyph {
        std::int32_t left = 0;     // bitmap's left edge from the pen position
        std::int32_t top = 0;      // bitmap's top row above the baseline
        std::int32_t width = 0, rows = 0;
        std::int32_t advance = 0;
        std::vector<std::uint8_t> coverage;  // width x rows, 0 to 255
    };

    ~TextFace();
    TextFace(const TextFace&) = delete;
    TextFace& operator=(const TextFace&) = delete;

    // The character cell: ascender above the baseline plus descender below it.
    std::int32_t cellHeight() const { return m_ascender + m_descender; }
    std::int32_t ascender() const { return m_ascender; }
    const ResolvedFont& font() const { return m_font; }
    bool loaded() const { return m_face != nullptr; }

    // Sum of the advances: how far the pen moves over the line.
    std::int32_t lineWidth(std::u32string_view line);
    // Draws the line with its first cell's top-left corner at (x, y), clipped
    // to the image; with a background colour the line's cells are filled with
    // it first. Returns the line's cell rectangle (not clipped).
    Rect drawLine(PixelImage& image, std::int32_t x, std::int32_t y, std::u32string_view line, Colour colour,
                  std::optional<Colour> background = {});

    // The glyph of one character: from this face, else from the fallback face,
    // else this face's box for a missing character.
    const Glyph& glyph(char32_t codePoint);

private:
    friend TextFace& textFace(const ResolvedFont&);
    explicit TextFace(const ResolvedFont& font);
    Glyph render(unsigned glyphIndex, bool missing);

    ResolvedFont m_font;
    struct FaceRecord;
    FaceRecord* m_face = nullptr;  // FreeType face, owned by the face registry
    TextFace* fallbackFace();
    TextFace* m_fallback = nullptr;
    bool m_fallbackResolved = false;
    std::int32_t m_ascender = 0, m_descender = 0;
    std::unordered_map<char32_t, Glyph> m_glyphs;
};

// The face for a resolved font, made once per process.
TextFace& textFace(const ResolvedFont& font);
// The face for a canvas's font setting (none: the default user-interface font).
TextFace& textFace(const std::optional<FontDescription>& description);

}  // namespace vantrelo
