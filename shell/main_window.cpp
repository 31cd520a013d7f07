#include "shell/main_window.h"

#include <algorithm>

#include "card/card_template.h"
#include "shell/commands.h"

namespace vantrelo {
namespace {

constexpr const char* kTemplateItem = "\xc3\xfb\xc6\xac\xc4\xa3\xb0\xe6"; /* 名片模版 */

}  // namespace

std::unique_ptr<MainWindow> MainWindow::load(const std::function<void(MainWindow&)>& beforeStart) {
    const WindowDescription* description = mainWindowDescription();
    if (!description) return nullptr;
    std::unique_ptr<MainWindow> main(new MainWindow);
    main->m_window = Window::build(*description);
    if (!main->m_window) return nullptr;
    Window& w = *main->m_window;
    const char* const editNames[5] = {names::kEdit1, names::kEdit2, names::kEdit3, names::kEdit4, names::kEdit5};
    for (int i = 0; i < 5; ++i) {
        main->m_edits[i] = w.findAs<EditControl>(editNames[i]);
        if (!main->m_edits[i]) return nullptr;
    }
    main->m_chooser = w.findAs<ListControl>(names::kChooser);
    main->m_previewArea = w.findAs<CanvasControl>(names::kPreviewArea);
    if (!main->m_chooser || !main->m_previewArea || !w.find(names::kSettingsPanel) || !w.find(names::kAboutPanel))
        return nullptr;
    main->bindHandlers();
    if (beforeStart) beforeStart(*main);
    w.start();
    return main;
}

MainWindow::~MainWindow() = default;

void MainWindow::bindHandlers() {
    Window& w = *m_window;
    w.bind(w.self(), event::kCreated, [this] { prepareWindow(); });
    w.bind(w.self(), event::kFirstActivated, [this] { loadTemplates(); });
    w.bind(w.self(), event::kSizeChanged, [this] { layoutWindow(); });
    w.bind(*m_chooser, event::kListItemSelected, [this] { runRenderCard(); });
    w.bind(*m_edits[0], event::kTextChanged, [this] { runRenderCard(); });
    if (Control* button = w.find(names::kAvatarButton)) w.bind(*button, event::kClicked, [this] { chooseAvatar(*this); });
    if (Control* button = w.find(names::kSaveButton)) w.bind(*button, event::kClicked, [this] { saveCard(*this); });
}

EditControl& MainWindow::edit(int field) const { return *m_edits[field - 1]; }

void MainWindow::prepareWindow() {
    Window& w = *m_window;
    Control* preview = nullptr;
    Control* work = nullptr;
    w.cloneControl(*m_previewArea, ControlKind::Canvas, preview);
    w.cloneControl(*m_previewArea, ControlKind::Canvas, work);
    m_previewCanvas = dynamic_cast<CanvasControl*>(preview);
    m_workCanvas = dynamic_cast<CanvasControl*>(work);
    if (!m_previewCanvas || !m_workCanvas) return;
    m_previewCanvas->canvas().setBackgroundPicture({});
    m_workCanvas->canvas().setBackgroundPicture({});
    m_previewCanvas->canvas().setBorder(CanvasBorder::None);
    m_workCanvas->canvas().setBorder(CanvasBorder::None);
    m_previewCanvas->setVisible(false);
    m_workCanvas->setVisible(false);
    w.reparentControl(*m_previewCanvas, m_previewArea);
    for (int i = 1; i < 5; ++i) w.forwardEvents(*m_edits[i], m_edits[0]);
    w.self().setVisible(true);  // activates the window: loadTemplates runs inside
    Window::pumpEvents();
}

void MainWindow::loadTemplates() {
    loadTemplateCatalogue();
    m_chooser->clear();
    const TemplateList* list = templateList();
    const std::int32_t n = list ? list->count() : 0;
    for (std::int32_t i = 1; i <= n; ++i) m_chooser->addItem(Text(kTemplateItem) + Text::number(i), i);
    m_chooser->setSelection(0);
    runRenderCard();
}

void MainWindow::layoutWindow() {
    ++m_layoutCount;
    ++m_layoutDepth;
    m_deepestLayout = std::max(m_deepestLayout, m_layoutDepth);
    Window& w = *m_window;
    WindowControl& self = w.self();
    Control& settings = *w.find(names::kSettingsPanel);
    Control& about = *w.find(names::kAboutPanel);
    const double cw = self.clientWidth();
    const double width = self.width();
    self.setWidth(static_cast<std::int32_t>((width - cw) + settings.left() + settings.width() + 8.0));
    about.setTop(static_cast<std::int32_t>(double(self.clientHeight()) - about.height() - 8.0));
    m_previewArea->setHeight(static_cast<std::int32_t>(double(self.clientHeight()) - m_previewArea->top() - 8.0));
    settings.setHeight(static_cast<std::int32_t>(double(about.top()) - settings.top() - 8.0));
    --m_layoutDepth;
}

void MainWindow::runRenderCard() {
    if (!m_previewCanvas || !m_workCanvas) return;
    ++m_renderCount;
    if (m_renderObserver) m_renderObserver();
    renderCard(*this, m_workCanvas->canvas(), m_previewCanvas->canvas());
}

std::int32_t MainWindow::selection() const { return m_chooser->selection(); }
Text MainWindow::avatarPath() const { return m_edits[4]->text(); }
Text MainWindow::lineText(int line) const { return line >= 1 && line <= 4 ? m_edits[line - 1]->text() : Text(); }
std::int32_t MainWindow::previewAreaClientWidth() const { return m_previewArea->clientWidth(); }
std::int32_t MainWindow::previewAreaClientHeight() const { return m_previewArea->clientHeight(); }

QWidget* MainWindow::mainWidget() { return m_window->widget(); }
void MainWindow::setAvatarPathText(const Text& path) { m_edits[4]->setText(path); }
Canvas& MainWindow::previewCanvas() { return m_previewCanvas->canvas(); }

}  // namespace vantrelo
