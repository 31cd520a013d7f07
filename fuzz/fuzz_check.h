#pragma once
// What every harness checks of a decoded picture: a decoder that says yes must
// hand over a whole, consistent picture within the limits.
#include <cstdlib>

#include "graphics/image.h"
#include "graphics/limits.h"

namespace vantrelo {

inline void checkDecoded(const Image& image) {
    const bool sizeOk = imageSizeAllowed(image.width, image.height);
    const std::size_t pixels = sizeOk ? std::size_t(image.width) * std::size_t(image.height) : 0;
    const bool iconKind = image.kind == ImageKind::Icon || image.kind == ImageKind::Cursor;
    if (!sizeOk || image.rgb.size() != pixels * 3 || image.alpha.size() != (iconKind ? pixels : 0)) std::abort();
    // Read every byte so that a pixel left uninitialised or out of bounds shows.
    unsigned sum = 0;
    for (std::uint8_t v : image.rgb) sum += v;
    for (std::uint8_t v : image.alpha) sum += v;
    volatile unsigned sink = sum;
    (void)sink;
}

}  // namespace vantrelo
