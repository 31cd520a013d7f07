// JPEG through libjpeg: default decompression settings, silent messages, a
// fatal error returns here and fails the load, data that ends early is decoded
// as far as it goes (libjpeg warns and supplies the end marker itself).
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <vector>

#include <jpeglib.h>

#include "graphics/decoders/decoders.h"
#include "graphics/limits.h"

namespace vantrelo {

namespace {

// A real progressive file has about ten scans; thousands of tiny crafted ones
// would keep the decoder busy for minutes on every redraw.
constexpr int kMaxScans = 1000;

struct ErrorManager {
    jpeg_error_mgr base;  // first, so libjpeg's pointer to it is a pointer to this
    std::jmp_buf jump;
};

[[noreturn]] void onFatalError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void discardMessage(j_common_ptr) {}
void discardEmit(j_common_ptr, int) {}

void limitScans(j_common_ptr info) {
    auto* decompressor = reinterpret_cast<j_decompress_ptr>(info);
    if (decompressor->input_scan_number > kMaxScans) onFatalError(info);
}

// Everything the guarded steps touch. Plain data only: libjpeg may jump out of
// any step, which must then leave nothing to destroy behind.
struct Job {
    jpeg_decompress_struct info;
    ErrorManager errors;
    jpeg_progress_mgr progress;
    const std::uint8_t* data = nullptr;
    unsigned long size = 0;
    std::uint8_t* row = nullptr;  // one output scanline
    std::uint8_t* rgb = nullptr;  // output_width * output_height * 3
    bool created = false;
};

// The only setjmp. Nothing in this frame has a destructor.
bool runGuarded(Job& job, void (*step)(Job&)) {
    if (setjmp(job.errors.jump)) return false;
    step(job);
    return true;
}

void readHeader(Job& job) {
    job.created = true;  // destroying a half-created decompressor is safe
    jpeg_create_decompress(&job.info);
    job.info.progress = &job.progress;
    jpeg_mem_src(&job.info, job.data, job.size);
    jpeg_read_header(&job.info, TRUE);  // TRUE: a stream without an image is an error
}

void computeOutputSize(Job& job) { jpeg_calc_output_dimensions(&job.info); }

void convertRow(const jpeg_decompress_struct& info, const std::uint8_t* in, std::uint8_t* out) {
    const JDIMENSION width = info.output_width;
    switch (info.output_components) {
    case 1:  // grey: the value in red, green and blue
        for (JDIMENSION x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
        break;
    case 3:
        for (JDIMENSION x = 0; x < width * 3; ++x) out[x] = in[x];
        break;
    default:  // CMYK: Adobe files store it inverted
        for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
            const unsigned k = info.saw_Adobe_marker ? in[3] : 255u - in[3];
            for (int c = 0; c < 3; ++c) {
                const unsigned ink = info.saw_Adobe_marker ? in[c] : 255u - in[c];
                out[c] = std::uint8_t(ink * k / 255);
            }
        }
        break;
    }
}

void decodeScanlines(Job& job) {
    jpeg_start_decompress(&job.info);
    const std::size_t stride = std::size_t(job.info.output_width) * 3;
    while (job.info.output_scanline < job.info.output_height) {
        JSAMPROW rows[1] = {job.row};
        const JDIMENSION y = job.info.output_scanline;
        if (jpeg_read_scanlines(&job.info, rows, 1) != 1) break;  // only a suspending source returns 0
        convertRow(job.info, job.row, job.rgb + stride * y);
    }
    jpeg_finish_decompress(&job.info);
}

void destroy(Job& job) {
    if (job.created) jpeg_destroy_decompress(&job.info);
}

// Smallest of 1/8, 1/4, 1/2 and 1 whose output is still at least the wanted size.
unsigned scaleDenominator(JDIMENSION width, JDIMENSION height, const DecodeOptions& options) {
    if (options.atLeastWidth <= 0 || options.atLeastHeight <= 0) return 1;
    for (unsigned denominator : {8u, 4u, 2u}) {
        const std::uint64_t w = (std::uint64_t(width) + denominator - 1) / denominator;
        const std::uint64_t h = (std::uint64_t(height) + denominator - 1) / denominator;
        if (w >= std::uint64_t(options.atLeastWidth) && h >= std::uint64_t(options.atLeastHeight)) return denominator;
    }
    return 1;
}

bool decodeWith(Job& job, Image& out, const DecodeOptions& options) {
    job.info.err = jpeg_std_error(&job.errors.base);
    job.errors.base.error_exit = onFatalError;
    job.errors.base.output_message = discardMessage;
    job.errors.base.emit_message = discardEmit;
    job.progress.progress_monitor = limitScans;
    if (!runGuarded(job, readHeader)) return false;

    // The size is checked before libjpeg allocates anything of it.
    if (!imageSizeAllowed(job.info.image_width, job.info.image_height)) return false;
    if (job.info.out_color_space != JCS_GRAYSCALE && job.info.out_color_space != JCS_CMYK)
        job.info.out_color_space = JCS_RGB;
    job.info.scale_num = 1;
    job.info.scale_denom = scaleDenominator(job.info.image_width, job.info.image_height, options);
    if (!runGuarded(job, computeOutputSize)) return false;
    const int components = job.info.output_components;
    if (components != 1 && components != 3 && components != 4) return false;

    const std::size_t width = job.info.output_width, height = job.info.output_height;
    std::vector<std::uint8_t> row(width * std::size_t(components));
    std::vector<std::uint8_t> rgb(width * height * 3);
    job.row = row.data();
    job.rgb = rgb.data();
    if (!runGuarded(job, decodeScanlines)) return false;

    out.kind = ImageKind::Jpeg;
    out.width = std::int32_t(width);
    out.height = std::int32_t(height);
    out.rgb = std::move(rgb);
    out.alpha.clear();
    return true;
}

}  // namespace

bool decodeJpeg(ByteSpan data, Image& out, const DecodeOptions& options) {
    if (data.size() < 2 || data[0] != 0xFF || data[1] != 0xD8) return false;
    Job job{};
    job.data = data.data();
    job.size = static_cast<unsigned long>(data.size());
    const bool decoded = decodeWith(job, out, options);
    destroy(job);
    return decoded;
}

}  // namespace vantrelo
