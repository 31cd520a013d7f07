#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdlib>
#include <vector>

#include "graphics/encoders/encoders.h"

namespace vantrelo {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void silentMessage(j_common_ptr) {}
[[noreturn]] void failCompress(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// The setjmp stays in a frame of its own with no destructors to skip.
bool compress(jpeg_compress_struct* cinfo, ErrorManager* err, const std::uint8_t* rgb, std::int32_t width,
              std::int32_t height, int quality, unsigned char** buffer, unsigned long* size) {
    if (setjmp(err->jump)) return false;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = JDIMENSION(width);
    cinfo->image_height = JDIMENSION(height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + std::size_t(cinfo->next_scanline) * width * 3);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

Bytes encodeJpeg(const PixelImage& picture, int quality) {
    Bytes out;
    if (picture.width <= 0 || picture.height <= 0) return out;
    std::vector<std::uint8_t> rgb(std::size_t(picture.width) * picture.height * 3);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const std::uint32_t p = picture.pixels[i];
        rgb[i * 3 + 0] = std::uint8_t(p >> 16);
        rgb[i * 3 + 1] = std::uint8_t(p >> 8);
        rgb[i * 3 + 2] = std::uint8_t(p);
    }
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = failCompress;
    err.base.output_message = silentMessage;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = compress(&cinfo, &err, rgb.data(), picture.width, picture.height,
                             std::clamp(quality, 1, 100), &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    if (ok && buffer) out.assign(buffer, buffer + size);
    std::free(buffer);
    return out;
}

CardFileFormat cardFileFormatForName(const Text& fileName) {
    std::string name = fileName.bytes();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(c < 0x80 ? std::tolower(c) : c); });
    auto endsWith = [&](std::string_view suffix) {
        return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (endsWith(".png")) return CardFileFormat::Png;
    if (endsWith(".jpg") || endsWith(".jpeg")) return CardFileFormat::Jpeg;
    return CardFileFormat::Bmp;
}

}  // namespace vantrelo
