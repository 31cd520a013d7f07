#pragma once
// The window layer's window: a top-level Qt widget with the controls of one
// window description, the event bindings by event number, delivery with
// forwarding, and the operations on controls (copy, re-parent, forward, pump).
#include <QObject>
#include <QSize>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "base/text.h"
#include "shell/controls.h"
#include "shell/window_description.h"

namespace vantrelo {

class TopLevelWidget;

class Window : public QObject {
public:
    using Handler = std::function<void()>;

    // Builds the window hidden and its controls from description, with
    // delivery off (step 1 of the start). nullptr when it cannot be built.
    static std::unique_ptr<Window> build(const WindowDescription& description);
    ~Window() override;

    const WindowDescription& description() const { return m_description; }
    // The window as a control, and its top-level widget.
    WindowControl& self() { return *m_self; }
    QWidget* widget() const;
    // A control of the description by name; nullptr when there is none.
    Control* find(const Text& name) const;
    template <class T>
    T* findAs(const Text& name) const {
        return dynamic_cast<T*>(find(name));
    }
    // Every control, the window first, then in creation order (copies last).
    std::vector<Control*> controls() const;

    // Events.
    void bind(Control& source, int eventNumber, Handler handler);
    // Delivers at once, nested: follows the forwarding chain, then runs the
    // binding of the control reached (if any). Dropped while delivery is off.
    void raise(Control& source, int eventNumber);
    // Delivers once the current event has been handled.
    void raiseQueued(Control& source, int eventNumber);
    bool deliveryOn() const { return m_deliveryOn; }
    // The control an event of source is delivered to.
    Control& deliveryTarget(Control& source) const;

    // Steps 2 to 6 of the start: delivery on, created, moved, size changed, show.
    void start();

    // Operations of the window system.
    // A hidden copy of source from its stored settings, a child of the window
    // (or of the container that lists source), behind source, forwarding to it.
    // receiving must be of source's kind (receivingKind); false otherwise.
    bool cloneControl(Control& source, ControlKind receivingKind, Control*& receiving);
    void reparentControl(Control& control, Control* parent);
    bool forwardEvents(Control& source, Control* target);
    // Processes the events waiting in the GUI thread's queue.
    static void pumpEvents();

    // Keyboard rules: moves the focus to the next or previous tab stop.
    void moveFocus(bool forward);
    // Tab stops in tab order.
    std::vector<Control*> tabOrder() const;
    // The control whose widget has, or contains, the focus; nullptr when none.
    Control* focusControl() const;

    // Closes the window as its close button does; it is destroyed then.
    void close();
    bool closed() const { return m_closed; }
    // Called once when the window has been closed and destroyed.
    void setDestroyedCallback(Handler callback) { m_onDestroyed = std::move(callback); }

    // From the top-level widget.
    void onClientSizeMaybeChanged();
    void onMoved();
    void onActivationChanged(bool active);
    void onClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit Window(const WindowDescription& description);
    bool belongsToWindow(QObject* object) const;
    void applyStacking();

    WindowDescription m_description;
    TopLevelWidget* m_topLevel = nullptr;  // owned by m_self
    WindowControl* m_self = nullptr;
    std::vector<std::unique_ptr<Control>> m_controls;  // m_controls[0] is the window
    std::map<std::pair<const Control*, int>, Handler> m_bindings;
    bool m_deliveryOn = false;
    bool m_firstActivationDone = false;
    bool m_closed = false;
    bool m_active = false;
    QSize m_clientSize;  // as last announced by size changed
    Handler m_onDestroyed;
};

}  // namespace vantrelo
