#pragma once
// The Qt side of the platform: fonts of the window descriptions, the face
// colour, colour conversion, and the display information the drawing code asks.
#include <QColor>
#include <QFont>

#include "base/text.h"
#include "shell/window_description.h"

namespace vantrelo {

// The default GUI font: the 12-pixel Song bitmap face.
QFont defaultGuiFont();
// A font of the window description (default, bold heading, underlined link).
QFont fontFor(FontRole role);
// The face colour of buttons and dialogs, from the application palette.
QColor faceColour();
QColor toQColor(Colour c);  // 0x00BBGGRR; the marker gives the face colour
Colour fromQColor(const QColor& c);

// Sets the application font and the face colour and installs the display
// information provider. Needs a QApplication.
void installGuiPlatform();

}  // namespace vantrelo
