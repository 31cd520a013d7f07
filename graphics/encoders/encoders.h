#pragma once
// Writing a canvas's picture in the formats forums accept besides BMP.
#include "base/text.h"
#include "graphics/canvas.h"

namespace vantrelo {

// PNG, 8-bit RGB, through libpng. Empty Bytes on failure or an empty picture.
Bytes encodePng(const PixelImage& picture);
// Baseline JPEG through libjpeg-turbo. Empty Bytes on failure or an empty picture.
Bytes encodeJpeg(const PixelImage& picture, int quality = 90);

enum class CardFileFormat { Bmp, Png, Jpeg };
// By the file name's extension, ignoring case: .png, .jpg/.jpeg; anything else BMP.
CardFileFormat cardFileFormatForName(const Text& fileName);

}  // namespace vantrelo
