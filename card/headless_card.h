#pragma once
// The card without a window: the two drawing surfaces set up as the window sets
// them up, fed from plain values. The headless renderer, the batch mode, the
// tests and the benchmarks compose through this, with the window's composer.
#include <memory>

#include "base/text.h"
#include "card/composer.h"
#include "graphics/canvas.h"
#include "graphics/encoders/encoders.h"

namespace vantrelo {

// The values the window's fields and chooser hold.
struct CardRequest {
    std::int32_t templatePosition = 1;  // 1..count
    Text lines[4];                      // nickname, board, post, contact
    Text avatarPath;                    // empty: the default avatar
};

// The preview area's settings as the window stores them: a sunken 392 x 304
// box at (8, 8) whose client area is 388 x 300.
CanvasSettings previewAreaSettings();

class HeadlessCard {
public:
    HeadlessCard();
    // Composes the card; the result is previewCanvas(). Needs the template list loaded.
    const Canvas& render(const CardRequest& request);
    const Canvas& previewCanvas() const { return m_preview; }
    const Canvas& workCanvas() const { return m_work; }

private:
    Canvas m_work;
    Canvas m_preview;
};

// The card's file contents in the given format; empty on failure.
Bytes encodeCard(const Canvas& preview, CardFileFormat format);

}  // namespace vantrelo
