#pragma once
// loadImage / unloadImage and the set of live handles. Every failure gives the
// handle 0 and shows nothing.
#include <cstdint>
#include <optional>

#include "base/text.h"
#include "graphics/decoders/decoders.h"
#include "graphics/image.h"

namespace vantrelo {

using ImageHandle = std::uint32_t;  // 0 names no picture

// The kind a picture's first six bytes announce, in the order the loader tries them.
std::optional<ImageKind> sniffImageKind(ByteSpan data);

// Decodes data of any supported kind into `out`; false when it is no picture.
bool decodeImage(ByteSpan data, Image& out, const DecodeOptions& options = {});

ImageHandle loadImage(const Bytes& data);
ImageHandle loadImage(const Text& path);
void unloadImage(ImageHandle handle);

// The live picture named by handle, or nullptr when the handle is not live.
const Image* findImage(ImageHandle handle);

// Number of live handles (for tests: at rest none is loaded).
std::size_t liveImageCount();

}  // namespace vantrelo
