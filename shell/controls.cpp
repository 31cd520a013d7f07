#include "shell/controls.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <algorithm>
#include <climits>

#include "base/encoding.h"
#include "shell/gui_platform.h"
#include "shell/widgets.h"
#include "shell/window.h"

namespace vantrelo {
namespace {

QString toQString(const Text& text) { return QString::fromStdString(textToUtf8(text)); }
Text fromQString(const QString& s) { return textFromUtf8(s.toStdString()); }

// Items one pixel taller than the font's standard item height.
class ItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(QFontMetrics(option.font).height() + 1);
        return size;
    }
};

// An edit box shows no selection while another control or window has the focus.
class EditWidget : public QLineEdit {
public:
    explicit EditWidget(QWidget* parent) : QLineEdit(parent) {
        QPalette p = palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
        p.setColor(QPalette::Active, QPalette::Base, Qt::white);
        p.setColor(QPalette::Inactive, QPalette::Base, Qt::white);
        p.setColor(QPalette::Active, QPalette::Text, Qt::black);
        p.setColor(QPalette::Inactive, QPalette::Text, Qt::black);
        setPalette(p);
    }

protected:
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);
        if (hasSelectedText()) {
            // Keep the selection but do not show it.
            const int start = selectionStart();
            const int length = static_cast<int>(selectedText().size());
            deselect();
            m_hiddenStart = start;
            m_hiddenLength = length;
        }
    }
    void focusInEvent(QFocusEvent* e) override {
        QLineEdit::focusInEvent(e);
        if (m_hiddenLength > 0 && !hasSelectedText() && e->reason() == Qt::ActiveWindowFocusReason)
            setSelection(m_hiddenStart, m_hiddenLength);
        m_hiddenLength = 0;
    }

private:
    int m_hiddenStart = 0;
    int m_hiddenLength = 0;
};

}  // namespace

std::int32_t clampCoordinate(std::int32_t v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }
std::int32_t clampExtent(std::int32_t v) { return std::clamp(v, 0, kCoordinateLimit); }

// ---- Control ----

Control::Control(Window& window, ControlDescription stored)
    : m_window(window),
      m_stored(std::move(stored)),
      m_left(m_stored.left),
      m_top(m_stored.top),
      m_width(m_stored.width),
      m_height(m_stored.height) {}

Control::~Control() { delete m_widget.data(); }

void Control::setWidget(QWidget* widget) {
    m_widget = widget;
    widget->setFont(widget->font());
    widget->setEnabled(m_stored.enabled);
    widget->hide();  // shown when the window is built, as the stored visibility says
}

QWidget* Control::parentWidget() const {
    return m_parent ? m_parent->widget() : m_window.widget();
}

QPoint Control::parentOrigin() const { return m_parent ? m_parent->clientOrigin() : QPoint(0, 0); }

void Control::setLeft(std::int32_t v) {
    m_left = clampCoordinate(v);
    placeWidget();
}
void Control::setTop(std::int32_t v) {
    m_top = clampCoordinate(v);
    placeWidget();
}
void Control::setWidth(std::int32_t v) {
    m_width = clampExtent(v);
    placeWidget();
}
void Control::setHeight(std::int32_t v) {
    m_height = clampExtent(v);
    placeWidget();
}

bool Control::visible() const { return m_visible; }

void Control::setVisible(bool on) {
    m_visible = on;
    if (m_widget) m_widget->setVisible(on);
}

bool Control::enabled() const { return m_widget ? m_widget->isEnabled() : m_stored.enabled; }

void Control::placeWidget() {
    if (!m_widget) return;
    const QPoint origin = parentOrigin();
    m_widget->setGeometry(m_left + origin.x(), m_top + origin.y(), m_width, m_height);
}

void Control::attachTo(Control* parent) {
    m_parent = parent;
    if (!m_widget) return;
    const bool shown = visible();
    m_widget->setParent(parentWidget());
    placeWidget();
    // setParent hides a widget; the control keeps its visibility.
    if (shown) m_widget->show();
}

// ---- canvas ----

CanvasControl::CanvasControl(Window& window, ControlDescription stored)
    : Control(window, stored), m_canvas(stored.canvas) {
    m_canvasWidget = new CanvasWidget(m_canvas, window.widget());
    setWidget(m_canvasWidget);
}

CanvasControl::~CanvasControl() {
    // The widget observes the canvas; it goes first.
    delete m_widget.data();
    m_canvasWidget = nullptr;
}

QPoint CanvasControl::clientOrigin() const {
    const int b = m_canvas.borderThickness();
    return {b, b};
}

void CanvasControl::placeWidget() {
    if (m_canvasWidget) m_canvasWidget->setParentOrigin(parentOrigin());
}

// ---- panel, label, hyperlink ----

PanelControl::PanelControl(Window& window, ControlDescription stored) : Control(window, std::move(stored)) {
    setWidget(new PanelWidget(window.widget()));
}

LabelControl::LabelControl(Window& window, ControlDescription stored) : Control(window, stored) {
    setWidget(new LabelWidget(stored, window.widget()));
}

HyperlinkControl::HyperlinkControl(Window& window, ControlDescription stored) : Control(window, stored) {
    auto* link = new HyperlinkWidget(stored, window.widget());
    setWidget(link);
}

bool HyperlinkControl::hovered() const { return static_cast<HyperlinkWidget*>(m_widget.data())->hovered(); }
bool HyperlinkControl::visited() const { return static_cast<HyperlinkWidget*>(m_widget.data())->visited(); }

// ---- edit box ----

EditControl::EditControl(Window& window, ControlDescription stored) : Control(window, stored) {
    auto* edit = new EditWidget(window.widget());
    edit->setFont(fontFor(stored.font));
    edit->setMaxLength(INT_MAX);  // no length limit
    edit->setFrame(true);
    edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    edit->setFocusPolicy(Qt::StrongFocus);
    edit->setText(toQString(stored.text));
    edit->setCursorPosition(0);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString&) {
        m_window.raise(*this, event::kTextChanged);
    });
    setWidget(edit);
}

QLineEdit* EditControl::lineEdit() const { return static_cast<QLineEdit*>(m_widget.data()); }

Text EditControl::text() const { return fromQString(lineEdit()->text()); }

void EditControl::setText(const Text& text) {
    QLineEdit* edit = lineEdit();
    edit->setText(toQString(text));
    edit->setCursorPosition(0);
    m_window.raise(*this, event::kTextChanged);
}

// ---- drop-down list ----

ListControl::ListControl(Window& window, ControlDescription stored) : Control(window, stored) {
    auto* combo = new QComboBox(window.widget());
    combo->setEditable(false);
    combo->setFont(fontFor(stored.font));
    combo->setInsertPolicy(QComboBox::InsertAtBottom);
    combo->setFocusPolicy(Qt::StrongFocus);
    // A plain list that opens below the box, every item visible without scrolling.
    combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    combo->setItemDelegate(new ItemDelegate(combo));
    combo->setMaxVisibleItems(7);
    QPalette p = combo->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    combo->setPalette(p);
    // Each committed choice, also of the selected item; delivered once the
    // chooser has finished with the user's action.
    QObject::connect(combo, &QComboBox::activated, combo, [this](int) {
        m_window.raiseQueued(*this, event::kListItemSelected);
    });
    setWidget(combo);
}

QComboBox* ListControl::comboBox() const { return static_cast<QComboBox*>(m_widget.data()); }

void ListControl::clear() { comboBox()->clear(); }

int ListControl::addItem(const Text& text, std::int32_t data) {
    QComboBox* combo = comboBox();
    const int before = combo->count();
    combo->addItem(toQString(text), QVariant(data));
    if (combo->count() != before + 1) return -1;
    return before;
}

int ListControl::count() const { return comboBox()->count(); }
Text ListControl::itemText(int index) const { return fromQString(comboBox()->itemText(index)); }
std::int32_t ListControl::itemData(int index) const { return comboBox()->itemData(index).toInt(); }
int ListControl::selection() const { return comboBox()->currentIndex(); }

void ListControl::setSelection(int s) {
    if (s < -1) s = -1;
    s = std::min(s, count() - 1);
    comboBox()->setCurrentIndex(s);
}

// ---- push button ----

ButtonControl::ButtonControl(Window& window, ControlDescription stored) : Control(window, stored) {
    auto* button = new QPushButton(toQString(stored.text), window.widget());
    button->setFont(fontFor(stored.font));
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(button, &QPushButton::clicked, button, [this](bool) { m_window.raise(*this, event::kClicked); });
    setWidget(button);
}

QPushButton* ButtonControl::button() const { return static_cast<QPushButton*>(m_widget.data()); }

// ---- component ----

ComponentControl::ComponentControl(Window& window, ControlDescription stored) : Control(window, std::move(stored)) {}

// ---- the window ----

WindowControl::WindowControl(Window& window, ControlDescription stored, QWidget* topLevel)
    : Control(window, std::move(stored)) {
    m_widget = topLevel;
}

std::int32_t WindowControl::left() const { return m_widget->frameGeometry().left(); }
std::int32_t WindowControl::top() const { return m_widget->frameGeometry().top(); }
std::int32_t WindowControl::width() const { return m_widget->frameGeometry().width(); }
std::int32_t WindowControl::height() const { return m_widget->frameGeometry().height(); }

void WindowControl::setLeft(std::int32_t v) { m_widget->move(clampCoordinate(v), m_widget->frameGeometry().top()); }
void WindowControl::setTop(std::int32_t v) { m_widget->move(m_widget->frameGeometry().left(), clampCoordinate(v)); }
void WindowControl::setWidth(std::int32_t v) { resizeOuter(clampExtent(v), height()); }
void WindowControl::setHeight(std::int32_t v) { resizeOuter(width(), clampExtent(v)); }

void WindowControl::resizeOuter(std::int32_t outerWidth, std::int32_t outerHeight) {
    const QRect frame = m_widget->frameGeometry();
    const QRect client = m_widget->geometry();
    const int extraW = frame.width() - client.width();
    const int extraH = frame.height() - client.height();
    // The frame is fixed: the user cannot drag it, only the program sizes it.
    m_widget->setFixedSize(std::max(0, outerWidth - extraW), std::max(0, outerHeight - extraH));
    // Size changed follows at once, nested, when the client size changed.
    m_window.onClientSizeMaybeChanged();
}

std::int32_t WindowControl::clientWidth() const { return m_widget->width(); }
std::int32_t WindowControl::clientHeight() const { return m_widget->height(); }
bool WindowControl::visible() const { return m_widget->isVisible(); }
void WindowControl::setVisible(bool on) {
    m_widget->setVisible(on);
    if (!on) return;
    // Showing the window makes it the active window within the same step; the
    // platform's own activation, when it comes, finds it active already.
    m_widget->activateWindow();
    m_window.onActivationChanged(true);
}

std::unique_ptr<Control> makeControl(Window& window, const ControlDescription& stored) {
    switch (stored.kind) {
        case ControlKind::Canvas: return std::make_unique<CanvasControl>(window, stored);
        case ControlKind::Panel: return std::make_unique<PanelControl>(window, stored);
        case ControlKind::Label: return std::make_unique<LabelControl>(window, stored);
        case ControlKind::EditBox: return std::make_unique<EditControl>(window, stored);
        case ControlKind::DropDownList: return std::make_unique<ListControl>(window, stored);
        case ControlKind::PushButton: return std::make_unique<ButtonControl>(window, stored);
        case ControlKind::Hyperlink: return std::make_unique<HyperlinkControl>(window, stored);
        case ControlKind::FileDialog: return std::make_unique<ComponentControl>(window, stored);
        case ControlKind::Window: return nullptr;
    }
    return nullptr;
}

}  // namespace vantrelo
