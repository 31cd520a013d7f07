#include <png.h>

#include <csetjmp>
#include <vector>

#include "graphics/encoders/encoders.h"

namespace vantrelo {
namespace {

void appendToBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void noFlush(png_structp) {}
void silentWarning(png_structp, png_const_charp) {}
[[noreturn]] void failWrite(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Kept apart from the caller so that no object with a destructor lives in the
// frame that longjmp leaves.
bool writeRows(png_structp png, png_infop info, png_bytepp rows, std::int32_t width, std::int32_t height) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

Bytes encodePng(const PixelImage& picture) {
    Bytes out;
    if (picture.width <= 0 || picture.height <= 0) return out;
    std::vector<std::uint8_t> rgb(std::size_t(picture.width) * picture.height * 3);
    std::vector<png_bytep> rows(std::size_t(picture.height));
    for (std::int32_t y = 0; y < picture.height; ++y) {
        std::uint8_t* row = rgb.data() + std::size_t(y) * picture.width * 3;
        rows[std::size_t(y)] = row;
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const std::uint32_t p = picture.at(x, y);
            row[x * 3 + 0] = std::uint8_t(p >> 16);
            row[x * 3 + 1] = std::uint8_t(p >> 8);
            row[x * 3 + 2] = std::uint8_t(p);
        }
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failWrite, silentWarning);
    if (!png) return out;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return out;
    }
    png_set_write_fn(png, &out, appendToBytes, noFlush);
    const bool ok = writeRows(png, info, rows.data(), picture.width, picture.height);
    png_destroy_write_struct(&png, &info);
    if (!ok) out.clear();
    return out;
}

}  // namespace vantrelo
