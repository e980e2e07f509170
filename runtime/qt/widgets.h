// Small widgets of the control kinds that Qt has no widget for.
#pragma once

#include <QColor>
#include <QFrame>
#include <QScrollArea>
#include <QWidget>
#include <functional>

namespace rt::qt {

// The client area of a window: controls are placed on it in dialog units.
class Canvas : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    QSize wanted;
    QSize sizeHint() const override { return wanted.isValid() ? wanted : QWidget::sizeHint(); }
    QSize minimumSizeHint() const override { return minimumSize(); }
    std::function<void()> onResized;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

// Holds a child window's canvas in the frame's area: the window may be made smaller than its
// controls need (the area, a tiling), and then scrolls. It asks for the canvas's whole size.
class CanvasHost : public QScrollArea {
    Q_OBJECT
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

// A rectangle with an optional fill and border colour.
class BoxWidget : public QWidget {
public:
    using QWidget::QWidget;
    QColor fill;
    QColor border;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A line across its rectangle; `rising` draws it from the lower left to the upper right.
class LineWidget : public QWidget {
public:
    using QWidget::QWidget;
    QColor color;
    bool rising = false;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// An invisible area that reports the mouse.
class RegionWidget : public QWidget {
public:
    explicit RegionWidget(QWidget* parent);
    QColor fill;
    QColor border;
    std::function<void(int what, QMouseEvent* event)>
        onMouse;  // what: 0 enter, 1 leave, 2 down, 3 up, 4 click, 5 double
    enum { Enter, Leave, Down, Up, Click, Double };

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace rt::qt
