// decodeBmp on arbitrary bytes, at full size and, for inputs of odd length,
// averaged in blocks while decoding, so that both output paths are covered.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_check.h"
#include "graphics/decoders/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vantrelo::Image image;
    vantrelo::DecodeOptions options;
    if (size % 2 == 1) {
        options.atLeastWidth = static_cast<std::int32_t>(size % 7 + 1);
        options.atLeastHeight = static_cast<std::int32_t>(size % 5 + 1);
    }
    if (vantrelo::decodeBmp({data, size}, image, options)) {
        vantrelo::checkDecoded(image);
        if (image.kind != vantrelo::ImageKind::Bmp) std::abort();
    }
    return 0;
}
