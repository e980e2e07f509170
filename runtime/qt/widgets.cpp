#include "runtime/qt/widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace rt::qt {

void Canvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResized) onResized();
}

QSize CanvasHost::sizeHint() const {
    const int f = 2 * frameWidth();
    return widget() ? widget()->sizeHint() + QSize(f, f) : QScrollArea::sizeHint();
}

QSize CanvasHost::minimumSizeHint() const {
    // Room for the scroll bars and a little of the window.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {4 * bar, 3 * bar};
}

void BoxWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (fill.isValid()) painter.fillRect(rect(), fill);
    painter.setPen(border.isValid() ? border : palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(color.isValid() ? color : palette().color(QPalette::WindowText));
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (r.width() <= 0)
        painter.drawLine(0, 0, 0, r.height());
    else if (r.height() <= 0)
        painter.drawLine(0, 0, r.width(), 0);
    else if (rising)
        painter.drawLine(r.bottomLeft(), r.topRight());
    else
        painter.drawLine(r.topLeft(), r.bottomRight());
}

RegionWidget::RegionWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

void RegionWidget::paintEvent(QPaintEvent*) {
    if (!fill.isValid() && !border.isValid()) return;
    QPainter painter(this);
    if (fill.isValid()) painter.fillRect(rect(), fill);
    if (border.isValid()) {
        painter.setPen(border);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void RegionWidget::enterEvent(QEnterEvent*) {
    if (onMouse) onMouse(Enter, nullptr);
}

void RegionWidget::leaveEvent(QEvent*) {
    if (onMouse) onMouse(Leave, nullptr);
}

void RegionWidget::mousePressEvent(QMouseEvent* event) {
    if (onMouse) onMouse(Down, event);
}

void RegionWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (onMouse) {
        onMouse(Up, event);
        if (rect().contains(event->position().toPoint())) onMouse(Click, event);
    }
}

void RegionWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (onMouse) onMouse(Double, event);
}

}  // namespace rt::qt
