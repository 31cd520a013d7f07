// GIF through giflib: the first image of the file, placed on the logical screen.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/decoders/decoders.h"
#include "graphics/limits.h"

namespace vantrelo {

namespace {

struct MemorySource {
    ByteSpan data;
    std::size_t position = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int wanted) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    const std::size_t left = source->data.size() - source->position;
    const std::size_t count = std::min(left, std::size_t(wanted > 0 ? wanted : 0));
    std::memcpy(buffer, source->data.data() + source->position, count);
    source->position += count;
    return int(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifPointer = std::unique_ptr<GifFileType, GifCloser>;

// Skips extension blocks until the first image descriptor; false at the
// trailer (no image) or on damaged data.
bool findFirstImage(GifFileType* gif) {
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) return false;
        if (record == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) != GIF_ERROR;
        if (record != EXTENSION_RECORD_TYPE) return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
        }
    }
}

// Row of the image that the n-th stored line fills, for interlaced images:
// every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
std::int64_t interlacedRow(std::int64_t n, std::int64_t height) {
    constexpr std::int64_t starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const std::int64_t rows = starts[pass] < height ? (height - starts[pass] + steps[pass] - 1) / steps[pass] : 0;
        if (n < rows) return starts[pass] + n * steps[pass];
        n -= rows;
    }
    return -1;
}

void colourOf(const ColorMapObject* map, int index, std::uint8_t* rgb) {
    if (map != nullptr && index >= 0 && index < map->ColorCount) {
        rgb[0] = map->Colors[index].Red;
        rgb[1] = map->Colors[index].Green;
        rgb[2] = map->Colors[index].Blue;
    } else {
        rgb[0] = rgb[1] = rgb[2] = 0;  // no table or an index beyond it: black
    }
}

}  // namespace

bool decodeGif(ByteSpan data, Image& out) {
    if (data.size() < 6 || (std::memcmp(data.data(), "GIF87a", 6) != 0 && std::memcmp(data.data(), "GIF89a", 6) != 0))
        return false;
    MemorySource source{data};
    int error = 0;
    GifPointer gif(DGifOpen(&source, readFromMemory, &error));
    if (!gif) return false;
    const std::int64_t screenWidth = gif->SWidth, screenHeight = gif->SHeight;
    if (!imageSizeAllowed(screenWidth, screenHeight)) return false;
    if (!findFirstImage(gif.get())) return false;

    const GifImageDesc& desc = gif->Image;
    const std::int64_t width = desc.Width, height = desc.Height;
    if (!imageSizeAllowed(width, height)) return false;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;

    // Outside the first image the screen shows its background colour.
    std::uint8_t background[3];
    colourOf(gif->SColorMap, gif->SBackGroundColor, background);
    std::vector<std::uint8_t> rgb(std::size_t(screenWidth * screenHeight * 3));
    for (std::size_t i = 0; i < rgb.size(); i += 3) std::memcpy(&rgb[i], background, 3);

    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    for (std::int64_t n = 0; n < height; ++n) {
        if (DGifGetLine(gif.get(), line.data(), int(width)) == GIF_ERROR) return false;
        const std::int64_t y = desc.Top + (desc.Interlace ? interlacedRow(n, height) : n);
        if (y < 0 || y >= screenHeight) continue;
        // The image lies at its offset on the screen; what falls outside is clipped.
        for (std::int64_t x = 0; x < width; ++x) {
            const std::int64_t screenX = desc.Left + x;
            if (screenX >= screenWidth) break;
            colourOf(map, line[std::size_t(x)], &rgb[std::size_t((y * screenWidth + screenX) * 3)]);
        }
    }

    out.kind = ImageKind::Gif;
    out.width = std::int32_t(screenWidth);
    out.height = std::int32_t(screenHeight);
    out.rgb = std::move(rgb);
    out.alpha.clear();
    return true;
}

}  // namespace vantrelo
