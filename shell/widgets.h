#pragma once
// The Qt widgets that the window layer draws itself: labels, framed panels,
// the canvas view and the hyperlink.
#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "base/text.h"
#include "graphics/canvas.h"
#include "shell/window_description.h"

class QFontMetrics;

namespace vantrelo {

// The heading gradient: white, light grey, white.
inline constexpr Colour kHeadingGradient[3] = {0xFFFFFF, 0xECECEC, 0xFFFFFF};
inline constexpr Colour kPanelOutline = 0xC0C0C0;

// Splits text into lines: each CR LF starts a line; a line too wide for
// width is broken after its last space that fits, or else between characters.
QStringList wrapLines(const QString& text, const QFontMetrics& metrics, int width);
// The distance between two lines of a word-wrapped label.
int lineStep(const QFont& font);

class LabelWidget : public QWidget {
public:
    LabelWidget(const ControlDescription& stored, QWidget* parent);
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
    LabelAlignment m_alignment;
    LabelLines m_lines;
    LabelBackground m_background;
};

class PanelWidget : public QWidget {
public:
    explicit PanelWidget(QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;
};

// Shows a canvas: its border, then its backing image in the client area.
class CanvasWidget : public QWidget, public CanvasObserver {
public:
    CanvasWidget(Canvas& canvas, QWidget* parent);
    ~CanvasWidget() override;
    void canvasContentChanged(const Rect& clientArea) override;
    void canvasGeometryChanged() override;
    void canvasVisibilityChanged() override;
    // Where the canvas's left and top are measured from, in the parent widget.
    void setParentOrigin(QPoint origin);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Canvas& m_canvas;
    QPoint m_parentOrigin;
};

class HyperlinkWidget : public QWidget {
public:
    HyperlinkWidget(const ControlDescription& stored, QWidget* parent);
    bool hovered() const { return m_hovered; }
    bool visited() const { return m_visited; }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    QString m_text;
    QString m_target;
    bool m_hovered = false;
    bool m_visited = false;
};

}  // namespace vantrelo
