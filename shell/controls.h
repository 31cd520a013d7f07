#pragma once
// The controls of the window layer. Each kind is a class that owns its Qt
// widget; a control keeps its name, kind, parent, the stored settings it was
// built from (never changed), its current settings, tab index and flags.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "base/text.h"
#include "graphics/canvas.h"
#include "shell/window_description.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace vantrelo {

class Window;

// Setting left or top limits the value to this range; width and height to 0..this.
inline constexpr std::int32_t kCoordinateLimit = 32627;
std::int32_t clampCoordinate(std::int32_t v);
std::int32_t clampExtent(std::int32_t v);

// Control-kind event numbers.
namespace event {
// The window.
inline constexpr int kCreated = 0;
inline constexpr int kMoved = 3;
inline constexpr int kSizeChanged = 4;
inline constexpr int kActivated = 5;
inline constexpr int kDeactivated = 6;
inline constexpr int kFirstActivated = 8;
// Controls.
inline constexpr int kTextChanged = 0;       // edit box
inline constexpr int kListItemSelected = 0;  // drop-down list
inline constexpr int kClicked = 0;           // push button, canvas, hyperlink
}  // namespace event

class Control {
public:
    Control(Window& window, ControlDescription stored);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const Text& name() const { return m_stored.name; }
    ControlKind kind() const { return m_stored.kind; }
    const ControlDescription& stored() const { return m_stored; }
    Window& window() const { return m_window; }
    // The current parent; nullptr: the window's client area.
    Control* parent() const { return m_parent; }
    QWidget* widget() const { return m_widget; }
    int tabIndex() const { return m_stored.tabIndex; }
    bool isTabStop() const { return m_stored.tabIndex >= 0; }
    Control* forwardTarget() const { return m_forward; }
    void setForwardTarget(Control* target) { m_forward = target; }
    // Where (0, 0) of this control's client area lies in its widget.
    virtual QPoint clientOrigin() const { return {0, 0}; }

    // Geometry in the parent's client area; width and height are outer sizes.
    virtual std::int32_t left() const { return m_left; }
    virtual std::int32_t top() const { return m_top; }
    virtual std::int32_t width() const { return m_width; }
    virtual std::int32_t height() const { return m_height; }
    virtual void setLeft(std::int32_t v);
    virtual void setTop(std::int32_t v);
    virtual void setWidth(std::int32_t v);
    virtual void setHeight(std::int32_t v);
    virtual std::int32_t clientWidth() const { return width(); }
    virtual std::int32_t clientHeight() const { return height(); }
    virtual bool visible() const;
    virtual void setVisible(bool on);
    bool enabled() const;

    // Moves the widget into parent's widget (nullptr: the window), keeping the
    // control's left, top, size and visibility.
    void attachTo(Control* parent);
    // Puts the widget where the control's geometry says.
    virtual void placeWidget();

protected:
    void setWidget(QWidget* widget);
    QWidget* parentWidget() const;
    QPoint parentOrigin() const;

    Window& m_window;
    const ControlDescription m_stored;
    Control* m_parent = nullptr;
    Control* m_forward = nullptr;
    QPointer<QWidget> m_widget;
    std::int32_t m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    bool m_visible = false;
};

class CanvasWidget;

class CanvasControl : public Control {
public:
    CanvasControl(Window& window, ControlDescription stored);
    ~CanvasControl() override;
    Canvas& canvas() { return m_canvas; }
    const Canvas& canvas() const { return m_canvas; }
    QPoint clientOrigin() const override;
    std::int32_t left() const override { return m_canvas.left(); }
    std::int32_t top() const override { return m_canvas.top(); }
    std::int32_t width() const override { return m_canvas.width(); }
    std::int32_t height() const override { return m_canvas.height(); }
    void setLeft(std::int32_t v) override { m_canvas.setLeft(v); }
    void setTop(std::int32_t v) override { m_canvas.setTop(v); }
    void setWidth(std::int32_t v) override { m_canvas.setWidth(v); }
    void setHeight(std::int32_t v) override { m_canvas.setHeight(v); }
    std::int32_t clientWidth() const override { return m_canvas.clientWidth(); }
    std::int32_t clientHeight() const override { return m_canvas.clientHeight(); }
    bool visible() const override { return m_canvas.visible(); }
    void setVisible(bool on) override { m_canvas.setVisible(on); }
    void placeWidget() override;

private:
    Canvas m_canvas;
    CanvasWidget* m_canvasWidget = nullptr;
};

class PanelControl : public Control {
public:
    PanelControl(Window& window, ControlDescription stored);
};

class LabelControl : public Control {
public:
    LabelControl(Window& window, ControlDescription stored);
};

class HyperlinkControl : public Control {
public:
    HyperlinkControl(Window& window, ControlDescription stored);
    bool hovered() const;
    bool visited() const;
};

class EditControl : public Control {
public:
    EditControl(Window& window, ControlDescription stored);
    QLineEdit* lineEdit() const;
    Text text() const;
    // Puts the text in place, caret at the start, then raises text changed
    // once, also when the text is the same as before.
    void setText(const Text& text);
};

class ListControl : public Control {
public:
    ListControl(Window& window, ControlDescription stored);
    QComboBox* comboBox() const;
    void clear();
    // Appends an item and returns its index, or -1 when it cannot be added.
    int addItem(const Text& text, std::int32_t data = 0);
    int count() const;
    Text itemText(int index) const;
    std::int32_t itemData(int index) const;
    int selection() const;  // -1: none
    // Selects min(s, count - 1); below -1 counts as -1, which selects nothing.
    void setSelection(int s);
};

class ButtonControl : public Control {
public:
    ButtonControl(Window& window, ControlDescription stored);
    QPushButton* button() const;
};

// A component without a window of its own (the file dialog component).
class ComponentControl : public Control {
public:
    ComponentControl(Window& window, ControlDescription stored);
    bool visible() const override { return false; }
    void setVisible(bool) override {}
    void placeWidget() override {}
};

// The window itself as a control: its geometry is outer, on the screen.
class WindowControl : public Control {
public:
    WindowControl(Window& window, ControlDescription stored, QWidget* topLevel);
    std::int32_t left() const override;
    std::int32_t top() const override;
    std::int32_t width() const override;
    std::int32_t height() const override;
    void setLeft(std::int32_t v) override;
    void setTop(std::int32_t v) override;
    void setWidth(std::int32_t v) override;
    void setHeight(std::int32_t v) override;
    std::int32_t clientWidth() const override;
    std::int32_t clientHeight() const override;
    bool visible() const override;
    void setVisible(bool on) override;
    void placeWidget() override {}

private:
    void resizeOuter(std::int32_t width, std::int32_t height);
};

// Makes a control of the described kind; nullptr for the window kind.
std::unique_ptr<Control> makeControl(Window& window, const ControlDescription& stored);

}  // namespace vantrelo
