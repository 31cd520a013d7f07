// The window comes alive: the start order, what raises text changed and list
// item selected, the layout, forwarding, copies of controls and the keys.
#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "base/encoding.h"
#include "shell/web_browser.h"
#include "shell_fixture.h"

namespace vantrelo {
namespace {

using testing_support::startMainWindow;

struct RenderMoment {
    int chooserItems;
    int selection;
    std::int32_t templates;
    int layoutsBefore;
};

std::unique_ptr<MainWindow> startRecording(std::vector<RenderMoment>& moments) {
    if (!readWindowDescriptions()) return nullptr;
    createTemplateList();
    return MainWindow::load([&moments](MainWindow& main) {
        main.setRenderObserver([&moments, &main] {
            moments.push_back({main.chooser().count(), main.chooser().selection(),
                               templateList() ? templateList()->count() : -1, main.layoutCount()});
        });
    });
}

// A started window that has the keyboard focus.
std::unique_ptr<MainWindow> startActive() {
    auto main = startMainWindow();
    if (!main) return nullptr;
    QWidget* top = main->window().widget();
    top->activateWindow();
    if (!QTest::qWaitForWindowActive(top)) return nullptr;
    return main;
}

TEST(StartUp, RenderCardRunsOnceAfterTheChooserIsFilledAndBeforeTheLayout) {
    std::vector<RenderMoment> moments;
    auto main = startRecording(moments);
    ASSERT_TRUE(main);
    Window::pumpEvents();
    ASSERT_EQ(moments.size(), 1u);
    EXPECT_EQ(moments[0].chooserItems, 7);
    EXPECT_EQ(moments[0].selection, 0);
    EXPECT_EQ(moments[0].templates, 7);
    EXPECT_EQ(moments[0].layoutsBefore, 0);  // inside the show step of the created handler
}

TEST(StartUp, ChooserHoldsTheSevenTemplatesWithTheirData) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    ListControl& chooser = main->chooser();
    ASSERT_EQ(chooser.count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(chooser.itemText(i), Text("\xc3\xfb\xc6\xac\xc4\xa3\xb0\xe6") /* 名片模版 */ + Text::number(i + 1));
        EXPECT_EQ(chooser.itemData(i), i + 1);
    }
    EXPECT_EQ(chooser.selection(), 0);
    EXPECT_EQ(chooser.comboBox()->currentText(), chooser.comboBox()->itemText(0));
    EXPECT_FALSE(chooser.comboBox()->isEditable());
}

TEST(StartUp, LayoutFitsTheWindowAndPanelsToTheClientArea) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    WindowControl& self = main->window().self();
    // Once from the start, once nested when the width step changed the width.
    EXPECT_EQ(main->layoutCount(), 2);
    EXPECT_EQ(main->deepestLayout(), 2);
    EXPECT_EQ(self.clientWidth(), 635);
    const int ch = self.clientHeight();
    EXPECT_EQ(main->previewArea().height(), ch - 16);
    EXPECT_EQ(main->control(names::kAboutPanel)->top(), ch - 114);
    EXPECT_EQ(main->control(names::kSettingsPanel)->height(), ch - 130);
    EXPECT_EQ(main->control(names::kAboutPanel)->widget()->geometry(), QRect(408, ch - 114, 220, 106));
}

TEST(StartUp, FirstCardIsCentredInTheDesignedPreviewAreaAndStaysThere) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    CanvasControl* preview = main->previewCanvasControl();
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->parent(), &main->previewArea());
    EXPECT_EQ(preview->left(), 44);
    EXPECT_EQ(preview->top(), 80);
    EXPECT_EQ(preview->width(), 300);
    EXPECT_EQ(preview->height(), 140);
    EXPECT_TRUE(preview->visible());
    // Inside the 2-pixel edge of the preview area.
    EXPECT_EQ(preview->widget()->geometry(), QRect(46, 82, 300, 140));
    main->edit(1).setText("again");
    EXPECT_EQ(preview->left(), 44);
    EXPECT_EQ(preview->top(), 80);
}

TEST(StartUp, CopiesOfThePreviewAreaTakeItsStoredSettings) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    CanvasControl* preview = main->previewCanvasControl();
    CanvasControl* work = main->workCanvasControl();
    ASSERT_TRUE(preview && work);
    for (CanvasControl* copy : {preview, work}) {
        EXPECT_EQ(copy->canvas().border(), CanvasBorder::None);
        EXPECT_TRUE(copy->canvas().backgroundPicture().empty());
        EXPECT_EQ(copy->canvas().pictureMode(), PictureMode::Tiled);
        EXPECT_EQ(copy->canvas().backgroundColour(), kColourMarker);
        EXPECT_TRUE(copy->canvas().keepsImage());
        EXPECT_EQ(copy->forwardTarget(), &main->previewArea());
        EXPECT_TRUE(copy->name().empty());
    }
    EXPECT_FALSE(work->visible());
    EXPECT_EQ(work->parent(), nullptr);
    EXPECT_EQ(work->left(), 8);
    EXPECT_EQ(work->top(), 8);
    // The copy made last lies directly behind the preview area.
    const QObjectList children = main->window().widget()->children();
    const qsizetype at = children.indexOf(main->previewArea().widget());
    ASSERT_GT(at, 0);
    EXPECT_EQ(children[at - 1], work->widget());
    // Its events go to the preview area, which binds none: nothing runs.
    const int before = main->renderCount();
    main->window().raise(*preview, event::kClicked);
    EXPECT_EQ(main->renderCount(), before);
}

TEST(Events, NothingIsDeliveredWhileTheWindowIsBeingBuilt) {
    ASSERT_TRUE(readWindowDescriptions());
    std::unique_ptr<Window> window = Window::build(*mainWindowDescription());
    ASSERT_TRUE(window);
    auto* edit = window->findAs<EditControl>(names::kEdit1);
    int runs = 0;
    window->bind(*edit, event::kTextChanged, [&] { ++runs; });
    edit->setText("x");
    EXPECT_EQ(runs, 0);
}

TEST(Events, EveryChangeOfAFieldRunsRenderCardOnce) {
    auto main = startActive();
    ASSERT_TRUE(main);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    struct Case {
        const char* what;
        int field;
        std::function<void(QLineEdit*)> act;
        int runs;
    };
    const std::vector<Case> cases = {
        {"a typed key", 3, [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_X); }, 1},
        {"a paste", 2, [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier); }, 1},
        {"an undo", 2, [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier); }, 1},
        {"a cut", 4, [](QLineEdit* e) { e->selectAll(); QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier); }, 1},
        {"two keys in the avatar field", 5, [](QLineEdit* e) { QTest::keyClicks(e, "ab"); }, 2},
        {"the nickname field", 1, [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_Backspace); }, 1},
        {"a key that changes nothing", 5, [](QLineEdit* e) { e->setCursorPosition(0); QTest::keyClick(e, Qt::Key_Left); }, 0},
    };
    for (const Case& c : cases) {
        QLineEdit* edit = main->edit(c.field).lineEdit();
        edit->setFocus(Qt::OtherFocusReason);
        edit->end(false);
        const int before = main->renderCount();
        c.act(edit);
        EXPECT_EQ(main->renderCount() - before, c.runs) << c.what;
    }
}

TEST(Events, SettingAFieldsTextRaisesTextChangedOnceEvenWhenUnchanged) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    Text seen;
    main->setRenderObserver([&] { seen = main->edit(5).text(); });
    const int before = main->renderCount();
    main->setAvatarPathText("pic.bmp");
    EXPECT_EQ(main->renderCount(), before + 1);
    EXPECT_EQ(seen, Text("pic.bmp"));  // the text is in place when the handler runs
    main->setAvatarPathText("pic.bmp");
    EXPECT_EQ(main->renderCount(), before + 2);
    EXPECT_EQ(main->edit(5).lineEdit()->cursorPosition(), 0);
}

TEST(Events, ChoosingInTheListRunsRenderCardOnceAfterTheChooserHasFinished) {
    auto main = startActive();
    ASSERT_TRUE(main);
    QComboBox* combo = main->chooser().comboBox();
    int seenSelection = -2;
    main->setRenderObserver([&] { seenSelection = main->chooser().selection(); });

    // Opening and closing without a choice runs nothing.
    int before = main->renderCount();
    combo->showPopup();
    Window::pumpEvents();
    combo->hidePopup();
    Window::pumpEvents();
    EXPECT_EQ(main->renderCount(), before);

    // Picking the item already selected runs it once, queued.
    combo->showPopup();
    Window::pumpEvents();
    QAbstractItemView* view = combo->view();
    const QRect item0 = view->visualRect(view->model()->index(0, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item0.center());
    EXPECT_EQ(main->renderCount(), before);  // not yet: the chooser is still busy
    Window::pumpEvents();
    EXPECT_EQ(main->renderCount(), before + 1);
    EXPECT_EQ(seenSelection, 0);

    // A keyboard change while the list is closed.
    combo->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(combo, Qt::Key_Down);
    Window::pumpEvents();
    EXPECT_EQ(main->renderCount(), before + 2);
    EXPECT_EQ(seenSelection, 1);
}

TEST(Events, OpenListShowsAllSevenItemsBelowTheBox) {
    auto main = startActive();
    ASSERT_TRUE(main);
    QComboBox* combo = main->chooser().comboBox();
    combo->showPopup();
    Window::pumpEvents();
    QAbstractItemView* view = combo->view();
    const QRect last = view->visualRect(view->model()->index(6, 0));
    EXPECT_LE(last.bottom(), view->viewport()->height());
    EXPECT_EQ(last.height(), QFontMetrics(combo->font()).height() + 1);
    EXPECT_GE(view->window()->geometry().top(), combo->mapToGlobal(QPoint(0, 0)).y() + combo->height() - 1);
    combo->hidePopup();
}

TEST(Events, ListOperationsFollowTheirRules) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    ListControl& list = main->chooser();
    const int before = main->renderCount();
    const struct {
        int set;
        int expected;
    } cases[] = {{3, 3}, {100, 6}, {-1, -1}, {-7, -1}, {0, 0}};
    for (const auto& c : cases) {
        list.setSelection(c.set);
        EXPECT_EQ(list.selection(), c.expected) << c.set;
    }
    list.clear();
    EXPECT_EQ(list.selection(), -1);
    EXPECT_EQ(list.addItem("a"), 0);
    EXPECT_EQ(list.addItem("b", 9), 1);
    EXPECT_EQ(list.itemData(0), 0);
    EXPECT_EQ(list.itemData(1), 9);
    Window::pumpEvents();
    EXPECT_EQ(main->renderCount(), before);  // none of these raises anything
}

TEST(Events, ForwardingFollowsTheChainOfSameKindToItsEnd) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    Window& w = main->window();
    for (int field = 2; field <= 5; ++field) EXPECT_EQ(&w.deliveryTarget(main->edit(field)), &main->edit(1));
    // A target of another kind is refused and changes nothing.
    EXPECT_FALSE(w.forwardEvents(main->edit(2), &main->chooser()));
    EXPECT_EQ(main->edit(2).forwardTarget(), &main->edit(1));
    // A chain: 编辑框2 -> 编辑框1 -> 编辑框3 makes 编辑框2's events reach 编辑框3, which binds nothing.
    EXPECT_TRUE(w.forwardEvents(main->edit(3), nullptr));
    EXPECT_TRUE(w.forwardEvents(main->edit(1), &main->edit(3)));
    EXPECT_EQ(&w.deliveryTarget(main->edit(2)), &main->edit(3));
    const int before = main->renderCount();
    main->edit(2).setText("x");
    main->edit(1).setText("y");  // 编辑框1's own binding is passed over too
    EXPECT_EQ(main->renderCount(), before);
    // Leaving the target out clears; the window as source clears every forwarding.
    EXPECT_TRUE(w.forwardEvents(main->edit(1), nullptr));
    EXPECT_EQ(&w.deliveryTarget(main->edit(2)), &main->edit(1));
    EXPECT_TRUE(w.forwardEvents(w.self(), nullptr));
    for (Control* c : w.controls()) EXPECT_EQ(c->forwardTarget(), nullptr);
}

TEST(Events, CloneControlRefusesTheWindowComponentsAndOtherKinds) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    Window& w = main->window();
    Control* copy = nullptr;
    EXPECT_FALSE(w.cloneControl(w.self(), ControlKind::Window, copy));
    EXPECT_FALSE(w.cloneControl(*main->control(names::kFileDialog), ControlKind::FileDialog, copy));
    EXPECT_FALSE(w.cloneControl(main->edit(1), ControlKind::Canvas, copy));
    EXPECT_EQ(copy, nullptr);
    // A control of a panel: the copy joins the panel, hidden, behind its source.
    ASSERT_TRUE(w.cloneControl(main->edit(3), ControlKind::EditBox, copy));
    EXPECT_EQ(copy->parent(), main->control(names::kSettingsPanel));
    EXPECT_FALSE(copy->visible());
    EXPECT_EQ(static_cast<EditControl*>(copy)->text(), main->edit(3).stored().text);
    EXPECT_EQ(copy->widget()->geometry(), QRect(65, 72, 150, 20));
    const QObjectList siblings = main->control(names::kSettingsPanel)->widget()->children();
    EXPECT_EQ(siblings.indexOf(copy->widget()) + 1, siblings.indexOf(main->edit(3).widget()));
    // Its text changes go to its source and from there to 编辑框1.
    const int before = main->renderCount();
    static_cast<EditControl*>(copy)->setText("z");
    EXPECT_EQ(main->renderCount(), before + 1);
}

TEST(Events, SettingTheWindowWidthRunsTheLayoutNestedOnlyWhenTheSizeChanges) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    WindowControl& self = main->window().self();
    const int before = main->layoutCount();
    self.setWidth(self.width());  // the same size: nothing
    EXPECT_EQ(main->layoutCount(), before);
    self.setWidth(self.width() + 50);  // layout puts it back, nested
    EXPECT_EQ(main->layoutCount(), before + 2);
    EXPECT_EQ(self.clientWidth(), 635);
}

TEST(Events, MinimisingAndRestoringLeavesEveryControlWhereItWas) {
    auto main = startActive();
    ASSERT_TRUE(main);
    std::vector<QRect> places;
    for (Control* c : main->window().controls())
        if (c->widget()) places.push_back(c->widget()->geometry());
    QWidget* top = main->window().widget();
    top->showMinimized();
    Window::pumpEvents();
    top->showNormal();
    Window::pumpEvents();
    std::size_t i = 0;
    for (Control* c : main->window().controls())
        if (c->widget()) EXPECT_EQ(c->widget()->geometry(), places[i++]) << textToUtf8(c->name());
}

// ---- keyboard ----

TEST(Keyboard, TabWalksTheTabOrderAndWraps) {
    auto main = startActive();
    ASSERT_TRUE(main);
    const std::vector<const char*> order = {names::kEdit1, names::kEdit2, names::kEdit3, names::kEdit4,
                                            names::kChooser, names::kEdit5, names::kAvatarButton,
                                            names::kSaveButton};
    EXPECT_EQ(main->window().focusControl(), main->control(names::kEdit1));  // after start-up
    for (std::size_t i = 1; i <= order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(main->window().focusControl(), main->control(order[i % order.size()])) << i;
    }
    for (std::size_t i = order.size(); i >= 1; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(main->window().focusControl(), main->control(order[i - 1])) << i;
    }
    EXPECT_EQ(main->window().focusControl(), main->control(names::kEdit1));
    // Backwards from the first goes to the last.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(main->window().focusControl(), main->control(names::kSaveButton));
}

TEST(Keyboard, TabSkipsDisabledAndHiddenControls) {
    auto main = startActive();
    ASSERT_TRUE(main);
    main->edit(2).widget()->setEnabled(false);
    main->edit(3).setVisible(false);
    main->edit(1).widget()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(main->window().focusControl(), &main->edit(4));
}

TEST(Keyboard, EnterInAnEditBoxNeitherClicksNorMovesTheFocus) {
    auto main = startActive();
    ASSERT_TRUE(main);
    QSignalSpy save(static_cast<ButtonControl*>(main->control(names::kSaveButton))->button(), &QPushButton::clicked);
    QSignalSpy avatar(static_cast<ButtonControl*>(main->control(names::kAvatarButton))->button(), &QPushButton::clicked);
    main->edit(3).widget()->setFocus();
    const int before = main->renderCount();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    Window::pumpEvents();
    EXPECT_EQ(save.count(), 0);
    EXPECT_EQ(avatar.count(), 0);
    EXPECT_EQ(main->window().focusControl(), &main->edit(3));
    EXPECT_EQ(main->renderCount(), before);
    EXPECT_FALSE(main->window().closed());
}

TEST(Keyboard, EscapeClosesTheWindowFromAnEditBox) {
    auto main = startActive();
    ASSERT_TRUE(main);
    int destroyed = 0;
    main->window().setDestroyedCallback([&] { ++destroyed; });
    main->edit(4).widget()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(main->window().closed());
    EXPECT_EQ(destroyed, 1);
}

TEST(Keyboard, EscapeClosesTheWindowWhileTheListIsOpen) {
    auto main = startActive();
    ASSERT_TRUE(main);
    QComboBox* combo = main->chooser().comboBox();
    combo->setFocus();
    combo->showPopup();
    Window::pumpEvents();
    ASSERT_TRUE(combo->view()->isVisible());
    const int before = main->renderCount();
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    Window::pumpEvents();
    EXPECT_TRUE(main->window().closed());
    EXPECT_EQ(main->renderCount(), before);
}

TEST(Keyboard, EscapeWithAModifierIsLeftToTheControl) {
    auto main = startActive();
    ASSERT_TRUE(main);
    main->edit(1).widget()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_FALSE(main->window().closed());
}

// ---- hyperlink ----

TEST(Hyperlink, TurnsRedWhileHoveredAndBlueAgainAfter) {
    auto main = startMainWindow();
    ASSERT_TRUE(main);
    auto* link = static_cast<HyperlinkControl*>(main->control(names::kHyperlink));
    auto count = [&](QRgb colour) {
        const QImage image = link->widget()->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
        return n;
    };
    const QRgb blue = qRgb(0, 0, 255), red = qRgb(255, 0, 0);
    EXPECT_GT(count(blue), 0);
    EXPECT_EQ(count(red), 0);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(link->widget(), &enter);
    EXPECT_TRUE(link->hovered());
    EXPECT_GT(count(red), 0);
    EXPECT_EQ(count(blue), 0);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link->widget(), &leave);
    EXPECT_FALSE(link->hovered());
    EXPECT_GT(count(blue), 0);
    EXPECT_FALSE(link->visited());
}

TEST(Hyperlink, FallbackCommandIsCutBeforeTheFirstPlaceholder) {
    const QString url = QStringLiteral("http://www.morvidane.example/");
    const struct {
        const char* exec;
        const char* expected;
    } cases[] = {
        {"firefox-esr %u", "firefox-esr  http://www.morvidane.example/"},
        {"/usr/bin/browser --new-window %U --flag", "/usr/bin/browser --new-window  http://www.morvidane.example/"},
        {"\"/opt/my browser/run\" \"%f\"", "\"/opt/my browser/run\"  http://www.morvidane.example/"},
        {"browser --percent=100%% %F", "browser --percent=100%%  http://www.morvidane.example/"},
        {"plainbrowser", "plainbrowser http://www.morvidane.example/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(browserCommandLine(QString::fromUtf8(c.exec), url), QString::fromUtf8(c.expected)) << c.exec;
}

TEST(Hyperlink, DesktopEntriesAreReadFromTheirGroups) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString list = dir.filePath("mimeapps.list");
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Added Associations]\ntext/html=wrong.desktop\n[Default Applications]\ntext/plain=x.desktop\n"
            "text/html=web.desktop;other.desktop;\n");
    f.close();
    EXPECT_EQ(defaultEntryFromMimeApps(list, "text/html"), QStringLiteral("web.desktop"));
    EXPECT_EQ(defaultEntryFromMimeApps(list, "image/png"), QString());
    const QString entry = dir.filePath("web.desktop");
    QFile e(entry);
    ASSERT_TRUE(e.open(QIODevice::WriteOnly));
    e.write("[Desktop Entry]\nName=Web\nExec=webby --open %u\n[Desktop Action new]\nExec=webby --new\n");
    e.close();
    EXPECT_EQ(desktopEntryExec(entry), QStringLiteral("webby --open %u"));
}

}  // namespace
}  // namespace vantrelo
