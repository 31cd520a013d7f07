#pragma once
// A decoded picture: what loadImage hands to the canvas.
#include <cstdint>
#include <vector>

namespace vantrelo {

enum class ImageKind { Jpeg, Bmp, Icon, Cursor, Gif, Pcx8, Pcx1 };

struct Image {
    ImageKind kind = ImageKind::Bmp;
    std::int32_t width = 0;   // natural width in pixels
    std::int32_t height = 0;  // natural height in pixels
    // width * height pixels, top row first, three bytes each: red, green, blue.
    // Palette pictures (GIF, PCX) are expanded through their palette here.
    std::vector<std::uint8_t> rgb;
    // Icons and cursors only: width * height opacity values, 0 transparent to
    // 255 opaque, from the AND mask or the 32-bit alpha channel. Empty otherwise.
    std::vector<std::uint8_t> alpha;

    bool hasMask() const { return !alpha.empty(); }
};

}  // namespace vantrelo
