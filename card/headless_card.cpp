#include "card/headless_card.h"

namespace vantrelo {
namespace {

class RequestInputs final : public CardInputs {
public:
    explicit RequestInputs(const CardRequest& request) : m_request(request) {}
    std::int32_t selection() const override { return m_request.templatePosition - 1; }
    Text avatarPath() const override { return m_request.avatarPath; }
    Text lineText(int line) const override { return m_request.lines[line - 1]; }
    std::int32_t previewAreaClientWidth() const override { return 388; }
    std::int32_t previewAreaClientHeight() const override { return 300; }

private:
    const CardRequest& m_request;
};

// The window's copies of the preview area drop its picture and border and
// start hidden. These start that way at once: the same settings and size, with
// one backing image built instead of three.
CanvasSettings copySettings() {
    CanvasSettings s = previewAreaSettings();
    s.backgroundPicture.clear();
    s.border = CanvasBorder::None;
    s.visible = false;
    return s;
}

}  // namespace

CanvasSettings previewAreaSettings() {
    CanvasSettings s;
    s.left = 8;
    s.top = 8;
    s.width = 392;
    s.height = 304;
    s.border = CanvasBorder::Sunken;
    s.pictureMode = PictureMode::Tiled;
    return s;
}

HeadlessCard::HeadlessCard() : m_work(copySettings()), m_preview(copySettings()) {}

const Canvas& HeadlessCard::render(const CardRequest& request) {
    renderCard(RequestInputs(request), m_work, m_preview);
    return m_preview;
}

Bytes encodeCard(const Canvas& preview, CardFileFormat format) {
    switch (format) {
        case CardFileFormat::Png:
            return preview.backingImage() ? encodePng(*preview.backingImage()) : Bytes{};
        case CardFileFormat::Jpeg:
            return preview.backingImage() ? encodeJpeg(*preview.backingImage(), 90) : Bytes{};
        case CardFileFormat::Bmp:
            break;
    }
    return preview.snapshotBmp();
}

}  // namespace vantrelo
