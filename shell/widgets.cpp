#include "shell/widgets.h"

#include <QEnterEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

#include "base/encoding.h"
#include "shell/gradient.h"
#include "shell/gui_platform.h"
#include "shell/web_browser.h"

namespace vantrelo {
namespace {

QString toQString(const Text& text) { return QString::fromStdString(textToUtf8(text)); }

}  // namespace

QStringList wrapLines(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList out;
    const QStringList paragraphs = text.split(QStringLiteral("\r\n"));
    for (const QString& paragraph : paragraphs) {
        QString rest = paragraph;
        while (metrics.horizontalAdvance(rest) > width && rest.size() > 1) {
            // The longest head that fits, at least one character.
            qsizetype fit = 1;
            while (fit < rest.size() && metrics.horizontalAdvance(rest.left(fit + 1)) <= width) ++fit;
            const qsizetype space = rest.left(fit + 1).lastIndexOf(QLatin1Char(' '));
            qsizetype cut = fit;
            qsizetype skip = fit;
            if (space > 0) {
                cut = space;
                skip = space + 1;
            }
            out << rest.left(cut);
            rest = rest.mid(skip);
        }
        out << rest;
    }
    return out;
}

int lineStep(const QFont& font) {
    // The bitmap face's cell is its pixel size; Qt may add a leading pixel.
    if (font.pixelSize() > 0) return font.pixelSize();
    return QFontMetrics(font).height();
}

LabelWidget::LabelWidget(const ControlDescription& stored, QWidget* parent)
    : QWidget(parent),
      m_text(toQString(stored.text)),
      m_alignment(stored.alignment),
      m_lines(stored.lines),
      m_background(stored.background) {
    setFont(fontFor(stored.font));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LabelWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_background == LabelBackground::Gradient) {
        for (int y = 0; y < height(); ++y)
            painter.fillRect(0, y, width(), 1, toQColor(gradientRowColour(kHeadingGradient, height(), y)));
    } else {
        painter.fillRect(rect(), faceColour());
    }
    painter.setPen(Qt::black);
    painter.setFont(font());
    if (m_lines == LabelLines::SingleLine) {
        const int flags = Qt::TextSingleLine | Qt::AlignVCenter |
                          (m_alignment == LabelAlignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft);
        painter.drawText(rect(), flags, m_text);
        // A bitmap face has no bold cut: bold is made by striking the text
        // again one pixel to the right, as raster fonts are emboldened.
        if (font().bold() && !QFontDatabase::isSmoothlyScalable(QFontInfo(font()).family())) painter.drawText(rect().translated(1, 0), flags, m_text);
        return;
    }
    const QFontMetrics metrics(font());
    const int step = lineStep(font());
    int y = 0;
    for (const QString& line : wrapLines(m_text, metrics, width())) {
        if (y >= height()) break;
        const QRect box(0, y, width(), step);
        painter.drawText(box, Qt::TextSingleLine | Qt::AlignTop |
                                  (m_alignment == LabelAlignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft),
                         line);
        y += step;
    }
}

PanelWidget::PanelWidget(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void PanelWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), faceColour());
    painter.setPen(QPen(toQColor(kPanelOutline), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

CanvasWidget::CanvasWidget(Canvas& canvas, QWidget* parent) : QWidget(parent), m_canvas(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    m_canvas.setObserver(this);
    canvasGeometryChanged();
}

CanvasWidget::~CanvasWidget() { m_canvas.setObserver(nullptr); }

void CanvasWidget::setParentOrigin(QPoint origin) {
    m_parentOrigin = origin;
    canvasGeometryChanged();
}

void CanvasWidget::canvasContentChanged(const Rect& area) {
    const int b = m_canvas.borderThickness();
    update(QRect(area.left + b, area.top + b, area.width(), area.height()));
}

void CanvasWidget::canvasGeometryChanged() {
    setGeometry(m_canvas.left() + m_parentOrigin.x(), m_canvas.top() + m_parentOrigin.y(), m_canvas.width(),
                m_canvas.height());
    update();
}

void CanvasWidget::canvasVisibilityChanged() { setVisible(m_canvas.visible()); }

void CanvasWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Nearest pixels when the screen scales: the card stays crisp.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const int b = m_canvas.borderThickness();
    const QRect client(b, b, m_canvas.clientWidth(), m_canvas.clientHeight());
    const PixelImage* image = m_canvas.backingImage();
    if (image && image->width > 0 && image->height > 0) {
        const QImage view(reinterpret_cast<const uchar*>(image->pixels.data()), image->width, image->height,
                          image->width * 4, QImage::Format_RGB32);
        painter.fillRect(client, toQColor(m_canvas.backgroundColour()));
        painter.drawImage(QRect(client.topLeft(), QSize(image->width, image->height)), view);
    } else {
        painter.fillRect(client, toQColor(m_canvas.backgroundColour()));
    }
    if (b > 0) {
        QPalette edge = palette();
        edge.setColor(QPalette::Light, Qt::white);
        edge.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
        edge.setColor(QPalette::Shadow, QColor(0x40, 0x40, 0x40));
        edge.setColor(QPalette::Midlight, faceColour());
        edge.setColor(QPalette::Button, faceColour());
        if (m_canvas.border() == CanvasBorder::Line) {
            painter.setPen(Qt::black);
            painter.drawRect(0, 0, width() - 1, height() - 1);
        } else {
            qDrawWinPanel(&painter, rect(), edge, true, nullptr);
        }
    }
}

HyperlinkWidget::HyperlinkWidget(const ControlDescription& stored, QWidget* parent)
    : QWidget(parent), m_text(toQString(stored.text)), m_target(toQString(stored.target)) {
    setFont(fontFor(stored.font));
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_Hover);
}

void HyperlinkWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), faceColour());
    // Blue normally and once visited, red while hovered.
    painter.setPen(m_hovered ? QColor(0xFF, 0, 0) : QColor(0, 0, 0xFF));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_text.isEmpty() ? m_target : m_text);
}

void HyperlinkWidget::enterEvent(QEnterEvent*) {
    m_hovered = true;
    update();
}

void HyperlinkWidget::leaveEvent(QEvent*) {
    m_hovered = false;
    update();
}

void HyperlinkWidget::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    m_visited = openWebAddress(m_target);
    if (m_visited) update();
}

}  // namespace vantrelo
