#pragma once
// Limits every decoder checks before it allocates pixels. A crafted header must
// fail the load, never exhaust memory or end the program.
#include <cstdint>

namespace vantrelo {

inline constexpr std::int64_t kMaxImageSide = 16384;
inline constexpr std::int64_t kMaxImagePixels = 128ll * 1024 * 1024;

// True when a picture of width x height (both already known to be > 0) may be decoded.
inline constexpr bool imageSizeAllowed(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

}  // namespace vantrelo
