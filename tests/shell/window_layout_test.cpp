// The main window as its description builds it: geometry, texts, fonts,
// colours, stacking and the drawing of labels, panels and the preview area.
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

#include "base/encoding.h"
#include "shell/gradient.h"
#include "shell/gui_platform.h"
#include "shell/widgets.h"
#include "shell_fixture.h"

namespace vantrelo {
namespace {

using testing_support::darkRows;
using testing_support::startMainWindow;

QString q(const char* gbk) { return QString::fromStdString(textToUtf8(Text(gbk))); }

TEST(HeadingGradient, EighteenRowsGoWhiteGreyWhite) {
    // s = 18 div 2 = 9: rows 0..8 from white toward 0xEC, rows 9..17 back.
    const int expected[18] = {255, 252, 250, 248, 246, 244, 242, 240, 238,
                              236, 238, 240, 242, 244, 246, 248, 250, 252};
    for (int y = 0; y < 18; ++y) {
        const Colour c = gradientRowColour(kHeadingGradient, 18, y);
        EXPECT_EQ(redOf(c), expected[y]) << "row " << y;
        EXPECT_EQ(greenOf(c), expected[y]) << "row " << y;
        EXPECT_EQ(blueOf(c), expected[y]) << "row " << y;
    }
}

TEST(HeadingGradient, RowsPastTheLastStepTakeTheLastColour) {
    const Colour colours[3] = {0x000000, 0x0000FF, 0x00FF00};
    // H = 19: s = 9, row 18 has y div s = 2 > 1.
    EXPECT_EQ(gradientRowColour(colours, 19, 18), 0x00FF00u);
    // H = 1: s = 0, every row is the first colour.
    EXPECT_EQ(gradientRowColour(colours, 1, 0), 0x000000u);
    // Components move independently and truncate: red 0 -> 255 at f = 1/9.
    EXPECT_EQ(gradientRowColour(colours, 18, 1), rgbColour(28, 0, 0));
}

TEST(MainWindowBuild, WindowIsCentredFixedAndCaptioned) {
    ASSERT_TRUE(readWindowDescriptions());
    std::unique_ptr<Window> window = Window::build(*mainWindowDescription());
    ASSERT_TRUE(window);
    QWidget* top = window->widget();
    EXPECT_EQ(top->windowTitle(), QStringLiteral("Vantrelo v1.01"));
    EXPECT_EQ(window->self().width(), 640);
    EXPECT_EQ(window->self().height(), 480);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->self().left(), (screen.width() - 640) / 2);
    EXPECT_EQ(window->self().top(), (screen.height() - 480) / 2);
    EXPECT_EQ(top->minimumSize(), top->maximumSize());  // not resizable by dragging
    const Qt::WindowFlags flags = top->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(top->isVisible());  // built hidden; the start shows it
    EXPECT_FALSE(window->deliveryOn());
}

struct Placement {
    const char* name;
    const char* parent;  // nullptr: the window
    int left, top, width, height;
    int tab;
};

// Every control whose geometry the layout keeps, at its designed place.
const Placement kPlacements[] = {
    {names::kLabel2, names::kSettingsPanel, 1, 1, 218, 18, -1},
    {names::kLabel1, names::kSettingsPanel, 4, 28, 69, 132, -1},
    {names::kEdit1, names::kSettingsPanel, 65, 24, 150, 20, 0},
    {names::kEdit2, names::kSettingsPanel, 65, 48, 150, 20, 1},
    {names::kEdit3, names::kSettingsPanel, 65, 72, 150, 20, 2},
    {names::kEdit4, names::kSettingsPanel, 65, 96, 150, 20, 3},
    {names::kChooser, names::kSettingsPanel, 65, 120, 150, 20, 4},
    {names::kEdit5, names::kSettingsPanel, 65, 144, 150, 20, 5},
    {names::kAvatarButton, names::kSettingsPanel, 65, 171, 72, 30, 6},
    {names::kSaveButton, names::kSettingsPanel, 143, 171, 72, 30, 7},
    {names::kLabel5, names::kSettingsPanel, 8, 216, 209, 120, -1},
    {names::kLabel3, names::kAboutPanel, -7, 1, 218, 18, -1},
    {names::kLabel4, names::kAboutPanel, 4, 36, 204, 62, -1},
    {names::kHyperlink, names::kAboutPanel, 48, 81, 104, 16, -1},
};

TEST(MainWindowBuild, ControlsStandAtTheirDesignedPlaces) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    for (const Placement& p : kPlacements) {
        Control* c = main->control(p.name);
        ASSERT_TRUE(c) << p.name;
        Control* parent = main->control(p.parent);
        EXPECT_EQ(c->parent(), parent) << textToUtf8(Text(p.name));
        EXPECT_EQ(c->widget()->parentWidget(), parent->widget()) << textToUtf8(Text(p.name));
        EXPECT_EQ(c->widget()->geometry(), QRect(p.left, p.top, p.width, p.height)) << textToUtf8(Text(p.name));
        EXPECT_EQ(c->tabIndex(), p.tab);
        EXPECT_TRUE(c->widget()->isVisible()) << textToUtf8(Text(p.name));
    }
    // The preview area and the panels: left, top and width as designed.
    EXPECT_EQ(main->previewArea().widget()->geometry().topLeft(), QPoint(8, 8));
    EXPECT_EQ(main->previewArea().width(), 392);
    EXPECT_EQ(main->previewArea().canvas().borderThickness(), 2);
    EXPECT_EQ(main->control(names::kSettingsPanel)->widget()->geometry().topLeft(), QPoint(407, 8));
    EXPECT_EQ(main->control(names::kSettingsPanel)->width(), 220);
    EXPECT_EQ(main->control(names::kAboutPanel)->left(), 408);
    EXPECT_EQ(main->control(names::kAboutPanel)->width(), 220);
    // The file dialog component has no window.
    Control* dialog = main->control(names::kFileDialog);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->widget(), nullptr);
    EXPECT_FALSE(dialog->visible());
}

TEST(MainWindowBuild, TextsAreByteExact) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    const struct {
        int field;
        const char* text;
    } edits[] = {{1, "Morvidane"}, {2, "www.morvidane.example"}, {3, "\xb9\xdc\xc0\xed\xd4\xb1" /* 管理员 */},
                 {4, "morvidane@morvidane.example"}, {5, ""}};
    for (const auto& e : edits) {
        EXPECT_EQ(main->edit(e.field).text(), Text(e.text)) << e.field;
        EXPECT_EQ(main->edit(e.field).lineEdit()->cursorPosition(), 0);
        EXPECT_FALSE(main->edit(e.field).lineEdit()->hasSelectedText());
    }
    auto label = [&](const char* name) {
        return static_cast<LabelWidget*>(main->control(name)->widget())->text();
    };
    EXPECT_EQ(label(names::kLabel2), q("\xc3\xfb\xc6\xac\xc9\xe8\xd6\xc3")); /* 名片设置 */
    EXPECT_EQ(label(names::kLabel3), q("\xb9\xd8\xd3\xda\xb1\xbe\xb3\xcc\xd0\xf2")); /* 关于本程序 */
    EXPECT_TRUE(label(names::kLabel1).startsWith(q("\xc2\xdb\xcc\xb3\xea\xc7\xb3\xc6\xa3\xba") + "\r\n\r\n"));
    EXPECT_EQ(label(names::kLabel1).count(QStringLiteral("\r\n")), 10);
    EXPECT_TRUE(label(names::kLabel5).startsWith(QStringLiteral("   Vantrelo")));
    EXPECT_EQ(label(names::kLabel4).left(14), QStringLiteral("Vantrelo v1.01"));
    auto* save = static_cast<ButtonControl*>(main->control(names::kSaveButton))->button();
    auto* avatar = static_cast<ButtonControl*>(main->control(names::kAvatarButton))->button();
    EXPECT_EQ(save->text(), q("\xd6\xc6\xd7\xf7\xc3\xfb\xc6\xac"));   /* 制作名片 */
    EXPECT_EQ(avatar->text(), q("\xd1\xa1\xd4\xf1\xcd\xb7\xcf\xf1")); /* 选择头像 */
    EXPECT_FALSE(save->isDefault() || save->autoDefault() || avatar->isDefault() || avatar->autoDefault());
    // The description's own bytes, not a conversion of them.
    EXPECT_EQ(main->control(names::kLabel1)->stored().text.bytes().substr(0, 12),
              std::string("\xc2\xdb\xcc\xb3\xea\xc7\xb3\xc6\xa3\xba\r\n", 12));
}

TEST(MainWindowBuild, FontsAreTheSongFaceAtTwelvePixels) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    const QFontInfo gui(QApplication::font());
    EXPECT_EQ(gui.family(), QStringLiteral("WenQuanYi Bitmap Song"));
    EXPECT_EQ(gui.pixelSize(), 12);
    for (const char* name : {names::kEdit1, names::kChooser, names::kSaveButton, names::kLabel1, names::kLabel5}) {
        const QFont f = main->control(name)->widget()->font();
        EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("WenQuanYi Bitmap Song")) << textToUtf8(Text(name));
        EXPECT_EQ(f.pixelSize(), 12);
        EXPECT_FALSE(f.bold());
        EXPECT_FALSE(f.underline());
    }
    for (const char* name : {names::kLabel2, names::kLabel3}) {
        const QFont f = main->control(name)->widget()->font();
        EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("WenQuanYi Bitmap Song"));
        EXPECT_EQ(f.weight(), QFont::Bold);
    }
    const QFont link = main->control(names::kHyperlink)->widget()->font();
    EXPECT_TRUE(link.underline());
    EXPECT_EQ(link.weight(), QFont::Normal);
    EXPECT_EQ(main->control(names::kHyperlink)->widget()->cursor().shape(), Qt::PointingHandCursor);
}

// Children of parent that are controls, bottom first as Qt stacks them.
std::vector<const QWidget*> stackBottomFirst(const QWidget* parent) {
    std::vector<const QWidget*> out;
    for (const QObject* o : parent->children())
        if (o->isWidgetType()) out.push_back(static_cast<const QWidget*>(o));
    return out;
}

TEST(MainWindowBuild, ChildrenStackInTheDescribedOrder) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    for (const StackingOrder& s : mainWindowDescription()->stacking) {
        const QWidget* parent = s.parent.empty() ? main->window().widget() : main->control(s.parent)->widget();
        std::vector<const QWidget*> described;
        for (auto it = s.topFirst.rbegin(); it != s.topFirst.rend(); ++it)
            described.push_back(main->control(*it)->widget());
        std::vector<const QWidget*> actual;
        for (const QWidget* w : stackBottomFirst(parent))
            if (std::find(described.begin(), described.end(), w) != described.end()) actual.push_back(w);
        EXPECT_EQ(actual, described) << textToUtf8(s.parent);
    }
}

TEST(MainWindowDrawing, HeadingsLieOnTheGradient) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    const QImage image = main->control(names::kLabel2)->widget()->grab().toImage();
    ASSERT_EQ(image.height(), 18);
    for (int y = 0; y < 18; ++y) {
        const Colour c = gradientRowColour(kHeadingGradient, 18, y);
        EXPECT_EQ(image.pixel(0, y) & 0xFFFFFF, QColor(redOf(c), greenOf(c), blueOf(c)).rgb() & 0xFFFFFF) << y;
    }
    // The bold text is centred: ink on both sides of the middle, none at the edges.
    int leftInk = 1000, rightInk = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (testing_support::isDark(image.pixel(x, y))) {
                leftInk = std::min(leftInk, x);
                rightInk = std::max(rightInk, x);
            }
    ASSERT_GE(rightInk, 0);
    EXPECT_LE(std::abs((leftInk + rightInk) / 2 - 109), 2);
    // Bold: clearly more ink than the same text in the regular face.
    auto ink = [](const QImage& im) {
        int n = 0;
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x) n += testing_support::isDark(im.pixel(x, y));
        return n;
    };
    QImage regular(image.size(), QImage::Format_RGB32);
    regular.fill(Qt::white);
    {
        QPainter p(&regular);
        p.setFont(defaultGuiFont());
        p.setPen(Qt::black);
        p.drawText(regular.rect(), Qt::AlignCenter | Qt::TextSingleLine, q("\xc3\xfb\xc6\xac\xc9\xe8\xd6\xc3"));
    }
    EXPECT_GT(ink(image) * 10, ink(regular) * 12);
}

TEST(MainWindowDrawing, RowCaptionsStandLevelWithTheInputRows) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    const QImage image = main->control(names::kLabel1)->widget()->grab().toImage();
    const std::vector<bool> rows = darkRows(image);
    // Label top 28 in the panel; captions at 28, 52, ... 148, each one 12-pixel line.
    for (int k = 0; k < 6; ++k) {
        bool inkInLine = false, inkInGap = false;
        for (int y = 24 * k; y < 24 * k + 12; ++y) inkInLine = inkInLine || rows[std::size_t(y)];
        for (int y = 24 * k + 12; y < std::min(24 * k + 24, image.height()); ++y) inkInGap = inkInGap || rows[std::size_t(y)];
        EXPECT_TRUE(inkInLine) << "caption " << k;
        EXPECT_FALSE(inkInGap) << "gap after caption " << k;
    }
}

TEST(MainWindowDrawing, PanelsHaveASilverOutlineOnTheFaceColour) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    const QImage image = main->control(names::kAboutPanel)->widget()->grab().toImage();
    const QRgb silver = qRgb(0xC0, 0xC0, 0xC0);
    EXPECT_EQ(image.pixel(0, 50), silver);
    EXPECT_EQ(image.pixel(image.width() - 1, 50), silver);
    EXPECT_EQ(image.pixel(100, 0), silver);
    EXPECT_EQ(image.pixel(100, image.height() - 1), silver);
    EXPECT_EQ(image.pixel(1, 30), faceColour().rgb());
}

TEST(MainWindowDrawing, PreviewAreaTilesTheCheckerboardFromItsClientCorner) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    const PixelImage* image = main->previewArea().canvas().backingImage();
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, main->previewArea().clientWidth());
    int wrong = 0;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) {
            const int expected = ((x / 8 + y / 8) % 2 == 0) ? 255 : 223;
            const std::uint32_t p = image->at(x, y);
            const int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
            if (std::abs(r - expected) > 3 || std::abs(g - expected) > 3 || std::abs(b - expected) > 3) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
    // On screen the client area starts inside the 2-pixel sunken edge.
    const QImage shown = main->previewArea().widget()->grab().toImage();
    EXPECT_GE(qRed(shown.pixel(2 + 3, 2 + 3)), 250);
    EXPECT_LE(qRed(shown.pixel(2 + 8 + 3, 2 + 3)), 226);
    EXPECT_LT(qRed(shown.pixel(0, 100)), 200);  // the edge, not the picture
}

TEST(MainWindowDrawing, ScaledScreensShowTheCardWithNearestPixels) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    CanvasControl* preview = main->previewCanvasControl();
    ASSERT_TRUE(preview);
    const PixelImage* card = preview->canvas().backingImage();
    ASSERT_TRUE(card);
    QImage doubled(card->width * 2, card->height * 2, QImage::Format_RGB32);
    doubled.setDevicePixelRatio(2.0);
    doubled.fill(Qt::magenta);
    preview->widget()->render(&doubled);
    int wrong = 0;
    for (int y = 0; y < card->height; ++y)
        for (int x = 0; x < card->width; ++x) {
            const QRgb want = card->at(x, y) | 0xFF000000u;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx)
                    if (doubled.pixel(2 * x + dx, 2 * y + dy) != want) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(WordWrap, LinesBreakAtLineEndsThenAtSpacesThenBetweenCharacters) {
    const QFont font = defaultGuiFont();
    const QFontMetrics m(font);
    const int w = m.horizontalAdvance(QStringLiteral("abcd"));
    EXPECT_EQ(wrapLines(QStringLiteral("ab\r\n\r\ncd"), m, 200), (QStringList{"ab", "", "cd"}));
    EXPECT_EQ(wrapLines(QStringLiteral("ab cd ef"), m, w),
              (QStringList{"ab", "cd", "ef"}));
    EXPECT_EQ(wrapLines(QStringLiteral("abcdefgh"), m, w), (QStringList{"abcd", "efgh"}));
}

}  // namespace
}  // namespace vantrelo
