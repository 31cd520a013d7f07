#include "app/startup.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <memory>

#include "app/fatal_box.h"
#include "app/platform.h"
#include "base/fatal.h"
#include "card/card_template.h"
#include "shell/gui_platform.h"
#include "shell/main_window.h"
#include "shell/window_description.h"

namespace vantrelo::embedded {
extern const unsigned char icon16_png[];
extern const std::size_t icon16_png_size;
extern const unsigned char icon24_png[];
extern const std::size_t icon24_png_size;
extern const unsigned char icon32_png[];
extern const std::size_t icon32_png_size;
extern const unsigned char icon48_png[];
extern const std::size_t icon48_png_size;
}  // namespace vantrelo::embedded

namespace vantrelo {
namespace {

constexpr const char* kDescriptionsUnreadable =
    "\xd4\xd8\xc8\xeb\xb4\xb0\xbf\xda\xc4\xa3\xb0\xe5\xca\xfd\xbe\xdd\xb6\xce\xb3\xf6\xb4\xed!"; /* 载入窗口模板数据段出错! */
constexpr const char* kMainWindowFailed = "\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc"; /* 载入启动窗口失败 */

QIcon programIcon() {
    QIcon icon;
    const struct {
        const unsigned char* data;
        std::size_t size;
    } images[] = {{embedded::icon16_png, embedded::icon16_png_size},
                  {embedded::icon24_png, embedded::icon24_png_size},
                  {embedded::icon32_png, embedded::icon32_png_size},
                  {embedded::icon48_png, embedded::icon48_png_size}};
    for (const auto& image : images) {
        QPixmap pixmap;
        if (pixmap.loadFromData(image.data, static_cast<uint>(image.size), "PNG")) icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

int runProgram(const char* programPath) {
    // The command line is ignored, Qt's own options too.
    int qtArgc = 1;
    char* qtArgv[] = {const_cast<char*>(programPath), nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Vantrelo"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    QApplication::setOrganizationName(QStringLiteral("Morvidane"));
    // File dialogs are not windows of the program: the loop ends when the main window goes.
    QApplication::setQuitOnLastWindowClosed(false);
    installFatalMessageBox();
    setCleanupHook(uninitialiseObjectLayer);
    installGuiPlatform();
    QApplication::setWindowIcon(programIcon());

    setQuietErrorMode();                                        // 1
    initialiseObjectLayer();                                    // 2
    enterProgramFolder();                                       // 3
    if (!readWindowDescriptions()) fatalStop(kDescriptionsUnreadable, 0);  // 4
    createTemplateList();                                       // 5
    setExitHook(releaseTemplates);                              // 6

    bool loopEntered = false;
    bool windowGone = false;
    std::unique_ptr<MainWindow> main = MainWindow::load();      // 7
    if (!main) fatalStop(kMainWindowFailed, 0);
    main->window().setDestroyedCallback([&] {
        windowGone = true;
        if (loopEntered) QCoreApplication::exit(0);
    });
    if (main->window().closed()) windowGone = true;

    loopEntered = true;                                         // 8
    int status = 0;
    if (!windowGone) status = QApplication::exec();

    main.reset();  // the window with all its controls
    runExitHook();
    uninitialiseObjectLayer();
    return status;
}

}  // namespace vantrelo
