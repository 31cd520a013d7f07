#pragma once
// A drawing surface that keeps a backing image of its client area. Drawing goes
// into the backing image; an observer (the GUI's widget) is told what changed
// and repaints from it. With no observer the canvas works alone (headless).
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "base/text.h"
#include "graphics/image_loader.h"

namespace vantrelo {

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
};

struct Point {
    std::int32_t x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A 60-byte font description in the LOGFONT layout (little-endian):
// height, width, escapement, orientation, weight (4 bytes each), italic,
// underline, strike-out, character set, output precision, clip precision,
// quality, pitch and family (1 byte each), a 32-byte NUL-padded face name (GBK).
using FontDescription = std::array<std::uint8_t, 60>;

enum class CanvasBorder : int { None = 0, Sunken = 1, DialogFrame = 2, StaticEdge = 3, SunkenInFrame = 4, Line = 5 };
enum class PictureMode : int { TopLeft = 0, Tiled = 1, CentredFit = 2 };

// The stored settings of a canvas: what a window description holds and what a
// copy of the canvas starts with.
struct CanvasSettings {
    std::int32_t left = 0, top = 0, width = 0, height = 0;  // outer geometry
    bool visible = true;
    CanvasBorder border = CanvasBorder::None;
    Colour backgroundColour = kColourMarker;  // the marker: the face colour
    Bytes backgroundPicture;                  // empty: none
    PictureMode pictureMode = PictureMode::TopLeft;
    bool keepsImage = true;
    int scaleMode = 0;  // 0 pixels; others are treated as pixels
    Colour textColour = 0;
    Colour textBackground = kColourMarker;  // the marker: transparent
    std::optional<FontDescription> font;    // none: the default user-interface font
};

// The backing image: 32-bit pixels 0xFFRRGGBB, top row first, no row padding.
struct PixelImage {
    std::int32_t width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(std::int32_t x, std::int32_t y) const { return pixels[std::size_t(y) * width + x]; }
};

// Told by a canvas what changed, so the screen can follow.
class CanvasObserver {
public:
    virtual ~CanvasObserver() = default;
    virtual void canvasContentChanged(const Rect& clientArea) = 0;  // repaint this part
    virtual void canvasGeometryChanged() = 0;                      // left, top, width, height or border
    virtual void canvasVisibilityChanged() = 0;
};

// Arguments of copyTo; every one may be left out.
struct CopyArgs {
    std::optional<std::int32_t> sourceX, sourceY, width, height;
    class Canvas* destination = nullptr;  // nullptr: the source itself
    std::optional<std::int32_t> destX, destY;
    std::optional<std::int32_t> mode;
};

class Canvas {
public:
    explicit Canvas(CanvasSettings stored = {});
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void setObserver(CanvasObserver* observer);

    // Settings; setting a value takes effect at once.
    std::int32_t left() const;
    std::int32_t top() const;
    std::int32_t width() const;
    std::int32_t height() const;
    void setLeft(std::int32_t v);    // limited to -32627..32627
    void setTop(std::int32_t v);
    void setWidth(std::int32_t v);   // limited to 0..32627
    void setHeight(std::int32_t v);
    bool visible() const;
    void setVisible(bool v);
    CanvasBorder border() const;
    void setBorder(CanvasBorder b);
    int borderThickness() const;     // pixels on each side
    std::int32_t clientWidth() const;
    std::int32_t clientHeight() const;
    Colour backgroundColour() const;
    void setBackgroundColour(Colour c);
    const Bytes& backgroundPicture() const;
    void setBackgroundPicture(Bytes picture);
    PictureMode pictureMode() const;
    void setPictureMode(PictureMode m);
    bool keepsImage() const;
    void setKeepsImage(bool on);
    int scaleMode() const;
    void setScaleMode(int mode);
    Colour textColour() const;
    void setTextColour(Colour c);
    Colour textBackground() const;
    void setTextBackground(Colour c);
    const std::optional<FontDescription>& font() const;
    void setFont(std::optional<FontDescription> font);
    // All current settings at once.
    const CanvasSettings& settings() const;

    // The backing image, or nullptr when keeps image is off.
    const PixelImage* backingImage() const;
    Point writePosition() const;

    std::int32_t imageWidth(ImageHandle handle) const;
    std::int32_t imageHeight(ImageHandle handle) const;
    void drawImage(ImageHandle handle, std::int32_t x, std::int32_t y, std::optional<std::int32_t> width = {},
                   std::optional<std::int32_t> height = {}, std::optional<std::int32_t> mode = {});
    void writeText(std::optional<std::int32_t> x, std::optional<std::int32_t> y, std::span<const Text> texts);
    void writeText(std::optional<std::int32_t> x, std::optional<std::int32_t> y, const Text& text) {
        writeText(x, y, std::span<const Text>(&text, 1));
    }
    void copyTo(const CopyArgs& args);
    void clear(std::optional<std::int32_t> x = {}, std::optional<std::int32_t> y = {},
               std::optional<std::int32_t> width = {}, std::optional<std::int32_t> height = {});
    Bytes snapshotBmp(std::optional<std::int32_t> width = {}, std::optional<std::int32_t> height = {}) const;

private:
    struct State;
    std::unique_ptr<State> m;
};

}  // namespace vantrelo
