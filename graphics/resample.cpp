#include "graphics/resample.h"

#include <algorithm>
#include <bit>

#include "graphics/platform.h"

namespace vantrelo {
namespace {

// A backing image's words are read as bytes blue, green, red.
static_assert(std::endian::native == std::endian::little);

// Weights are fixed point with 14 fractional bits; each output pixel's weights
// add up to exactly 1. Filtered rows keep 8 fractional bits, so the vertical
// sums stay below 2^31.
constexpr int kWeightBits = 14;
constexpr std::int32_t kWeightOne = 1 << kWeightBits;

// For each output index of one axis: the source indices it takes (first,
// count) and their weights.
struct AxisWeights {
    std::vector<std::int32_t> first;
    std::vector<std::int32_t> count;
    std::vector<std::int32_t> offset;  // into weight
    std::vector<std::int32_t> weight;
    std::int32_t maxCount = 1;
};

void addOutput(AxisWeights& a, std::int32_t first, const std::int32_t* w, std::int32_t n) {
    // Rounding may leave the sum a little off 1; the largest weight takes the difference.
    std::int32_t sum = 0, largest = 0;
    for (std::int32_t k = 0; k < n; ++k) {
        sum += w[k];
        if (w[k] > w[largest]) largest = k;
    }
    a.first.push_back(first);
    a.count.push_back(n);
    a.offset.push_back(std::int32_t(a.weight.size()));
    for (std::int32_t k = 0; k < n; ++k) a.weight.push_back(w[k] + (k == largest ? kWeightOne - sum : 0));
    a.maxCount = std::max(a.maxCount, n);
}

// Output indices [from, to) of an axis scaled from `src` to `dst` pixels.
AxisWeights axisWeights(std::int64_t src, std::int64_t dst, std::int64_t from, std::int64_t to) {
    AxisWeights a;
    const std::size_t n = std::size_t(to - from);
    a.first.reserve(n);
    a.count.reserve(n);
    a.offset.reserve(n);
    std::vector<std::int32_t> w;
    for (std::int64_t d = from; d < to; ++d) {
        w.clear();
        if (dst == src) {
            w.push_back(kWeightOne);
            addOutput(a, std::int32_t(d), w.data(), 1);
        } else if (dst < src) {
            // Shrinking: the output pixel covers [d*src, (d+1)*src) in units of
            // 1/dst source pixels; each source pixel weighs by how much of it lies inside.
            const std::int64_t start = d * src, end = (d + 1) * src;
            // Rounding the running total keeps the sum exact and every weight
            // within one unit, however strong the shrinking.
            const std::int64_t first = start / dst, last = (end - 1) / dst;
            std::int64_t before = 0;
            for (std::int64_t s = first; s <= last; ++s) {
                const std::int64_t covered = std::min(end, (s + 1) * dst) - start;
                const std::int64_t total = (covered * kWeightOne + src / 2) / src;
                w.push_back(std::int32_t(total - before));
                before = total;
            }
            addOutput(a, std::int32_t(first), w.data(), std::int32_t(w.size()));
        } else {
            // Enlarging: linear interpolation between the two source pixels
            // whose centres surround the output pixel's centre.
            const std::int64_t pos = ((2 * d + 1) * src * kWeightOne - dst * kWeightOne) / (2 * dst);
            if (pos <= 0) {
                w.push_back(kWeightOne);
                addOutput(a, 0, w.data(), 1);
                continue;
            }
            const std::int64_t s0 = pos >> kWeightBits;
            const std::int32_t frac = std::int32_t(pos & (kWeightOne - 1));
            if (s0 + 1 >= src || frac == 0) {
                w.push_back(kWeightOne);
                addOutput(a, std::int32_t(std::min(s0, src - 1)), w.data(), 1);
            } else {
                w.push_back(kWeightOne - frac);
                w.push_back(frac);
                addOutput(a, std::int32_t(s0), w.data(), 2);
            }
        }
    }
    return a;
}

std::vector<std::int32_t> nearestMap(std::int64_t src, std::int64_t dst, std::int64_t from, std::int64_t to) {
    std::vector<std::int32_t> map;
    map.reserve(std::size_t(to - from));
    for (std::int64_t d = from; d < to; ++d) map.push_back(std::int32_t(std::min(src - 1, (2 * d + 1) * src / (2 * dst))));
    return map;
}

// Source pixel access, fixed per layout so the inner loops stay tight.
template <PixelSource::Layout L>
struct Fetch;
template <>
struct Fetch<PixelSource::Layout::Rgb24> {
    static constexpr int kBytes = 3, kRed = 0, kGreen = 1, kBlue = 2;
};
template <>
struct Fetch<PixelSource::Layout::Xrgb32> {
    static constexpr int kBytes = 4, kRed = 2, kGreen = 1, kBlue = 0;
};

inline std::uint32_t premultiply(std::uint32_t c, std::uint32_t a) { return (c * a + 127) / 255; }

inline std::uint32_t pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

template <PixelSource::Layout L, bool HasAlpha>
void nearest(const PixelSource& s, std::int32_t tw, std::int32_t th, const Rect& v, std::uint32_t* out) {
    using F = Fetch<L>;
    const auto cols = nearestMap(s.width, tw, v.left, v.right);
    const auto rows = nearestMap(s.height, th, v.top, v.bottom);
    for (std::int32_t sy : rows) {
        const std::uint8_t* row = s.data + std::size_t(sy) * s.width * F::kBytes;
        const std::uint8_t* alphaRow = HasAlpha ? s.alpha + std::size_t(sy) * s.width : nullptr;
        for (std::int32_t sx : cols) {
            const std::uint8_t* p = row + std::size_t(sx) * F::kBytes;
            if constexpr (HasAlpha) {
                const std::uint32_t a = alphaRow[sx];
                *out++ = pack(a, premultiply(p[F::kRed], a), premultiply(p[F::kGreen], a), premultiply(p[F::kBlue], a));
            } else {
                *out++ = pack(255, p[F::kRed], p[F::kGreen], p[F::kBlue]);
            }
        }
    }
}

// acc += weight x row, element by element. GCC vectorises the widening
// multiply only at -O3; clang does at -O2.
#if defined(__GNUC__) && !defined(__clang__)
#define VANTRELO_VECTORISE [[gnu::optimize("O3")]]
#else
#define VANTRELO_VECTORISE
#endif
VANTRELO_VECTORISE void accumulateRow(std::uint32_t* __restrict acc, const std::uint8_t* __restrict row, std::size_t n,
                   std::uint32_t weight) {
    for (std::size_t i = 0; i < n; ++i) acc[i] += weight * std::uint32_t(row[i]);
}

// Rows first, then columns. The row pass runs over contiguous bytes, which the
// compiler turns into vector code; it is where a large picture's time goes.
template <PixelSource::Layout L, bool HasAlpha>
void average(const PixelSource& s, std::int32_t tw, std::int32_t th, const Rect& v, std::uint32_t* out) {
    using F = Fetch<L>;
    // With an opacity plane, rows are first turned into premultiplied red, green, blue, opacity.
    constexpr int B = HasAlpha ? 4 : F::kBytes;
    constexpr int R = HasAlpha ? 0 : F::kRed, G = HasAlpha ? 1 : F::kGreen, Bl = HasAlpha ? 2 : F::kBlue;
    const AxisWeights cols = axisWeights(s.width, tw, v.left, v.right);
    const AxisWeights rows = axisWeights(s.height, th, v.top, v.bottom);
    const std::size_t outW = std::size_t(v.width());

    // Only the source columns that some visible output column takes.
    const std::int32_t spanFirst = cols.first.front();
    const std::int32_t spanEnd = cols.first.back() + cols.count.back();
    const std::size_t spanBytes = std::size_t(spanEnd - spanFirst) * B;
    std::vector<std::uint32_t> acc(spanBytes);
    std::vector<std::uint8_t> premultiplied(HasAlpha ? spanBytes : 0);

    auto sourceRow = [&](std::int32_t sy) -> const std::uint8_t* {
        const std::uint8_t* row = s.data + (std::size_t(sy) * s.width + spanFirst) * F::kBytes;
        if constexpr (HasAlpha) {
            const std::uint8_t* alphaRow = s.alpha + std::size_t(sy) * s.width + spanFirst;
            for (std::int32_t x = 0; x < spanEnd - spanFirst; ++x) {
                const std::uint32_t a = alphaRow[x];
                const std::uint8_t* p = row + std::size_t(x) * F::kBytes;
                std::uint8_t* q = premultiplied.data() + std::size_t(x) * 4;
                q[0] = std::uint8_t(premultiply(p[F::kRed], a));
                q[1] = std::uint8_t(premultiply(p[F::kGreen], a));
                q[2] = std::uint8_t(premultiply(p[F::kBlue], a));
                q[3] = std::uint8_t(a);
            }
            return premultiplied.data();
        } else {
            return row;
        }
    };

    // The row pass leaves 14 fractional bits; the column pass takes 8 of them.
    constexpr int kDrop = kWeightBits - 8;
    constexpr std::uint32_t kDropHalf = 1u << (kDrop - 1);
    constexpr int kShift = kWeightBits + 8;
    constexpr std::uint32_t kHalf = 1u << (kShift - 1);
    for (std::size_t j = 0; j < rows.first.size(); ++j) {
        const std::int32_t first = rows.first[j], n = rows.count[j];
        const std::int32_t* w = rows.weight.data() + rows.offset[j];
        std::fill(acc.begin(), acc.end(), 0u);
        std::uint32_t* a = acc.data();
        for (std::int32_t k = 0; k < n; ++k) {
            const std::uint8_t* row = sourceRow(first + k);
            const std::uint32_t wk = std::uint32_t(w[k]);
            accumulateRow(a, row, spanBytes, wk);
        }
        for (std::size_t i = 0; i < outW; ++i) {
            const std::int32_t* cw = cols.weight.data() + cols.offset[i];
            const std::uint32_t* p = a + std::size_t(cols.first[i] - spanFirst) * B;
            std::uint32_t r = 0, g = 0, b = 0, al = 0;
            for (std::int32_t k = 0, m = cols.count[i]; k < m; ++k, p += B) {
                const std::uint32_t wk = std::uint32_t(cw[k]);
                r += wk * ((p[R] + kDropHalf) >> kDrop);
                g += wk * ((p[G] + kDropHalf) >> kDrop);
                b += wk * ((p[Bl] + kDropHalf) >> kDrop);
                if constexpr (HasAlpha) al += wk * ((p[3] + kDropHalf) >> kDrop);
            }
            const std::uint32_t alpha = HasAlpha ? (al + kHalf) >> kShift : 255;
            *out++ = pack(alpha, (r + kHalf) >> kShift, (g + kHalf) >> kShift, (b + kHalf) >> kShift);
        }
    }
}

template <PixelSource::Layout L, bool HasAlpha>
void run(const PixelSource& s, std::int32_t tw, std::int32_t th, const Rect& v, ResampleFilter f,
         std::uint32_t* out) {
    // At the natural size both filters give the source itself; the nearest path gets there directly.
    if (f == ResampleFilter::Nearest || (tw == s.width && th == s.height))
        nearest<L, HasAlpha>(s, tw, th, v, out);
    else
        average<L, HasAlpha>(s, tw, th, v, out);
}

}  // namespace

ResampleFilter displayResampleFilter() {
    return displayInfo().bitsPerPixel > 16 ? ResampleFilter::Average : ResampleFilter::Nearest;
}

PixelSource PixelSource::of(const Image& image) {
    PixelSource s;
    s.layout = Layout::Rgb24;
    const std::size_t n = std::size_t(std::max(image.width, 0)) * std::size_t(std::max(image.height, 0));
    if (image.rgb.size() < n * 3) return s;  // inconsistent: treat as empty
    s.data = image.rgb.data();
    s.alpha = image.alpha.size() >= n && !image.alpha.empty() ? image.alpha.data() : nullptr;
    s.width = image.width;
    s.height = image.height;
    return s;
}

PixelSource PixelSource::of(const PixelImage& image) {
    PixelSource s;
    s.layout = Layout::Xrgb32;
    const std::size_t n = std::size_t(std::max(image.width, 0)) * std::size_t(std::max(image.height, 0));
    if (image.pixels.size() < n) return s;
    s.data = reinterpret_cast<const std::uint8_t*>(image.pixels.data());
    s.width = image.width;
    s.height = image.height;
    return s;
}

void resample(const PixelSource& source, std::int32_t targetWidth, std::int32_t targetHeight, const Rect& visible,
              ResampleFilter filter, std::vector<std::uint32_t>& out) {
    out.clear();
    if (source.empty() || targetWidth <= 0 || targetHeight <= 0 || visible.empty() || visible.left < 0 ||
        visible.top < 0 || visible.right > targetWidth || visible.bottom > targetHeight)
        return;
    out.resize(std::size_t(visible.width()) * std::size_t(visible.height()));
    std::uint32_t* o = out.data();
    using Layout = PixelSource::Layout;
    if (source.layout == Layout::Xrgb32)
        run<Layout::Xrgb32, false>(source, targetWidth, targetHeight, visible, filter, o);
    else if (source.alpha)
        run<Layout::Rgb24, true>(source, targetWidth, targetHeight, visible, filter, o);
    else
        run<Layout::Rgb24, false>(source, targetWidth, targetHeight, visible, filter, o);
}

}  // namespace vantrelo
