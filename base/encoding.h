#pragma once
// Conversion between Text (GBK) and Unicode at the boundaries: Qt strings, file
// names, FreeType. The GB18030 codec is used both ways: it equals GBK for every
// GBK character and keeps every other character as a four-byte sequence, so no
// typed character and no chosen file name is lost.
#include <string>
#include <string_view>

#include "base/text.h"

namespace vantrelo {

// UTF-8 to Text. Bytes that are not valid UTF-8 become U+FFFD first.
Text textFromUtf8(std::string_view utf8);
// Text to UTF-8. Bytes that do not form a GB18030 character become U+FFFD.
std::string textToUtf8(const Text& text);
// Text to code points, for drawing. Invalid bytes become U+FFFD.
std::u32string textToCodePoints(const Text& text);

}  // namespace vantrelo
