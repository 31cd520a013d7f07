#include "graphics/font_description.h"

#include <fontconfig/fontconfig.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

#include "base/encoding.h"

namespace vantrelo {
namespace {

std::int32_t readInt32(const FontDescription& d, std::size_t at) {
    return std::int32_t(std::uint32_t(d[at]) | (std::uint32_t(d[at + 1]) << 8) | (std::uint32_t(d[at + 2]) << 16) |
                        (std::uint32_t(d[at + 3]) << 24));
}

void writeInt32(FontDescription& d, std::size_t at, std::int32_t value) {
    const auto v = std::uint32_t(value);
    for (std::size_t i = 0; i < 4; ++i) d[at + i] = std::uint8_t(v >> (8 * i));
}

constexpr std::size_t kFaceNameOffset = 28;

// The largest prefix of `name` of at most `limit` bytes that does not cut a
// GBK character in two (lead bytes are 0x81..0xFE, each followed by one byte;
// four-byte GB18030 sequences are two such pairs).
std::size_t wholeCharacterPrefix(const std::string& name, std::size_t limit) {
    std::size_t i = 0;
    while (i < name.size()) {
        const std::size_t step = static_cast<unsigned char>(name[i]) >= 0x81 ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return std::min(i, name.size());
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// The Song face names documents ask for, served by the bitmap Song face.
std::string familyForFaceName(const Text& faceName) {
    if (faceName.empty()) return std::string(kDefaultFontFamily);
    if (faceName.bytes() == "\xCB\xCE\xCC\xE5" /* 宋体 */ || equalsIgnoringAsciiCase(faceName.bytes(), "SimSun"))
        return std::string(kDefaultFontFamily);
    return textToUtf8(faceName);
}

// Glyphs larger than this would cost megabytes each; no card needs them.
constexpr int kMaxPixelSize = 1024;

int pixelSizeForHeight(std::int32_t height) {
    std::int64_t h = height;
    std::int64_t px;
    if (h == 0) {
        px = kDefaultFontPixelSize;
    } else if (h < 0) {
        px = -h;
    } else {
        // A positive height is the whole cell; CJK faces put the em in about
        // four fifths of it (12 px in a 15 px cell).
        px = (h * 4 + 2) / 5;
    }
    return int(std::clamp<std::int64_t>(px, 1, kMaxPixelSize));
}

std::uint64_t g_lookups = 0;

struct MatchResult {
    std::string path;
    int index = 0;
    bool scalable = true;
    double pixelSize = 0;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    bool embolden = false;  // fontconfig's own verdict: the file is not bold enough
    bool slanted = false;   // fontconfig's own verdict: the file is upright, shear it
};

std::optional<MatchResult> matchFamily(const std::string& family, int pixelSize, std::int32_t weight, bool italic) {
    ++g_lookups;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixelSize);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? std::min(weight, 1000) : 400));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    // Texts are Chinese: among fonts that are not the named one, prefer those
    // that cover it.
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::nullopt;
    MatchResult out;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
        out.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
    FcBool scalable = FcTrue;
    if (FcPatternGetBool(match, FC_SCALABLE, 0, &scalable) == FcResultMatch) out.scalable = scalable;
    FcPatternGetDouble(match, FC_PIXEL_SIZE, 0, &out.pixelSize);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &out.weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &out.slant);
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) out.embolden = embolden;
    FcMatrix* matrix = nullptr;
    out.slanted = FcPatternGetMatrix(match, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix && matrix->xy != 0;
    FcPatternDestroy(match);
    if (out.path.empty()) return std::nullopt;
    return out;
}

// Where Debian's xfonts-wqy puts the 12 px strike of the default face. Reading
// fontconfig's configuration costs more than composing a card, so a program
// that draws one card and exits opens the file it would have found directly.
constexpr const char* kDefaultFontFiles[] = {
    "/usr/share/fonts/X11/misc/wenquanyi_9pt.pcf",
    "/usr/share/fonts/X11/misc/wenquanyi_9pt.pcf.gz",
};

std::optional<std::string> knownDefaultFontFile() {
    for (const char* path : kDefaultFontFiles) {
        if (::access(path, R_OK) == 0) return std::string(path);
    }
    return std::nullopt;
}

ResolvedFont resolveUncached(const std::string& family, int pixelSize, std::int32_t weight, FontStyle style) {
    const bool italic = hasStyle(style, FontStyle::Italic);
    ResolvedFont font;
    font.pixelSize = pixelSize;
    font.underline = hasStyle(style, FontStyle::Underline);
    font.strikeOut = hasStyle(style, FontStyle::StrikeOut);
    if (family == kDefaultFontFamily && pixelSize == kDefaultFontPixelSize && weight < 600 && !italic) {
        if (std::optional<std::string> path = knownDefaultFontFile()) {
            font.path = *path;
            font.bitmap = true;
            return font;
        }
    }
    std::optional<MatchResult> m = matchFamily(family, pixelSize, weight, italic);
    // A bitmap face has only its strikes: one far from the asked size would
    // draw text at the wrong size, so take the scalable fallback face instead.
    if (m && !m->scalable && std::abs(m->pixelSize - pixelSize) > 2.0)
        m = matchFamily(std::string(kFallbackFontFamily), pixelSize, weight, italic);
    if (!m) return font;
    font.path = m->path;
    font.faceIndex = m->index;
    font.bitmap = !m->scalable;
    if (font.bitmap && m->pixelSize > 0) font.pixelSize = int(m->pixelSize + 0.5);
    // The synthetic rules report a faked style as the asked one, with these flags set.
    font.syntheticBold = weight >= 600 && (m->embolden || m->weight < FC_WEIGHT_DEMIBOLD);
    font.syntheticItalic = italic && (m->slanted || m->slant == FC_SLANT_ROMAN);
    return font;
}

}  // namespace

FontAttributes parseFontDescription(const FontDescription& d) {
    FontAttributes a;
    a.height = readInt32(d, 0);
    a.width = readInt32(d, 4);
    a.escapement = readInt32(d, 8);
    a.orientation = readInt32(d, 12);
    a.weight = readInt32(d, 16);
    a.italic = d[20] != 0;
    a.underline = d[21] != 0;
    a.strikeOut = d[22] != 0;
    a.charset = d[23];
    a.outPrecision = d[24];
    a.clipPrecision = d[25];
    a.quality = d[26];
    a.pitchAndFamily = d[27];
    // The name ends at its NUL, or at the end of the field when it has none.
    const auto* name = reinterpret_cast<const char*>(d.data() + kFaceNameOffset);
    const std::size_t length = strnlen(name, kFaceNameBytes);
    a.faceName = Text(std::string_view(name, length));
    return a;
}

FontDescription makeFontDescription(const Text& faceName, std::int32_t height, std::int32_t weight, FontStyle style,
                                    std::uint8_t charset) {
    FontDescription d{};
    writeInt32(d, 0, height);
    writeInt32(d, 16, weight);
    d[20] = hasStyle(style, FontStyle::Italic) ? 1 : 0;
    d[21] = hasStyle(style, FontStyle::Underline) ? 1 : 0;
    d[22] = hasStyle(style, FontStyle::StrikeOut) ? 1 : 0;
    d[23] = charset;
    const std::size_t length = wholeCharacterPrefix(faceName.bytes(), kFaceNameBytes - 1);
    std::memcpy(d.data() + kFaceNameOffset, faceName.bytes().data(), length);
    return d;
}

const ResolvedFont& resolveFontFamily(std::string_view familyUtf8, int pixelSize, std::int32_t weight,
                                      FontStyle style) {
    using Key = std::tuple<std::string, int, std::int32_t, std::uint8_t>;
    static std::map<Key, ResolvedFont> cache;
    const int size = std::clamp(pixelSize, 1, kMaxPixelSize);
    Key key{std::string(familyUtf8), size, weight, std::uint8_t(style)};
    auto it = cache.find(key);
    if (it == cache.end()) {
        const std::string family = familyUtf8.empty() ? std::string(kDefaultFontFamily) : std::string(familyUtf8);
        it = cache.emplace(std::move(key), resolveUncached(family, size, weight, style)).first;
    }
    return it->second;
}

const ResolvedFont& resolveFont(const std::optional<FontDescription>& description) {
    static std::map<FontDescription, const ResolvedFont*> cache;
    static const ResolvedFont* defaultFont = nullptr;
    if (!description) {
        if (!defaultFont) defaultFont = &resolveFontFamily(kDefaultFontFamily, kDefaultFontPixelSize);
        return *defaultFont;
    }
    auto it = cache.find(*description);
    if (it == cache.end()) {
        const FontAttributes a = parseFontDescription(*description);
        FontStyle style = FontStyle::Regular;
        if (a.italic) style = style | FontStyle::Italic;
        if (a.underline) style = style | FontStyle::Underline;
        if (a.strikeOut) style = style | FontStyle::StrikeOut;
        const std::int32_t weight = a.weight == 0 ? kFontWeightNormal : a.weight;
        it = cache.emplace(*description,
                           &resolveFontFamily(familyForFaceName(a.faceName), pixelSizeForHeight(a.height), weight, style))
                 .first;
    }
    return *it->second;
}

std::uint64_t fontLookupCount() { return g_lookups; }

}  // namespace vantrelo
