#pragma once
// The 60-byte font description (LOGFONT layout) and its resolution to a font
// file through fontconfig. A canvas with no font uses the default
// user-interface font: WenQuanYi Bitmap Song at its 12 px strike.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"
#include "graphics/canvas.h"

namespace vantrelo {

enum class FontStyle : std::uint8_t { Regular = 0, Italic = 1, Underline = 2, StrikeOut = 4 };
constexpr FontStyle operator|(FontStyle a, FontStyle b) { return FontStyle(std::uint8_t(a) | std::uint8_t(b)); }
constexpr bool hasStyle(FontStyle set, FontStyle s) { return (std::uint8_t(set) & std::uint8_t(s)) != 0; }

inline constexpr std::int32_t kFontWeightNormal = 400;
inline constexpr std::int32_t kFontWeightBold = 700;
inline constexpr std::uint8_t kGb2312Charset = 134;
inline constexpr std::size_t kFaceNameBytes = 32;  // NUL included

// The fields of a font description, read from its 60 bytes.
struct FontAttributes {
    std::int32_t height = 0;  // < 0: character height in px; > 0: cell height in px; 0: default size
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0;  // 0 default, 400 normal, 700 bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint8_t charset = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    Text faceName;  // GBK, at most 31 bytes

    bool bold() const { return weight >= 600; }
};

FontAttributes parseFontDescription(const FontDescription& description);

// Builds a description; a face name longer than 31 bytes is cut before the
// last whole GBK character that fits.
FontDescription makeFontDescription(const Text& faceName, std::int32_t height,
                                    std::int32_t weight = kFontWeightNormal, FontStyle style = FontStyle::Regular,
                                    std::uint8_t charset = kGb2312Charset);

// A font file and the size to use it at: what FreeType (and the Qt side, for
// the same face) loads.
struct ResolvedFont {
    std::string path;  // empty: no font found
    int faceIndex = 0;
    int pixelSize = 12;  // em size in pixels
    bool bitmap = false;           // a fixed-strike face (select the strike, no anti-aliasing)
    bool syntheticBold = false;    // asked bold, the file is not: embolden
    bool syntheticItalic = false;  // asked italic, the file is not: slant
    bool underline = false;
    bool strikeOut = false;

    bool found() const { return !path.empty(); }
};

inline constexpr int kDefaultFontPixelSize = 12;
inline constexpr std::string_view kDefaultFontFamily = "WenQuanYi Bitmap Song";
inline constexpr std::string_view kFallbackFontFamily = "WenQuanYi Micro Hei";

// The face for a canvas's font setting (none: the default user-interface
// font). Fontconfig is asked once per distinct description; later calls come
// from a cache. GUI thread only.
const ResolvedFont& resolveFont(const std::optional<FontDescription>& description);
// A family name in UTF-8 at a pixel size, through the same cache.
const ResolvedFont& resolveFontFamily(std::string_view familyUtf8, int pixelSize,
                                      std::int32_t weight = kFontWeightNormal, FontStyle style = FontStyle::Regular);

// How often fontconfig has been consulted in this process.
std::uint64_t fontLookupCount();

}  // namespace vantrelo
