#pragma once
// renderCard: the one composing routine. It reads its inputs through an
// interface so that the window feeds it from its controls and the headless
// programs from their arguments; both then draw exactly the same card.
#include <cstdint>

#include "base/text.h"
#include "graphics/canvas.h"

namespace vantrelo {

class CardInputs {
public:
    virtual ~CardInputs() = default;
    virtual std::int32_t selection() const = 0;      // 0-based chooser selection
    virtual Text avatarPath() const = 0;             // text of the avatar field
    virtual Text lineText(int line) const = 0;       // line 1..4
    virtual std::int32_t previewAreaClientWidth() const = 0;   // client size of the preview area
    virtual std::int32_t previewAreaClientHeight() const = 0;
};

// The labels put before each line's text (ten GBK bytes each, ending in A3 BA).
const Text& lineLabel(int line);  // 1..4

// Removes ASCII spaces and full-width spaces (A1 A1) from both ends, stepping
// through two-byte characters; a lone final high byte is dropped.
Text trimBlanks(const Text& text);

// True when a directory search for path finds at least one entry (a file or a
// folder; wild cards in the last component match). An empty path does not exist.
bool pathExists(const Text& path);

// Composes the card on work, publishes it to preview and leaves work cleared.
void renderCard(const CardInputs& inputs, Canvas& work, Canvas& preview);

}  // namespace vantrelo
