#pragma once
// A main window built and started as the program does, on the offscreen platform.
#include <QApplication>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

#include "card/card_template.h"
#include "shell/main_window.h"
#include "shell/window_description.h"

namespace vantrelo::testing_support {

inline std::unique_ptr<MainWindow> startMainWindow() {
    if (!readWindowDescriptions()) return nullptr;
    createTemplateList();
    return MainWindow::load();
}

// The position of a widget inside its parent widget.
inline QRect placeIn(const QWidget* w) { return w->geometry(); }

inline bool isDark(QRgb p) { return qRed(p) < 128 && qGreen(p) < 128 && qBlue(p) < 128; }

// Rows of image holding at least one dark pixel.
inline std::vector<bool> darkRows(const QImage& image) {
    std::vector<bool> rows(std::size_t(image.height()), false);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isDark(image.pixel(x, y))) rows[std::size_t(y)] = true;
    return rows;
}

}  // namespace vantrelo::testing_support
