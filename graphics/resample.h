#pragma once
// Scaling a picture to a target size: averaging (a box filter with fractional
// coverage when shrinking, linear interpolation when enlarging) or the nearest
// source pixel. Separable, with per-column and per-row weights in fixed point,
// and only the visible part of the target is computed.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/canvas.h"
#include "graphics/image.h"

namespace vantrelo {

enum class ResampleFilter { Nearest, Average };

// Averaging on a display of more than 16 bits per pixel; the nearest pixel on
// 16 bits or fewer, or when the depth is unknown (0).
ResampleFilter displayResampleFilter();

// A read-only view of source pixels: either a decoded Image (red, green, blue
// bytes, optional opacity plane) or a backing image (0xFFRRGGBB words).
struct PixelSource {
    enum class Layout { Rgb24, Xrgb32 };
    Layout layout = Layout::Rgb24;
    const std::uint8_t* data = nullptr;
    const std::uint8_t* alpha = nullptr;  // width x height opacities, or nullptr: opaque
    std::int32_t width = 0, height = 0;

    static PixelSource of(const Image& image);
    static PixelSource of(const PixelImage& image);
    bool empty() const { return width <= 0 || height <= 0 || !data; }
};

// Scales the whole source to targetWidth x targetHeight and writes the part
// `visible` of that target (in target coordinates; it must lie inside
// 0..targetWidth x 0..targetHeight) into `out`, row by row, as 0xAARRGGBB.
// With an opacity plane the colours come out premultiplied by their opacity.
void resample(const PixelSource& source, std::int32_t targetWidth, std::int32_t targetHeight, const Rect& visible,
              ResampleFilter filter, std::vector<std::uint32_t>& out);

}  // namespace vantrelo
