#include "shell/gradient.h"

namespace vantrelo {

Colour gradientRowColour(std::span<const Colour> colours, std::int32_t height, std::int32_t y) {
    const std::int32_t n = static_cast<std::int32_t>(colours.size());
    if (n == 0) return 0;
    if (n == 1) return colours[0];
    const std::int32_t step = height / (n - 1);
    if (step > 0 && y / step > n - 2) return colours[std::size_t(n - 1)];
    const std::int32_t k = step > 0 ? y / step : 0;
    const double f = step > 0 ? double(y % step) / double(step) : 0.0;
    const Colour a = colours[std::size_t(k)];
    const Colour b = colours[std::size_t(k + 1)];
    auto mix = [f](std::uint8_t ca, std::uint8_t cb) {
        return static_cast<std::uint8_t>(static_cast<int>(ca + (int(cb) - int(ca)) * f));
    };
    return rgbColour(mix(redOf(a), redOf(b)), mix(greenOf(a), greenOf(b)), mix(blueOf(a), blueOf(b)));
}

}  // namespace vantrelo
