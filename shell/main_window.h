#pragma once
// The program's main window: the window layer's window built from the main
// window's description, with its handlers bound (prepareWindow, loadTemplates,
// layoutWindow, renderCard, the two commands). It feeds the composer from its
// controls and gives the commands what they need.
#include <functional>
#include <memory>

#include "card/composer.h"
#include "shell/command_context.h"
#include "shell/controls.h"
#include "shell/file_dialog.h"
#include "shell/window.h"

namespace vantrelo {

class MainWindow : public CardInputs, public CommandContext {
public:
    // Builds the window from its description (read first), binds the
    // handlers and runs the start: created, moved, size changed, shown.
    // nullptr when the window cannot be created. beforeStart, when given,
    // runs once the handlers are bound and before the first event.
    static std::unique_ptr<MainWindow> load(const std::function<void(MainWindow&)>& beforeStart = {});
    ~MainWindow() override;

    Window& window() { return *m_window; }
    Control* control(const Text& name) const { return m_window->find(name); }
    EditControl& edit(int field) const;  // 1..5
    ListControl& chooser() const { return *m_chooser; }
    CanvasControl& previewArea() const { return *m_previewArea; }
    CanvasControl* previewCanvasControl() const { return m_previewCanvas; }
    CanvasControl* workCanvasControl() const { return m_workCanvas; }

    // Called around every run of renderCard, before it draws; for checks.
    void setRenderObserver(std::function<void()> observer) { m_renderObserver = std::move(observer); }
    int renderCount() const { return m_renderCount; }
    int layoutCount() const { return m_layoutCount; }
    int layoutDepth() const { return m_layoutDepth; }
    int deepestLayout() const { return m_deepestLayout; }

    // CardInputs.
    std::int32_t selection() const override;
    Text avatarPath() const override;
    Text lineText(int line) const override;
    std::int32_t previewAreaClientWidth() const override;
    std::int32_t previewAreaClientHeight() const override;

    // CommandContext.
    QWidget* mainWidget() override;
    FileDialog& fileDialog() override { return m_fileDialog; }
    void setAvatarPathText(const Text& path) override;
    Canvas& previewCanvas() override;

private:
    MainWindow() = default;
    void bindHandlers();
    void prepareWindow();
    void loadTemplates();
    void layoutWindow();
    void runRenderCard();

    std::unique_ptr<Window> m_window;
    FileDialog m_fileDialog;  // 通用对话框1
    EditControl* m_edits[5] = {};
    ListControl* m_chooser = nullptr;
    CanvasControl* m_previewArea = nullptr;
    CanvasControl* m_previewCanvas = nullptr;
    CanvasControl* m_workCanvas = nullptr;
    std::function<void()> m_renderObserver;
    int m_renderCount = 0;
    int m_layoutCount = 0;
    int m_layoutDepth = 0;
    int m_deepestLayout = 0;
};

}  // namespace vantrelo
