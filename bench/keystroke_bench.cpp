// vantrelo-keystroke-bench: from a key typed into the nickname field to the
// preview widget having repainted, on the offscreen platform, with a large
// photo as the avatar. Prints the median, the 99th percentile and the worst.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/encoding.h"
#include "card/card_template.h"
#include "graphics/encoders/encoders.h"
#include "shell/controls.h"
#include "shell/gui_platform.h"
#include "shell/main_window.h"
#include "shell/window_description.h"

namespace {

namespace fs = std::filesystem;

// Sets a flag when the watched widget receives its paint event.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted = true;
        return false;
    }
};

vantrelo::PixelImage makePhoto(int width, int height) {
    vantrelo::PixelImage p;
    p.width = width;
    p.height = height;
    p.pixels.resize(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int r = int(128 + 100 * std::sin(x * 0.004)), g = int(128 + 100 * std::cos(y * 0.005));
            const int b = (x + y) * 255 / (width + height);
            p.pixels[std::size_t(y) * width + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int keystrokes = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    const fs::path photo = fs::temp_directory_path() / "vantrelo-keystroke-6000x4000.jpg";
    {
        const vantrelo::Bytes jpeg = vantrelo::encodeJpeg(makePhoto(6000, 4000), 90);
        std::ofstream(photo, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    }
    vantrelo::installGuiPlatform();
    if (!vantrelo::readWindowDescriptions()) return 1;
    vantrelo::createTemplateList();
    auto window = vantrelo::MainWindow::load();
    if (!window) return 1;
    window->edit(5).setText(vantrelo::textFromUtf8(photo.string()));
    QLineEdit* nickname = window->edit(1).lineEdit();
    nickname->setFocus();
    nickname->end(false);
    QWidget* preview = window->previewCanvasControl()->widget();
    PaintWatch watch;
    preview->installEventFilter(&watch);
    QApplication::processEvents();

    std::vector<double> ms;
    ms.reserve(std::size_t(keystrokes));
    QElapsedTimer timer;
    for (int i = 0; i < keystrokes; ++i) {
        watch.painted = false;
        timer.start();
        // Type a letter, then take it back, so the text stays short.
        QTest::keyClick(nickname, i % 2 == 0 ? Qt::Key_A : Qt::Key_Backspace);
        while (!watch.painted) QApplication::processEvents(QEventLoop::AllEvents);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, std::size_t(q * double(ms.size())))]; };
    std::printf("keystroke to repainted preview, 6000 x 4000 JPEG avatar, %d keys:\n", keystrokes);
    std::printf("  median %.3f ms, 99th percentile %.3f ms, worst %.3f ms\n", at(0.5), at(0.99), ms.back());
    window.reset();
    vantrelo::releaseTemplates();
    fs::remove(photo);
    return 0;
}
