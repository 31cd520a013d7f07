// loadImage as a whole: the kind table, every decoder behind it, and the
// live-handle set, which must be empty again after each input.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "graphics/image_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vantrelo::Bytes bytes(data, data + size);
    const vantrelo::ImageHandle handle = vantrelo::loadImage(bytes);
    const vantrelo::Image* image = vantrelo::findImage(handle);
    if ((handle == 0) != (image == nullptr)) std::abort();
    if (image != nullptr) {
        vantrelo::checkDecoded(*image);
        if (vantrelo::sniffImageKind(bytes) != image->kind) std::abort();
    }
    vantrelo::unloadImage(handle);
    vantrelo::unloadImage(handle);  // a second time is harmless
    if (vantrelo::liveImageCount() != 0) std::abort();
    return 0;
}
