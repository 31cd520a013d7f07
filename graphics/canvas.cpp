#include "graphics/canvas.h"

#include <algorithm>
#include <limits>

#include "base/encoding.h"
#include "graphics/bmp_writer.h"
#include "graphics/platform.h"
#include "graphics/resample.h"
#include "graphics/text_renderer.h"

namespace vantrelo {
namespace {

constexpr std::int32_t kMaxPosition = 32627;
constexpr std::int32_t kMaxSize = 32627;

std::int32_t limitPosition(std::int32_t v) { return std::clamp(v, -kMaxPosition, kMaxPosition); }
std::int32_t limitSize(std::int32_t v) { return std::clamp(v, 0, kMaxSize); }
CanvasBorder limitBorder(CanvasBorder b) {
    return CanvasBorder(std::clamp(int(b), int(CanvasBorder::None), int(CanvasBorder::Line)));
}

std::int32_t clampToInt32(std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t pixelOf(Colour c) {
    return 0xFF000000u | (std::uint32_t(redOf(c)) << 16) | (std::uint32_t(greenOf(c)) << 8) | blueOf(c);
}

Rect intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.empty()) return Rect{};
    return r;
}

// A rectangle given by a 64-bit origin and size, clipped to 0..w x 0..h.
Rect clipTo(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, std::int32_t w, std::int32_t h) {
    const std::int64_t l = std::max<std::int64_t>(x, 0), t = std::max<std::int64_t>(y, 0);
    const std::int64_t r = std::min<std::int64_t>(x + width, w), b = std::min<std::int64_t>(y + height, h);
    if (r <= l || b <= t) return Rect{};
    return Rect{std::int32_t(l), std::int32_t(t), std::int32_t(r), std::int32_t(b)};
}

PixelImage makeImage(std::int32_t w, std::int32_t h, std::uint32_t fill) {
    PixelImage img;
    img.width = w;
    img.height = h;
    if (fill == 0) {
        img.pixels.resize(std::size_t(w) * std::size_t(h));  // zeroed in one sweep
    } else {
        img.pixels.assign(std::size_t(w) * std::size_t(h), fill);
    }
    return img;
}

void fill(PixelImage& img, const Rect& r, std::uint32_t pixel) {
    for (std::int32_t y = r.top; y < r.bottom; ++y)
        std::fill_n(img.pixels.begin() + std::ptrdiff_t(y) * img.width + r.left, r.width(), pixel);
}

// How a source pixel meets the destination pixel.
enum class Combine { Copy, Inverted, Xor, Or, And, ColourKey };

struct Mode {
    Combine combine = Combine::Copy;
    std::uint32_t key = 0;  // 0xRRGGBB, for ColourKey
};

// Modes 1 to 5; for drawing a picture a negative mode is a colour key (its
// negation, 0x00BBGGRR). Anything else copies.
Mode modeOf(std::optional<std::int32_t> mode, bool allowKey) {
    Mode m;
    if (!mode) return m;
    switch (*mode) {
    case 2: m.combine = Combine::Inverted; break;
    case 3: m.combine = Combine::Xor; break;
    case 4: m.combine = Combine::Or; break;
    case 5: m.combine = Combine::And; break;
    default:
        if (*mode < 0 && allowKey) {
            const std::int64_t key = -std::int64_t(*mode);
            if (key <= 0xFFFFFF) {
                m.combine = Combine::ColourKey;
                m.key = pixelOf(Colour(key)) & 0xFFFFFFu;
            }
        }
        break;
    }
    return m;
}

template <Combine C>
void combineRow(std::uint32_t* d, const std::uint32_t* s, std::int32_t n, std::uint32_t key) {
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint32_t sp = s[i] & 0xFFFFFFu;
        if constexpr (C == Combine::Copy) d[i] = 0xFF000000u | sp;
        if constexpr (C == Combine::Inverted) d[i] = 0xFF000000u | (~sp & 0xFFFFFFu);
        if constexpr (C == Combine::Xor) d[i] = 0xFF000000u | ((d[i] ^ sp) & 0xFFFFFFu);
        if constexpr (C == Combine::Or) d[i] = 0xFF000000u | d[i] | sp;
        if constexpr (C == Combine::And) d[i] = 0xFF000000u | (d[i] & sp);
        if constexpr (C == Combine::ColourKey)
            if (sp != key) d[i] = 0xFF000000u | sp;
    }
}

// Lays `src` (width x height words, row by row) onto `dst` at r by the mode.
void combineInto(PixelImage& dst, const Rect& r, const std::uint32_t* src, const Mode& mode) {
    const std::int32_t w = r.width();
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        std::uint32_t* d = dst.pixels.data() + std::size_t(y) * dst.width + r.left;
        const std::uint32_t* s = src + std::size_t(y - r.top) * w;
        switch (mode.combine) {
        case Combine::Copy: combineRow<Combine::Copy>(d, s, w, 0); break;
        case Combine::Inverted: combineRow<Combine::Inverted>(d, s, w, 0); break;
        case Combine::Xor: combineRow<Combine::Xor>(d, s, w, 0); break;
        case Combine::Or: combineRow<Combine::Or>(d, s, w, 0); break;
        case Combine::And: combineRow<Combine::And>(d, s, w, 0); break;
        case Combine::ColourKey: combineRow<Combine::ColourKey>(d, s, w, mode.key); break;
        }
    }
}

// Lays premultiplied pixels with opacity (0xAARRGGBB) over `dst` at r.
void blendInto(PixelImage& dst, const Rect& r, const std::uint32_t* src) {
    const std::int32_t w = r.width();
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        std::uint32_t* d = dst.pixels.data() + std::size_t(y) * dst.width + r.left;
        const std::uint32_t* s = src + std::size_t(y - r.top) * w;
        for (std::int32_t i = 0; i < w; ++i) {
            const std::uint32_t a = s[i] >> 24;
            if (a == 0) continue;
            if (a == 255) {
                d[i] = 0xFF000000u | s[i];
                continue;
            }
            const std::uint32_t keep = 255 - a;
            std::uint32_t out = 0xFF000000u;
            for (int shift = 0; shift <= 16; shift += 8) {
                const std::uint32_t v = ((s[i] >> shift) & 0xFF) + (((d[i] >> shift) & 0xFF) * keep + 127) / 255;
                out |= std::min<std::uint32_t>(v, 255) << shift;
            }
            d[i] = out;
        }
    }
}

// Draws a decoded picture scaled to tw x th at (x, y) onto img, only inside clip.
void drawPicture(PixelImage& img, const Image& picture, std::int64_t x, std::int64_t y, std::int32_t tw,
                 std::int32_t th, const Rect& clip, const Mode& mode, std::vector<std::uint32_t>& scratch) {
    const Rect area = intersect(clipTo(x, y, tw, th, img.width, img.height), clip);
    if (area.empty()) return;
    const Rect visible{std::int32_t(area.left - x), std::int32_t(area.top - y), std::int32_t(area.right - x),
                       std::int32_t(area.bottom - y)};
    resample(PixelSource::of(picture), tw, th, visible, displayResampleFilter(), scratch);
    if (scratch.empty()) return;
    if (picture.hasMask())
        blendInto(img, area, scratch.data());  // icons and cursors: through their mask, whatever the mode
    else
        combineInto(img, area, scratch.data(), mode);
}

enum class RebuildCause { SizeChange, Other };

}  // namespace

struct Canvas::State {
    CanvasSettings s;
    CanvasObserver* observer = nullptr;
    std::optional<PixelImage> image;
    Point writePosition;
    std::optional<Image> picture;  // the background picture, decoded
    bool pictureDecoded = false;
    std::vector<std::uint32_t> pictureArgb;
    bool pictureWordsMade = false;
    TextFace* face = nullptr;  // for s.font, found on first use
    std::vector<std::uint32_t> scratch;

    int thickness() const {
        switch (s.border) {
        case CanvasBorder::None: return 0;
        case CanvasBorder::Sunken: return 2;
        case CanvasBorder::DialogFrame: return 3;
        case CanvasBorder::StaticEdge: return 1;
        case CanvasBorder::SunkenInFrame: return 5;
        case CanvasBorder::Line: return 1;
        }
        return 0;
    }
    std::int32_t clientWidth() const { return std::max(0, s.width - 2 * thickness()); }
    std::int32_t clientHeight() const { return std::max(0, s.height - 2 * thickness()); }
    Rect clientRect() const { return Rect{0, 0, clientWidth(), clientHeight()}; }

    std::uint32_t backgroundPixel() const {
        return pixelOf(s.backgroundColour == kColourMarker ? displayInfo().faceColour : s.backgroundColour);
    }

    const Image* decodedPicture() {
        if (!pictureDecoded) {
            pictureDecoded = true;
            picture.reset();
            Image img;
            if (!s.backgroundPicture.empty() && decodeImage(ByteSpan(s.backgroundPicture), img) && img.width > 0 &&
                img.height > 0)
                picture = std::move(img);
        }
        return picture ? &*picture : nullptr;
    }

    // The decoded background picture at its own size as 0xAARRGGBB
    // (premultiplied when it has a mask), for laying out without scaling.
    const std::vector<std::uint32_t>& pictureWords() {
        if (pictureWordsMade) return pictureArgb;
        pictureWordsMade = true;
        pictureArgb.clear();
        if (const Image* pic = decodedPicture())
            resample(PixelSource::of(*pic), pic->width, pic->height, Rect{0, 0, pic->width, pic->height},
                     ResampleFilter::Nearest, pictureArgb);
        return pictureArgb;
    }

    // The background laid out over the whole of img, painted inside clip only.
    void paintBackground(PixelImage& img, const Rect& clip) {
        if (clip.empty()) return;
        fill(img, clip, backgroundPixel());
        const Image* pic = decodedPicture();
        if (!pic) return;
        const std::int32_t W = img.width, H = img.height, pw = pic->width, ph = pic->height;
        if (s.pictureMode == PictureMode::CentredFit) {
            std::int32_t fw = pw, fh = ph;
            if (pw > W || ph > H) {
                // Shrunk by the tighter side so the whole picture shows, proportions kept.
                const double scale = std::min(double(W) / pw, double(H) / ph);
                fw = std::max(1, std::int32_t(pw * scale));
                fh = std::max(1, std::int32_t(ph * scale));
            }
            drawPicture(img, *pic, (W - fw) / 2, (H - fh) / 2, fw, fh, clip, Mode{}, scratch);
            return;
        }
        const std::vector<std::uint32_t>& words = pictureWords();
        if (words.empty()) return;
        // Tiled: the picture repeats from the top-left corner; otherwise it lies there once.
        const bool tiled = s.pictureMode == PictureMode::Tiled;
        const Rect area = tiled ? clip : intersect(clip, Rect{0, 0, pw, ph});
        if (area.empty()) return;
        std::vector<std::uint32_t> row(std::size_t(area.width()));
        for (std::int32_t y = area.top; y < area.bottom; ++y) {
            const std::uint32_t* src = words.data() + std::size_t(y % ph) * pw;
            for (std::int32_t x = area.left, i = 0; x < area.right; ++x, ++i) row[std::size_t(i)] = src[x % pw];
            const Rect line{area.left, y, area.right, y + 1};
            if (pic->hasMask())
                blendInto(img, line, row.data());
            else
                combineInto(img, line, row.data(), Mode{});
        }
    }

    void notifyContent(const Rect& r) {
        if (observer && !r.empty()) observer->canvasContentChanged(r);
    }
    void notifyGeometry() {
        if (observer) observer->canvasGeometryChanged();
    }

    void rebuild(RebuildCause cause) {
        if (!s.keepsImage) return;
        // Painted whole just below, so it starts as cheaply as it can.
        PixelImage fresh = makeImage(std::max(1, clientWidth()), std::max(1, clientHeight()), 0);
        paintBackground(fresh, Rect{0, 0, fresh.width, fresh.height});
        const bool fitted = !s.backgroundPicture.empty() && s.pictureMode == PictureMode::CentredFit;
        if (cause == RebuildCause::SizeChange && !fitted && image) {
            const std::int32_t w = std::min(image->width, fresh.width), h = std::min(image->height, fresh.height);
            for (std::int32_t y = 0; y < h; ++y)
                std::copy_n(image->pixels.begin() + std::ptrdiff_t(y) * image->width, w,
                            fresh.pixels.begin() + std::ptrdiff_t(y) * fresh.width);
        }
        image = std::move(fresh);
        notifyContent(clientRect());
    }

    // Applies a change of width, height or border.
    template <typename Change>
    void changeGeometry(Change change) {
        const std::int32_t oldW = clientWidth(), oldH = clientHeight();
        change();
        if (clientWidth() != oldW || clientHeight() != oldH) {
            writePosition = Point{0, 0};
            rebuild(RebuildCause::SizeChange);
        }
        notifyGeometry();
    }

    TextFace& textFaceForFont() {
        if (!face) face = &textFace(s.font);
        return *face;
    }

    // What the client area shows: the backing image, or for a canvas without
    // one its background (all a repaint would put on the screen).
    const PixelImage& picturePixels(PixelImage& storage) {
        if (image) return *image;
        storage = makeImage(std::max(1, clientWidth()), std::max(1, clientHeight()), 0xFF000000u);
        paintBackground(storage, Rect{0, 0, storage.width, storage.height});
        return storage;
    }
};

Canvas::Canvas(CanvasSettings stored) : m(std::make_unique<State>()) {
    m->s = std::move(stored);
    m->s.left = limitPosition(m->s.left);
    m->s.top = limitPosition(m->s.top);
    m->s.width = limitSize(m->s.width);
    m->s.height = limitSize(m->s.height);
    m->s.border = limitBorder(m->s.border);
    m->rebuild(RebuildCause::Other);
}

Canvas::~Canvas() = default;

void Canvas::setObserver(CanvasObserver* observer) { m->observer = observer; }

std::int32_t Canvas::left() const { return m->s.left; }
std::int32_t Canvas::top() const { return m->s.top; }
std::int32_t Canvas::width() const { return m->s.width; }
std::int32_t Canvas::height() const { return m->s.height; }

void Canvas::setLeft(std::int32_t v) {
    v = limitPosition(v);
    if (v == m->s.left) return;
    m->s.left = v;
    m->notifyGeometry();
}
void Canvas::setTop(std::int32_t v) {
    v = limitPosition(v);
    if (v == m->s.top) return;
    m->s.top = v;
    m->notifyGeometry();
}
void Canvas::setWidth(std::int32_t v) {
    v = limitSize(v);
    if (v == m->s.width) return;
    m->changeGeometry([&] { m->s.width = v; });
}
void Canvas::setHeight(std::int32_t v) {
    v = limitSize(v);
    if (v == m->s.height) return;
    m->changeGeometry([&] { m->s.height = v; });
}

bool Canvas::visible() const { return m->s.visible; }
void Canvas::setVisible(bool v) {
    if (v == m->s.visible) return;
    m->s.visible = v;
    if (m->observer) m->observer->canvasVisibilityChanged();
}

CanvasBorder Canvas::border() const { return m->s.border; }
void Canvas::setBorder(CanvasBorder b) {
    b = limitBorder(b);
    if (b == m->s.border) return;
    m->changeGeometry([&] { m->s.border = b; });
}
int Canvas::borderThickness() const { return m->thickness(); }
std::int32_t Canvas::clientWidth() const { return m->clientWidth(); }
std::int32_t Canvas::clientHeight() const { return m->clientHeight(); }

Colour Canvas::backgroundColour() const { return m->s.backgroundColour; }
void Canvas::setBackgroundColour(Colour c) {
    if (c == m->s.backgroundColour) return;
    m->s.backgroundColour = c;
    m->rebuild(RebuildCause::Other);
}

const Bytes& Canvas::backgroundPicture() const { return m->s.backgroundPicture; }
void Canvas::setBackgroundPicture(Bytes picture) {
    m->s.backgroundPicture = std::move(picture);
    m->pictureDecoded = false;
    m->pictureWordsMade = false;
    m->picture.reset();
    m->rebuild(RebuildCause::Other);  // even for the same bytes
}

PictureMode Canvas::pictureMode() const { return m->s.pictureMode; }
void Canvas::setPictureMode(PictureMode mode) { m->s.pictureMode = mode; }

bool Canvas::keepsImage() const { return m->s.keepsImage; }
void Canvas::setKeepsImage(bool on) {
    if (on == m->s.keepsImage) return;
    m->s.keepsImage = on;
    if (on) {
        m->rebuild(RebuildCause::Other);
    } else {
        m->image.reset();
        m->notifyContent(m->clientRect());  // the screen now shows the background
    }
}

int Canvas::scaleMode() const { return m->s.scaleMode; }
void Canvas::setScaleMode(int mode) { m->s.scaleMode = mode; }
Colour Canvas::textColour() const { return m->s.textColour; }
void Canvas::setTextColour(Colour c) { m->s.textColour = c; }
Colour Canvas::textBackground() const { return m->s.textBackground; }
void Canvas::setTextBackground(Colour c) { m->s.textBackground = c; }
const std::optional<FontDescription>& Canvas::font() const { return m->s.font; }
void Canvas::setFont(std::optional<FontDescription> font) {
    m->s.font = std::move(font);
    m->face = nullptr;
}
const CanvasSettings& Canvas::settings() const { return m->s; }

const PixelImage* Canvas::backingImage() const { return m->image ? &*m->image : nullptr; }
Point Canvas::writePosition() const { return m->writePosition; }

std::int32_t Canvas::imageWidth(ImageHandle handle) const {
    const Image* img = findImage(handle);
    return img ? img->width : 0;
}
std::int32_t Canvas::imageHeight(ImageHandle handle) const {
    const Image* img = findImage(handle);
    return img ? img->height : 0;
}

void Canvas::drawImage(ImageHandle handle, std::int32_t x, std::int32_t y, std::optional<std::int32_t> width,
                       std::optional<std::int32_t> height, std::optional<std::int32_t> mode) {
    const Image* img = findImage(handle);
    if (!img || img->width <= 0 || img->height <= 0 || !m->image) return;
    const std::int32_t tw = width.value_or(img->width), th = height.value_or(img->height);
    if (tw <= 0 || th <= 0) return;  // an empty or mirrored target draws nothing
    PixelImage& target = *m->image;
    const Rect all{0, 0, target.width, target.height};
    const Rect area = clipTo(x, y, tw, th, target.width, target.height);
    drawPicture(target, *img, x, y, tw, th, all, modeOf(mode, true), m->scratch);
    m->notifyContent(area);
}

void Canvas::writeText(std::optional<std::int32_t> x, std::optional<std::int32_t> y, std::span<const Text> texts) {
    if (!m->image) return;
    TextFace& face = m->textFaceForFont();
    std::optional<Colour> background;
    if (m->s.textBackground != kColourMarker) background = m->s.textBackground;
    const std::int32_t lineStep = face.cellHeight() + 2;  // the cell height of W: all cells are one height
    std::int64_t penX = x.value_or(m->writePosition.x);
    std::int64_t penY = y.value_or(m->writePosition.y);
    Rect dirty;
    auto drawLine = [&](std::u32string_view line) -> std::int32_t {
        if (line.empty()) return 0;
        const Rect cell = face.drawLine(*m->image, clampToInt32(penX), clampToInt32(penY), line, m->s.textColour, background);
        const Rect shown = intersect(cell, Rect{0, 0, m->image->width, m->image->height});
        if (!shown.empty())
            dirty = dirty.empty() ? shown
                                  : Rect{std::min(dirty.left, shown.left), std::min(dirty.top, shown.top),
                                         std::max(dirty.right, shown.right), std::max(dirty.bottom, shown.bottom)};
        return cell.width();
    };
    for (const Text& text : texts) {
        // A text ends at its first NUL.
        const std::size_t end = text.bytes().find('\0');
        const Text cut = end == std::string::npos ? text : Text(std::string_view(text.bytes()).substr(0, end));
        if (cut.empty()) continue;
        const std::u32string cps = textToCodePoints(cut);
        const std::u32string_view all(cps);
        std::size_t start = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const char32_t c = all[i];
            if (c != U'\r' && c != U'\n') continue;
            drawLine(all.substr(start, i - start));
            penY += lineStep;
            // An LF straight after a break character belongs to that break, so
            // CR LF, LF and LF LF each move down one line; CR CR moves two.
            while (i + 1 < all.size() && all[i + 1] == U'\n') ++i;
            start = i + 1;
        }
        penX += drawLine(all.substr(start));
    }
    m->notifyContent(dirty);
}

void Canvas::copyTo(const CopyArgs& args) {
    Canvas& dest = args.destination ? *args.destination : *this;
    const std::int64_t sx = args.sourceX.value_or(0), sy = args.sourceY.value_or(0);
    const std::int64_t w = args.width.value_or(clientWidth()), h = args.height.value_or(clientHeight());
    if (w <= 0 || h <= 0) return;
    const Rect from = clipTo(sx, sy, w, h, clientWidth(), clientHeight());
    if (from.empty()) return;  // wholly outside the source
    if (!dest.m->image) return;
    PixelImage storage;
    const PixelImage& src = m->picturePixels(storage);
    const Rect readable = intersect(from, Rect{0, 0, src.width, src.height});
    if (readable.empty()) return;
    const std::int64_t dx = std::int64_t(args.destX.value_or(0)) + (readable.left - sx);
    const std::int64_t dy = std::int64_t(args.destY.value_or(0)) + (readable.top - sy);
    PixelImage& dst = *dest.m->image;
    const Rect to = clipTo(dx, dy, readable.width(), readable.height(), dst.width, dst.height);
    if (to.empty()) return;
    // Taken out first, so a copy within one canvas may overlap itself.
    std::vector<std::uint32_t> block(std::size_t(to.width()) * std::size_t(to.height()));
    const std::int32_t srcLeft = std::int32_t(readable.left + (to.left - dx));
    const std::int32_t srcTop = std::int32_t(readable.top + (to.top - dy));
    for (std::int32_t row = 0; row < to.height(); ++row)
        std::copy_n(src.pixels.begin() + std::ptrdiff_t(srcTop + row) * src.width + srcLeft, to.width(),
                    block.begin() + std::ptrdiff_t(row) * to.width());
    combineInto(dst, to, block.data(), modeOf(args.mode, false));
    dest.m->notifyContent(to);
}

void Canvas::clear(std::optional<std::int32_t> x, std::optional<std::int32_t> y, std::optional<std::int32_t> width,
                   std::optional<std::int32_t> height) {
    std::int64_t l = x.value_or(0), t = y.value_or(0);
    std::int64_t r = width ? l + *width : clientWidth();
    std::int64_t b = height ? t + *height : clientHeight();
    if (r < l) std::swap(l, r);
    if (b < t) std::swap(t, b);
    m->writePosition = Point{clampToInt32(l), clampToInt32(t)};
    if (!m->image) return;
    const Rect area = clipTo(l, t, r - l, b - t, m->image->width, m->image->height);
    m->paintBackground(*m->image, area);
    m->notifyContent(area);
}

Bytes Canvas::snapshotBmp(std::optional<std::int32_t> width, std::optional<std::int32_t> height) const {
    PixelImage storage;
    const PixelImage& picture = m->picturePixels(storage);
    // Left out: the picture's own size; -p: p percent of it, at least 10 percent.
    auto outSize = [](std::optional<std::int32_t> given, std::int64_t natural) -> std::int64_t {
        if (!given) return natural;
        if (*given >= 0) return *given;
        const std::int64_t percent = std::max<std::int64_t>(10, -std::int64_t(*given));
        return natural * percent / 100;
    };
    const std::int64_t W = outSize(width, picture.width), H = outSize(height, picture.height);
    if (W <= 0 || H <= 0) return {};
    if (kBmpHeaderBytes + bmpRowBytes(W) * H > std::numeric_limits<std::int32_t>::max()) return {};
    if (W == picture.width && H == picture.height) return encodeBmp24(picture);
    PixelImage scaled;
    scaled.width = std::int32_t(W);
    scaled.height = std::int32_t(H);
    resample(PixelSource::of(picture), scaled.width, scaled.height, Rect{0, 0, scaled.width, scaled.height},
             displayResampleFilter(), scaled.pixels);
    return encodeBmp24(scaled);
}

}  // namespace vantrelo
