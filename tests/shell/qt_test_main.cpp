// The shell tests run with one QApplication on the offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

#include "shell/gui_platform.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vantrelo::installGuiPlatform();
    return RUN_ALL_TESTS();
}
