#pragma once
// One entry function per picture kind. Each takes the complete encoded data and
// fills `out` (kind, natural size, pixels); false means the data is not a
// picture of that kind that the program accepts. None of them throws or ends
// the program on bad data.
#include <cstdint>
#include <span>

#include "graphics/image.h"

namespace vantrelo {

using ByteSpan = std::span<const std::uint8_t>;

struct DecodeOptions {
    // When both are above 0, a decoder that can shrink cheaply while decoding
    // (JPEG scales by 1/2, 1/4 or 1/8 in the DCT; BMP averages whole blocks of
    // pixels) may deliver a smaller picture, but never one smaller than this on
    // either side. The natural size it reports is then the reduced size. 0 means
    // the full picture.
    std::int32_t atLeastWidth = 0;
    std::int32_t atLeastHeight = 0;
};

bool decodeBmp(ByteSpan data, Image& out, const DecodeOptions& options = {});
bool decodeJpeg(ByteSpan data, Image& out, const DecodeOptions& options = {});
bool decodeIcon(ByteSpan data, Image& out);  // icons and cursors: kind from the header
bool decodeGif(ByteSpan data, Image& out);
bool decodePcx(ByteSpan data, Image& out);   // 8-bit and 1-bit PCX

}  // namespace vantrelo
