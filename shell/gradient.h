#pragma once
// The vertical gradient of the heading labels: colours evenly spaced from the
// top row to the bottom row, each row one colour.
#include <cstdint>
#include <span>

#include "base/text.h"

namespace vantrelo {

// The colour of pixel row y of a gradient over height rows through colours
// (at least one). The step is height div (n - 1); rows past the last step
// take the last colour; components are interpolated and truncated.
Colour gradientRowColour(std::span<const Colour> colours, std::int32_t height, std::int32_t y);

}  // namespace vantrelo
