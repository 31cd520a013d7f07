#pragma once
// The avatar, ready to draw into its box. A large photo costs far more to
// decode than a keystroke may take, so the picture shrunk to the box is kept
// between compositions, keyed on the file's identity (device, inode, size,
// times), the box size and the resampling filter. A changed or replaced file
// is read again at once; a different path drops what was kept.
#include <cstdint>
#include <optional>

#include "base/text.h"
#include "graphics/image_loader.h"
#include "graphics/resample.h"

namespace vantrelo {

class AvatarCache {
public:
    // A live handle to the picture at path for a box of width x height (the
    // caller unloads it), or 0 when the file does not load as a picture.
    ImageHandle load(const Text& path, std::int32_t width, std::int32_t height);
    void clear();
    // How many times a file was decoded; for tests and benchmarks.
    std::uint64_t decodeCount() const { return m_decodes; }

private:
    struct Entry {
        Text path;
        FileIdentity identity;
        std::int32_t width = 0, height = 0;
        ResampleFilter filter = ResampleFilter::Average;
        Image picture;
    };
    std::optional<Entry> m_entry;
    std::uint64_t m_decodes = 0;
};

// The composer's cache; the program composes on one thread.
AvatarCache& avatarCache();

// The picture decoded with the shortcuts a large file allows (DCT scaling,
// block averaging) and shrunk to width x height as drawImage would shrink it;
// pictures with a transparency mask are left at their decoded size.
bool decodeAvatar(const Text& path, std::int32_t width, std::int32_t height, Image& out,
                  FileIdentity* identity = nullptr);

}  // namespace vantrelo
