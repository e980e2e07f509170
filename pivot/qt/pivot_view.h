#pragma once
// The pivot control on screen: page, column, row and data areas with field buttons that are
// dragged between them, item filters, and the table itself, drawn cell by cell for what is in
// sight so that scrolling stays smooth however large the table is.

#include <QAbstractScrollArea>
#include <QFrame>
#include <QPointer>
#include <QToolButton>
#include <QWidget>
#include <memory>
#include <vector>

#include "pivot/pivot_control.h"

class QBoxLayout;
class QLabel;

namespace pivot::qt {

// Registers the view for the control's ProgID with the Qt display (idempotent).
void registerPivotView();

// QColor of an OLE colour, system colours from the application's palette.
QColor oleColor(uint32_t ole);

class PivotGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PivotGrid(std::shared_ptr<PivotControl> control, QWidget* parent = nullptr);
    void reload();
    int headingHeight() const;
    int headingWidth() const;  // one column of ColWidth(0) per row field
    int columnWidth(int gridCol) const { return widths_[size_t(gridCol)]; }
    int lineHeight() const { return rowHeight_; }

    // What stands at a point of the viewport: the text as drawn (a value too wide for its column
    // as "###", a heading cut with "…") and the whole text, which the tool tip shows when cut.
    struct Shown {
        QString shown, whole;
    };
    Shown textAt(const QPoint& pos) const;
    // The fold marker before a row heading: '+' folded, '-' open, 0 none.
    char markerOf(size_t line, int level) const;

protected:
    void paintEvent(QPaintEvent*) override;
    bool viewportEvent(QEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    void updateScrollBars();
    int columnAt(int x) const;  // grid column (0 headings) under a viewport x, -1 none
    int columnLeft(int gridCol) const;
    bool headingShown(size_t line, int level) const;  // first line of its group at that level
    int autoWidth(size_t col) const;                  // widest text of a value column, within its field's width
    // The run of columns an outer column heading spans, from the first column in sight.
    std::pair<size_t, size_t> headingRun(size_t col, int level, size_t firstCol) const;
    size_t firstColumn() const;
    QRect rowHeadingCell(size_t line, int level, int y) const;
    Shown cornerText() const;  // the row fields' captions
    int rowLevelAt(int x) const;

    std::shared_ptr<PivotControl> control_;
    std::shared_ptr<const PivotTable> table_;
    Look look_;
    std::vector<int> widths_;  // grid columns: 0 the row headings, then the values
    std::vector<int> lefts_;   // content x of each value column (after the heading column)
    int rowHeight_ = 18;
    int resizing_ = -1, resizeStart_ = 0, resizeWidth_ = 0;
};

class FieldButton : public QToolButton {
    Q_OBJECT
public:
    FieldButton(std::shared_ptr<PivotControl> control, int field, const FieldDef& def, QWidget* parent);
    int field() const { return field_; }
    bool dragging() const { return dragging_; }
    void replaced() { replaced_ = true; }  // goes once its drag has ended

protected:
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

private:
    void showMenu();
    std::shared_ptr<PivotControl> control_;
    int field_;
    FieldDef def_;
    QPoint pressAt_;
    bool dragging_ = false, replaced_ = false;
};

class FieldArea : public QFrame {
    Q_OBJECT
public:
    FieldArea(std::shared_ptr<PivotControl> control, int orientation, const QString& title, QWidget* parent);
    void setButtons(const std::vector<std::pair<int, FieldDef>>& fields, const Look& look);

protected:
    void dragEnterEvent(QDragEnterEvent*) override;
    void dropEvent(QDropEvent*) override;

private:
    std::shared_ptr<PivotControl> control_;
    int orientation_;
    QLabel* title_;
    QBoxLayout* layout_;
    std::vector<FieldButton*> buttons_;
};

class PivotView : public QWidget {
    Q_OBJECT
public:
    PivotView(std::shared_ptr<PivotControl> control, QWidget* parent = nullptr);
    ~PivotView() override;
    PivotGrid* grid() const { return grid_; }

private:
    void reload();
    std::shared_ptr<PivotControl> control_;
    int listener_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    FieldArea *fieldList_, *page_, *columns_, *rows_, *data_;
    PivotGrid* grid_;
};

}  // namespace pivot::qt
