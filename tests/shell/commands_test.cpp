#include "shell/commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>

#include "base/encoding.h"
#include "tests/shell/dialog_driver.h"
#include "graphics/canvas.h"
#include "shell/command_context.h"
#include "shell/file_dialog.h"
#include "shell_fixture.h"

namespace vantrelo {

static void PrintTo(const Text& text, std::ostream* out) { *out << '"' << textToUtf8(text) << '"'; }

namespace {

namespace fs = std::filesystem;

// The window as the commands see it: a real widget to own the dialogs, the
// real file dialog component and a real canvas holding a known card.
class TestWindow : public CommandContext {
public:
    TestWindow() { m_canvas = knownCard(); }

    static std::unique_ptr<Canvas> knownCard() {
        CanvasSettings settings;
        settings.width = 300;
        settings.height = 140;
        settings.backgroundColour = rgbColour(30, 60, 200);
        auto canvas = std::make_unique<Canvas>(settings);
        canvas->clear();
        canvas->setBackgroundColour(rgbColour(250, 200, 20));
        canvas->clear(0, 0, 150, 70);
        canvas->setBackgroundColour(rgbColour(20, 160, 40));
        canvas->clear(150, 70, 150, 70);
        return canvas;
    }

    QWidget* mainWidget() override { return &m_widget; }
    FileDialog& fileDialog() override { return m_dialog; }
    void setAvatarPathText(const Text& path) override { m_avatarTexts.push_back(path); }
    Canvas& previewCanvas() override { return *m_canvas; }

    QWidget m_widget;
    FileDialog m_dialog;
    std::unique_ptr<Canvas> m_canvas;
    std::vector<Text> m_avatarTexts;
};

using namespace dialog_driver;

QString fromGbk(const char* gbk) { return QString::fromStdString(textToUtf8(Text(gbk))); }

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
std::string asString(const Bytes& b) { return std::string(b.begin(), b.end()); }

class Commands : public testing::Test {
protected:
    void SetUp() override {
        m_startFolder = QDir::currentPath();
        m_dir = fs::temp_directory_path() /
                ("vantrelo-commands-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "face.jpg") << "a picture";
        QDir::setCurrent(q(m_dir));  // the dialogs open here
        m_window.m_widget.show();
        // Nothing may stay open: a box or dialog no step of the test answers is
        // a fault, and closing it keeps the test from waiting for ever.
        QObject::connect(&m_watchdog, &QTimer::timeout, [this] {
            QWidget* open = QApplication::activeModalWidget();
            m_openTicks = open && open == m_lastOpen ? m_openTicks + 1 : 0;
            m_lastOpen = open;
            if (m_openTicks > 60) {
                auto* box = qobject_cast<QMessageBox*>(open);
                ADD_FAILURE() << "left open: " << open->metaObject()->className() << " "
                              << (box ? box->text().toStdString() : std::string());
                closeModalWidgets();
            }
        });
        m_watchdog.start(50);
    }
    void TearDown() override {
        m_watchdog.stop();
        expectNothingAwaited();
        QDir::setCurrent(m_startFolder);
        fs::remove_all(m_dir);
    }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir)) names.insert(e.path().filename().string());
        return names;
    }
    const PixelImage& card() const { return *m_window.m_canvas->backingImage(); }

    TestWindow m_window;
    fs::path m_dir;
    QString m_startFolder;
    QTimer m_watchdog;
    QWidget* m_lastOpen = nullptr;
    int m_openTicks = 0;
};

TEST_F(Commands, ChoosingAnAvatarPutsItsFullPathIntoTheFieldEachTime) {
    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
        // 图片文件(*.bmp;*.jpg;*.gif)
        EXPECT_EQ(d->nameFilters(),
                  QStringList(fromGbk("\xCD\xBC\xC6\xAC\xCE\xC4\xBC\xFE(*.bmp;*.jpg;*.gif)") + " (*.bmp *.jpg *.gif)"));
        chooseIn(d, "face.jpg");
    });
    chooseAvatar(m_window);
    ASSERT_EQ(m_window.m_avatarTexts, std::vector<Text>{t(m_dir / "face.jpg")});

    // The same file again still sets the field again.
    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(nameBox(d)->text(), "face.jpg");
        chooseIn(d, "face.jpg");
    });
    chooseAvatar(m_window);
    EXPECT_EQ(m_window.m_avatarTexts, std::vector<Text>(2, t(m_dir / "face.jpg")));

    whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    chooseAvatar(m_window);
    EXPECT_EQ(m_window.m_avatarTexts.size(), 2u);
}

TEST_F(Commands, SavingWritesTheCardInTheFormatItsNameAsksFor) {
    const Bytes bmp = m_window.m_canvas->snapshotBmp();
    ASSERT_EQ(bmp.size(), 54u + 900u * 140u);
    struct Case {
        const char* typed;
        const char* written;
        const char* format;  // nullptr: the BMP export byte for byte
    };
    const Case cases[] = {
        {"card", "card.bmp", nullptr},        {"card.txt", "card.txt", nullptr}, {"card.png", "card.png", "PNG"},
        {"card.jpg", "card.jpg", "JPEG"},     {"Card.JPEG", "Card.JPEG", "JPEG"},
    };
    for (const Case& c : cases) {
        whenShown<QFileDialog>([&](QFileDialog* d) {
            EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(d->nameFilters(), QStringList(fromGbk("\xCD\xBC\xC6\xAC\xCE\xC4\xBC\xFE(*.bmp)") + " (*.bmp)"));
            EXPECT_EQ(d->defaultSuffix(), "bmp");
            chooseIn(d, c.typed);
        });
        saveCard(m_window);
        const std::string data = read(m_dir / c.written);
        if (!c.format) {
            EXPECT_TRUE(data == asString(bmp)) << c.typed << ": " << data.size() << " bytes";
            continue;
        }
        const QImage image = QImage::fromData(reinterpret_cast<const uchar*>(data.data()), int(data.size()), c.format);
        ASSERT_EQ(image.size(), QSize(300, 140)) << c.typed;
        if (std::string(c.format) == "PNG") {
            EXPECT_EQ(data.substr(0, 8), "\x89PNG\r\n\x1a\n");
            for (int y = 0; y < 140; ++y)
                for (int x = 0; x < 300; ++x)
                    ASSERT_EQ(image.pixel(x, y), card().at(x, y)) << x << "," << y;
        } else {
            EXPECT_EQ(data.substr(0, 3), "\xFF\xD8\xFF");
            for (const QPoint p : {QPoint(75, 35), QPoint(225, 35), QPoint(75, 105), QPoint(225, 105)}) {
                const QRgb got = image.pixel(p), want = card().at(p.x(), p.y());
                EXPECT_NEAR(qRed(got), qRed(want), 8) << c.typed;
                EXPECT_NEAR(qGreen(got), qGreen(want), 8) << c.typed;
                EXPECT_NEAR(qBlue(got), qBlue(want), 8) << c.typed;
            }
        }
    }
    EXPECT_EQ(entries(), (std::set<std::string>{"face.jpg", "card.bmp", "card.txt", "card.png", "card.jpg",
                                                "Card.JPEG"}));
}

TEST_F(Commands, ACancelledSaveWritesNothing) {
    whenShown<QFileDialog>([](QFileDialog* d) {
        nameBox(d)->setText("card");
        d->reject();
    });
    saveCard(m_window);
    EXPECT_EQ(entries(), std::set<std::string>{"face.jpg"});
}

// The one dialog carries its settings from one command to the other.
TEST_F(Commands, EachDialogOpensWithTheFileTheOtherOneChose) {
    whenShown<QFileDialog>([](QFileDialog* d) { chooseIn(d, "card"); });
    saveCard(m_window);
    ASSERT_TRUE(fs::exists(m_dir / "card.bmp"));
    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->directory().absolutePath(), q(m_dir));
        EXPECT_EQ(nameBox(d)->text(), "card.bmp");
        EXPECT_EQ(d->defaultSuffix(), "bmp");
        chooseIn(d, nameBox(d)->text());
    });
    chooseAvatar(m_window);
    EXPECT_EQ(m_window.m_avatarTexts, std::vector<Text>{t(m_dir / "card.bmp")});

    // Now the save dialog offers the avatar's name; taking it replaces the
    // picture, once the user has confirmed, with the card in the format the
    // name asks for.
    whenShown<QFileDialog>([&](QFileDialog* d) { chooseIn(d, "face.jpg"); });
    chooseAvatar(m_window);
    bool confirmed = false;
    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(nameBox(d)->text(), "face.jpg");
        whenShown<QMessageBox>([&](QMessageBox* box) {
            confirmed = true;
            box->button(QMessageBox::Yes)->click();
        });
        acceptButton(d)->click();
    });
    saveCard(m_window);
    EXPECT_TRUE(confirmed);
    const std::string data = read(m_dir / "face.jpg");
    EXPECT_EQ(QImage::fromData(reinterpret_cast<const uchar*>(data.data()), int(data.size()), "JPEG").size(),
              QSize(300, 140));
}

TEST_F(Commands, AFailedSaveIsReportedAndLeavesEverythingAsItWas) {
    std::ofstream(m_dir / "old.png") << "the old card";
    struct Case {
        const char* what;
        fs::path typed;
        std::function<void(TestWindow&)> arrange;
        const char* reason;  // GBK
    };
    const Case cases[] = {
        {"a missing folder", m_dir / "missing" / "card.bmp",
         [](TestWindow& w) { w.m_dialog.disableOption(FileDialogOption::PathMustExist); },
         "\xCE\xC4\xBC\xFE\xBC\xD0\xB2\xBB\xB4\xE6\xD4\xDA"},  // 文件夹不存在
        {"nothing to save", m_dir / "old.png",
         [](TestWindow& w) {
             CanvasSettings settings = w.m_canvas->settings();
             settings.keepsImage = false;  // no picture to write as PNG
             w.m_canvas = std::make_unique<Canvas>(settings);
         },
         "\xC3\xBB\xD3\xD0\xBF\xC9\xB1\xA3\xB4\xE6\xB5\xC4\xCD\xBC\xCF\xF1"},  // 没有可保存的图像
    };
    for (const Case& c : cases) {
        c.arrange(m_window);
        bool reported = false;
        whenShown<QFileDialog>([&](QFileDialog* d) {
            chooseIn(d, q(c.typed));
            if (d->isVisible()) d->reject();
        });
        // A replace is confirmed; the report comes once the dialog has closed.
        std::function<void(QMessageBox*)> answer = [&](QMessageBox* box) {
            if (box->windowTitle() != fromGbk("\xB4\xED\xCE\xF3")) {  // 错误
                whenShown<QMessageBox>(answer);
                box->button(QMessageBox::Yes)->click();
                return;
            }
            reported = true;
            EXPECT_EQ(box->parentWidget(), &m_window.m_widget) << c.what;
            EXPECT_EQ(box->icon(), QMessageBox::Warning) << c.what;
            // 名片保存失败：
            EXPECT_EQ(box->text(), fromGbk("\xC3\xFB\xC6\xAC\xB1\xA3\xB4\xE6\xCA\xA7\xB0\xDC\xA3\xBA") + q(c.typed) +
                                       "\r\n" + fromGbk(c.reason))
                << c.what;
            box->button(QMessageBox::Ok)->click();
        };
        whenShown<QMessageBox>(answer);
        saveCard(m_window);
        EXPECT_TRUE(reported) << c.what;
    }
    EXPECT_EQ(read(m_dir / "old.png"), "the old card");
    EXPECT_EQ(entries(), (std::set<std::string>{"face.jpg", "old.png"}));
}

// The commands on the program's own main window: the avatar field, the
// redraw it raises and the preview the save exports.
TEST_F(Commands, OnTheMainWindowTheChosenAvatarIsDrawnOnceAndTheSavedCardIsThePreview) {
    auto main = testing_support::startMainWindow();
    ASSERT_TRUE(main);
    CanvasSettings red;
    red.width = red.height = 90;
    red.backgroundColour = rgbColour(255, 0, 0);
    const Bytes avatar = Canvas(red).snapshotBmp();
    std::ofstream(m_dir / "red.bmp", std::ios::binary).write(reinterpret_cast<const char*>(avatar.data()),
                                                            std::streamsize(avatar.size()));

    const int rendersBefore = main->renderCount();
    whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    chooseAvatar(*main);
    EXPECT_EQ(main->renderCount(), rendersBefore);
    EXPECT_TRUE(main->edit(5).text().empty());

    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->parentWidget(), main->mainWidget());
        chooseIn(d, "red.bmp");
    });
    chooseAvatar(*main);
    EXPECT_EQ(main->edit(5).text(), t(m_dir / "red.bmp"));
    EXPECT_EQ(main->renderCount(), rendersBefore + 1);
    EXPECT_EQ(main->previewCanvas().backingImage()->at(12 + 45, 32 + 45), 0xFFFF0000u);

    whenShown<QFileDialog>([](QFileDialog* d) { chooseIn(d, "card"); });
    saveCard(*main);
    const Bytes shown = main->previewCanvas().snapshotBmp();
    EXPECT_EQ(shown.size(), 54u + 900u * 140u);
    EXPECT_TRUE(read(m_dir / "card.bmp") == asString(shown));
}

}  // namespace
}  // namespace vantrelo
