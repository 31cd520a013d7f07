#include "card/avatar_cache.h"

namespace vantrelo {
namespace {

// Decoders may shrink while decoding, but only down to four times the box on
// each side, so the final averaging into the box still sees many pixels per
// output pixel and the result stays close to shrinking the full picture.
constexpr std::int32_t kDecodeMargin = 4;

void shrinkToBox(Image& picture, std::int32_t width, std::int32_t height) {
    std::vector<std::uint32_t> argb;
    resample(PixelSource::of(picture), width, height, Rect{0, 0, width, height}, displayResampleFilter(), argb);
    if (argb.size() != std::size_t(width) * std::size_t(height)) return;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(argb.size() * 3);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        picture.rgb[i * 3 + 0] = std::uint8_t(argb[i] >> 16);
        picture.rgb[i * 3 + 1] = std::uint8_t(argb[i] >> 8);
        picture.rgb[i * 3 + 2] = std::uint8_t(argb[i]);
    }
}

}  // namespace

bool decodeAvatar(const Text& path, std::int32_t width, std::int32_t height, Image& out, FileIdentity* identity) {
    DecodeOptions options;
    if (width > 0 && height > 0) {
        options.atLeastWidth = width * kDecodeMargin;
        options.atLeastHeight = height * kDecodeMargin;
    }
    if (!decodeFile(path, out, options, identity)) return false;
    // Premultiplied colours would not survive the round trip through an
    // unmasked picture, so icons and cursors keep their own pixels.
    if (!out.hasMask() && width > 0 && height > 0 && (out.width != width || out.height != height)) {
        shrinkToBox(out, width, height);
    }
    return true;
}

ImageHandle AvatarCache::load(const Text& path, std::int32_t width, std::int32_t height) {
    const std::optional<FileIdentity> now = fileIdentity(path);
    const ResampleFilter filter = displayResampleFilter();
    if (now && m_entry && m_entry->path == path && m_entry->identity == *now && m_entry->width == width &&
        m_entry->height == height && m_entry->filter == filter) {
        return adoptImage(m_entry->picture);
    }
    m_entry.reset();
    Entry entry;
    ++m_decodes;
    if (!decodeAvatar(path, width, height, entry.picture, &entry.identity)) return 0;
    entry.path = path;
    entry.width = width;
    entry.height = height;
    entry.filter = filter;
    const ImageHandle handle = adoptImage(entry.picture);
    m_entry = std::move(entry);
    return handle;
}

void AvatarCache::clear() { m_entry.reset(); }

AvatarCache& avatarCache() {
    static AvatarCache cache;
    return cache;
}

}  // namespace vantrelo
