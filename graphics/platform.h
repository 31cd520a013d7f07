#pragma once
// What the drawing code needs to know of the display. The GUI installs a
// provider that asks the screen and the palette; headless programs keep the
// default: a 32-bit display and the face colour 0xF0F0F0.
#include <cstdint>

#include "base/text.h"

namespace vantrelo {

struct DisplayInfo {
    int bitsPerPixel = 32;                            // 0 when unknown
    Colour faceColour = rgbColour(0xF0, 0xF0, 0xF0);  // buttons and dialogs
};

using DisplayInfoProvider = DisplayInfo (*)();
void setDisplayInfoProvider(DisplayInfoProvider provider);  // nullptr: the headless default
DisplayInfo displayInfo();

}  // namespace vantrelo
