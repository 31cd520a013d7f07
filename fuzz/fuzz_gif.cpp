// decodeGif on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "graphics/decoders/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vantrelo::Image image;
    if (vantrelo::decodeGif({data, size}, image)) vantrelo::checkDecoded(image);
    return 0;
}
