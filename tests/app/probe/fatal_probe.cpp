// A helper for the stop tests: stops through fatalStop with the real message
// box, which it then reads and dismisses itself, printing what it saw:
//   vantrelo-fatal-probe stop <code> <hex>   fatalStop(message, code), the message's bytes in hex
//   vantrelo-fatal-probe descriptions             the program with damaged window data
#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/fatal_box.h"
#include "app/startup.h"
#include "base/encoding.h"
#include "base/fatal.h"
#include "shell/window_description.h"

namespace {

void hookThatMustNotRun() { std::puts("exit-hook-ran"); }

// Reads the stop box once it is up, prints it and presses its button.
void watchForTheBox() {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            const std::string text = vantrelo::textFromUtf8(box->text().toStdString()).bytes();
            std::printf("caption:%s\n", box->windowTitle().toUtf8().constData());
            std::printf("icon:%d\n", int(box->icon()));
            std::printf("buttons:%d\n", int(box->buttons().size()));
            std::printf("owner:%d\n", box->parentWidget() ? 1 : 0);
            std::printf("text:");
            for (unsigned char c : text) std::printf("%02x", c);
            std::printf("\n");
            std::fflush(stdout);
            box->button(QMessageBox::Ok)->click();
            return;
        }
    });
    timer->start(50);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "descriptions") == 0) {
        vantrelo::setWindowDescriptionsDamagedForTesting(true);
        // The program makes its own QApplication; the watcher starts with it.
        vantrelo::setExitHook(hookThatMustNotRun);
        qAddPreRoutine([] { watchForTheBox(); });
        return vantrelo::runProgram(argv[0]);
    }
    if (argc >= 4 && std::strcmp(argv[1], "stop") == 0) {
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        vantrelo::installFatalMessageBox();
        vantrelo::setExitHook(hookThatMustNotRun);
        watchForTheBox();
        const std::int32_t code = std::atoi(argv[2]);
        const std::string message = QByteArray::fromHex(argv[3]).toStdString();
        QTimer::singleShot(0, [&] { vantrelo::fatalStop(vantrelo::Text(message), code); });
        return app.exec();
    }
    std::fputs("usage: vantrelo-fatal-probe stop <code> <message> | descriptions\n", stderr);
    return 2;
}
