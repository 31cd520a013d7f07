#include "shell/gui_platform.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include "graphics/platform.h"

namespace vantrelo {

QFont defaultGuiFont() {
    QFont font(QStringLiteral("WenQuanYi Bitmap Song"));
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    return font;
}

QFont fontFor(FontRole role) {
    // SimSun -12 resolves to the same Song face as the default GUI font.
    QFont font = defaultGuiFont();
    if (role == FontRole::Heading) font.setWeight(QFont::Bold);  // weight 700
    if (role == FontRole::Link) font.setUnderline(true);
    return font;
}

QColor faceColour() { return QGuiApplication::palette().color(QPalette::Active, QPalette::Button); }

QColor toQColor(Colour c) {
    if (c == kColourMarker) return faceColour();
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

Colour fromQColor(const QColor& c) {
    return rgbColour(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue()));
}

namespace {

DisplayInfo qtDisplayInfo() {
    DisplayInfo info;
    const QScreen* screen = QGuiApplication::primaryScreen();
    info.bitsPerPixel = screen ? screen->depth() : 0;
    info.faceColour = fromQColor(faceColour());
    return info;
}

}  // namespace

void installGuiPlatform() {
    QApplication::setFont(defaultGuiFont());
    // Window backgrounds use the same face colour as buttons.
    QPalette palette = QApplication::palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Window, palette.color(group, QPalette::Button));
    QApplication::setPalette(palette);
    setDisplayInfoProvider(qtDisplayInfo);
}

}  // namespace vantrelo
