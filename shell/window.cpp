#include "shell/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <algorithm>

#include "base/encoding.h"

namespace vantrelo {

class TopLevelWidget : public QWidget {
public:
    explicit TopLevelWidget(Window& window)
        : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint),
          m_window(window) {}

protected:
    void closeEvent(QCloseEvent* e) override {
        e->accept();
        m_window.onClosed();
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        m_window.onClientSizeMaybeChanged();
    }
    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        m_window.onMoved();
    }
    void changeEvent(QEvent* e) override {
        QWidget::changeEvent(e);
        if (e->type() == QEvent::ActivationChange) m_window.onActivationChanged(isActiveWindow());
    }

private:
    Window& m_window;
};

Window::Window(const WindowDescription& description) : m_description(description) {}

std::unique_ptr<Window> Window::build(const WindowDescription& description) {
    if (!qApp) return nullptr;
    // What is waiting before the build is handled first.
    pumpEvents();
    std::unique_ptr<Window> window(new Window(description));
    Window& w = *window;

    w.m_topLevel = new TopLevelWidget(w);
    ControlDescription selfDescription;
    selfDescription.name = description.name;
    selfDescription.kind = ControlKind::Window;
    selfDescription.width = description.width;
    selfDescription.height = description.height;
    auto self = std::make_unique<WindowControl>(w, selfDescription, w.m_topLevel);
    w.m_self = self.get();
    w.m_controls.push_back(std::move(self));

    QWidget* top = w.m_topLevel;
    top->setWindowTitle(QString::fromStdString(textToUtf8(description.caption)));
    top->setAutoFillBackground(true);
    top->setFixedSize(description.width, description.height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        top->move(area.left() + (area.width() - description.width) / 2,
                  area.top() + (area.height() - description.height) / 2);
    }

    for (const ControlDescription& d : description.controls) {
        std::unique_ptr<Control> control = makeControl(w, d);
        if (!control) return nullptr;
        Control* parent = nullptr;
        if (!d.parent.empty()) {
            parent = w.find(d.parent);
            if (!parent) return nullptr;
        }
        control->attachTo(parent);
        w.m_controls.push_back(std::move(control));
    }
    w.applyStacking();

    // The keyboard's tab chain follows the tab order too.
    const std::vector<Control*> order = w.tabOrder();
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1]->widget(), order[i]->widget());

    for (std::size_t i = 1; i < w.m_controls.size(); ++i) {
        Control& c = *w.m_controls[i];
        c.setVisible(c.stored().visible);
        if (c.widget()) c.widget()->setVisible(c.visible());
    }
    w.m_clientSize = top->size();
    qApp->installEventFilter(&w);
    return window;
}

Window::~Window() {
    if (qApp) qApp->removeEventFilter(this);
    // Children before the window, which goes last.
    while (!m_controls.empty()) m_controls.pop_back();
}

QWidget* Window::widget() const { return m_topLevel; }

Control* Window::find(const Text& name) const {
    if (name.empty()) return nullptr;
    for (const auto& c : m_controls)
        if (c->name() == name) return c.get();
    return nullptr;
}

std::vector<Control*> Window::controls() const {
    std::vector<Control*> out;
    for (const auto& c : m_controls) out.push_back(c.get());
    return out;
}

void Window::applyStacking() {
    for (const StackingOrder& s : m_description.stacking) {
        for (auto it = s.topFirst.rbegin(); it != s.topFirst.rend(); ++it) {
            Control* c = find(*it);
            if (c && c->widget()) c->widget()->raise();
        }
    }
}

// ---- events ----

void Window::bind(Control& source, int eventNumber, Handler handler) {
    m_bindings[{&source, eventNumber}] = std::move(handler);
}

Control& Window::deliveryTarget(Control& source) const {
    Control* c = &source;
    // A chain is followed to its end; the bound keeps a loop from hanging.
    for (std::size_t steps = 0; steps <= m_controls.size(); ++steps) {
        Control* next = c->forwardTarget();
        if (!next || next->kind() != c->kind()) break;
        c = next;
    }
    return *c;
}

void Window::raise(Control& source, int eventNumber) {
    if (!m_deliveryOn) return;
    Control& target = deliveryTarget(source);
    const auto it = m_bindings.find({&target, eventNumber});
    if (it == m_bindings.end()) return;
    Handler handler = it->second;  // the handler may rebind
    handler();
}

void Window::raiseQueued(Control& source, int eventNumber) {
    if (!m_deliveryOn) return;
    Control* c = &source;
    QMetaObject::invokeMethod(this, [this, c, eventNumber] { raise(*c, eventNumber); }, Qt::QueuedConnection);
}

void Window::start() {
    pumpEvents();  // what the build raised is dropped
    m_deliveryOn = true;
    raise(*m_self, event::kCreated);
    if (m_closed) return;
    raise(*m_self, event::kMoved);
    if (m_closed) return;
    m_clientSize = m_topLevel->size();
    raise(*m_self, event::kSizeChanged);
    if (m_closed) return;
    if (!m_self->visible()) m_self->setVisible(true);
}

void Window::onClientSizeMaybeChanged() {
    const QSize now = m_topLevel->size();
    if (now == m_clientSize) return;
    m_clientSize = now;
    raise(*m_self, event::kSizeChanged);
}

void Window::onMoved() { raise(*m_self, event::kMoved); }

void Window::onActivationChanged(bool active) {
    if (active == m_active) return;
    m_active = active;
    if (!active) {
        raise(*m_self, event::kDeactivated);
        return;
    }
    if (!m_firstActivationDone && m_deliveryOn) {
        m_firstActivationDone = true;
        raise(*m_self, event::kFirstActivated);
    }
    raise(*m_self, event::kActivated);
}

void Window::onClosed() {
    if (m_closed) return;
    m_closed = true;
    m_deliveryOn = false;  // nothing reaches a handler once the window is gone
    m_topLevel->hide();
    if (m_onDestroyed) m_onDestroyed();
}

void Window::close() {
    if (!m_closed) m_topLevel->close();
}

// ---- operations ----

bool Window::cloneControl(Control& source, ControlKind receivingKind, Control*& receiving) {
    if (&source.window() != this || source.kind() != receivingKind) return false;
    if (source.kind() == ControlKind::Window || source.kind() == ControlKind::FileDialog) return false;
    ControlDescription d = source.stored();
    d.name = Text();  // a copy has an identity of its own, not a name of the description
    d.visible = false;
    d.canvas.visible = false;
    std::unique_ptr<Control> copy = makeControl(*this, d);
    if (!copy) return false;
    copy->attachTo(nullptr);
    copy->setVisible(false);
    copy->setForwardTarget(&source);
    Control* container = find(source.stored().parent);
    if (container && container->kind() == ControlKind::Panel) copy->attachTo(container);
    if (copy->widget() && source.widget() && copy->widget()->parentWidget() == source.widget()->parentWidget())
        copy->widget()->stackUnder(source.widget());
    receiving = copy.get();
    m_controls.push_back(std::move(copy));
    return true;
}

void Window::reparentControl(Control& control, Control* parent) {
    if (!parent || &parent->window() != this || !parent->widget()) return;
    if (parent->kind() == ControlKind::FileDialog || &control == parent) return;
    if (control.kind() == ControlKind::Window) return;
    control.attachTo(parent);
}

bool Window::forwardEvents(Control& source, Control* target) {
    if (&source == m_self) {
        for (const auto& c : m_controls) c->setForwardTarget(nullptr);
        return true;
    }
    if (!target) {
        source.setForwardTarget(nullptr);
        return true;
    }
    if (&target->window() != this || &source.window() != this || target->kind() != source.kind()) return false;
    source.setForwardTarget(target);
    return true;
}

void Window::pumpEvents() {
    if (!QCoreApplication::instance()) return;
    QEventLoop loop;
    // Until nothing more is waiting; the bound keeps a busy source from holding us.
    for (int i = 0; i < 100; ++i) {
        QCoreApplication::sendPostedEvents();
        if (!loop.processEvents(QEventLoop::AllEvents)) break;
    }
}

// ---- keyboard ----

std::vector<Control*> Window::tabOrder() const {
    std::vector<Control*> out;
    for (const auto& c : m_controls)
        if (c->isTabStop() && c->widget()) out.push_back(c.get());
    std::stable_sort(out.begin(), out.end(), [](Control* a, Control* b) { return a->tabIndex() < b->tabIndex(); });
    return out;
}

Control* Window::focusControl() const {
    const QWidget* focus = QApplication::focusWidget();
    for (; focus; focus = focus->parentWidget())
        for (const auto& c : m_controls)
            if (c.get() != m_self && c->widget() == focus) return c.get();
    return nullptr;
}

void Window::moveFocus(bool forward) {
    std::vector<Control*> stops;
    for (Control* c : tabOrder())
        if (c->visible() && c->enabled()) stops.push_back(c);
    if (stops.empty()) return;
    const auto it = std::find(stops.begin(), stops.end(), focusControl());
    std::size_t next;
    if (it == stops.end()) {
        next = forward ? 0 : stops.size() - 1;
    } else {
        const std::size_t at = std::size_t(it - stops.begin());
        next = forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
    }
    stops[next]->widget()->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool Window::belongsToWindow(QObject* object) const {
    if (!object->isWidgetType()) return false;
    for (const QWidget* w = static_cast<QWidget*>(object); w; w = w->parentWidget()) {
        if (w == m_topLevel) return true;
        // A dialog opened over the window (a file dialog, a message box) has
        // keys of its own: Esc there answers the dialog. An open list is a
        // popup of its control and stays the window's.
        if (w->isWindow() && w->windowType() != Qt::Popup) return false;
    }
    return false;
}

bool Window::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress || m_closed || !belongsToWindow(watched)) return false;
    auto* key = static_cast<QKeyEvent*>(e);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
        // Also from an open list: the list goes first, then the window.
        for (const auto& c : m_controls)
            if (auto* list = dynamic_cast<ListControl*>(c.get())) list->comboBox()->hidePopup();
        close();
        return true;
    }
    if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
        !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        // Inside the open list the keys stay with the list.
        if (static_cast<QWidget*>(watched)->window() != m_topLevel) return false;
        const bool back = key->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
        moveFocus(!back);
        return true;
    }
    return false;
}

}  // namespace vantrelo
