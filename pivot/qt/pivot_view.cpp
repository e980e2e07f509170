#include "pivot/qt/pivot_view.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <atomic>

#include "pivot/number_format.h"
#include "runtime/qt/qt_display.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"

namespace pivot::qt {

namespace {

const char* kMime = "application/x-voq-pivot-field";
constexpr int kMarker = 12;  // the +/- box before a row heading that can collapse
constexpr int kValuePad = 5;    // a value's margins in its cell
constexpr int kHeadingPad = 6;  // a heading's margins
constexpr int kMinWidth = 40;
constexpr int kWidestDigits = 40;            // a value column grows to at most this many digits
constexpr size_t kSampledCells = 2'000'000;  // values read to size the columns of a huge table

QFont fontOf(const FontSpec& f) {
    QFont q(QString::fromStdString(f.name));
    q.setPointSizeF(f.size > 0 ? f.size : 8);
    q.setBold(f.bold);
    q.setItalic(f.italic);
    q.setUnderline(f.underline);
    return q;
}

}  // namespace

QColor oleColor(uint32_t ole) {
    if (ole & 0x80000000u) {
        QPalette p = QApplication::palette();
        switch (ole & 0xFF) {
        case 5: return p.color(QPalette::Base);
        case 8: return p.color(QPalette::WindowText);
        case 15: return p.color(QPalette::Button);
        case 18: return p.color(QPalette::ButtonText);
        case 23: return p.color(QPalette::ToolTipText);
        case 24: return p.color(QPalette::ToolTipBase);
        default: break;
        }
    }
    return QColor(QRgb(resolveOleColor(ole)));
}

// ---------------------------------------------------------------------------------------------
// The grid

PivotGrid::PivotGrid(std::shared_ptr<PivotControl> control, QWidget* parent)
    : QAbstractScrollArea(parent), control_(std::move(control)) {
    viewport()->setMouseTracking(true);
    setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(rowHeight_);
    reload();
}

void PivotGrid::reload() {
    table_ = control_->table();
    look_ = control_->look();
    QFontMetrics fm(fontOf(look_.font));
    rowHeight_ = std::max(16, fm.height() + 4);
    verticalScrollBar()->setSingleStep(rowHeight_);
    size_t cols = table_->columnCount();
    widths_.assign(cols + 1, 0);
    lefts_.assign(cols + 1, 0);
    widths_[0] = control_->colWidth(0);
    // A column nobody has given a width fits its widest value and heading.
    std::map<int, int> sized;
    for (size_t c = 1; c <= cols; ++c) {
        const std::optional<int> set = control_->setWidth(int(c));
        widths_[c] = set.value_or(autoWidth(c - 1));
        if (!set) sized[int(c)] = widths_[c];
    }
    control_->noteShownWidths(std::move(sized));
    int x = 0;
    for (size_t c = 1; c <= cols; ++c) {
        lefts_[c - 1] = x;
        x += widths_[c];
    }
    lefts_[cols] = x;
    updateScrollBars();
    viewport()->update();
}

int PivotGrid::autoWidth(size_t col) const {
    const PivotTable& t = *table_;
    const QFontMetrics vm(fontOf(look_.font)), tm(fontOf(look_.totalsFont)), hm(fontOf(look_.headingsFont));
    int want = 0;
    if (int levels = t.columnLevels(); levels > 0)
        // Two pixels more: eliding measures the text unrounded.
        want = hm.horizontalAdvance(QString::fromStdString(t.columnHeading(col, levels - 1))) + kHeadingPad + 2;
    int cap = kWidestDigits * vm.horizontalAdvance(QLatin1Char('0')) + kValuePad;
    if (int d = t.dataFieldOf(col); d >= 0) {
        const FieldDef& f = t.fields()[size_t(d)];
        std::string_view format = rt::trimBlanks(f.numberFormat);
        if (!format.empty() && format.front() == '@' && rt::pictureWidth(format) > 0)
            cap = rt::pictureWidth(format) * vm.horizontalAdvance(QLatin1Char('0')) + kValuePad;
        // The widest text is one of the extremes; a huge table is sampled, its totals always read.
        const size_t lines = t.lineCount();
        const size_t stride = std::max<size_t>(1, lines * t.columnCount() / kSampledCells);
        std::optional<double> lo, hi;
        for (size_t line = 0; line < lines; ++line) {
            if (stride > 1 && line % stride != 0 && !t.isTotalLine(line)) continue;
            auto v = t.value(line, col);
            if (!v) continue;
            if (!lo || *v < *lo) lo = v;
            if (!hi || *v > *hi) hi = v;
        }
        for (auto v : {lo, hi}) {
            if (!v) continue;
            QString text = QString::fromStdString(formatNumber(*v, f.numberFormat));
            want = std::max(want, std::max(vm.horizontalAdvance(text), tm.horizontalAdvance(text)) + kValuePad);
        }
    }
    return std::max(kMinWidth, std::min(want, cap));
}

int PivotGrid::headingWidth() const {
    return widths_[0] * std::max<int>(1, table_ ? int(table_->rows().fields.size()) : 1);
}

int PivotGrid::headingHeight() const { return std::max(1, table_ ? table_->columnLevels() : 1) * rowHeight_; }

void PivotGrid::updateScrollBars() {
    if (!table_) return;
    int contentW = lefts_.empty() ? 0 : lefts_.back();
    int contentH = int(table_->lineCount()) * rowHeight_;
    int viewW = viewport()->width() - headingWidth(), viewH = viewport()->height() - headingHeight();
    horizontalScrollBar()->setRange(0, std::max(0, contentW - viewW));
    horizontalScrollBar()->setPageStep(std::max(1, viewW));
    verticalScrollBar()->setRange(0, std::max(0, contentH - viewH));
    verticalScrollBar()->setPageStep(std::max(1, viewH));
}

void PivotGrid::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
}

int PivotGrid::columnLeft(int gridCol) const {
    if (gridCol == 0) return 0;
    return headingWidth() + lefts_[size_t(gridCol - 1)] - horizontalScrollBar()->value();
}

int PivotGrid::columnAt(int x) const {
    if (!table_) return -1;
    if (x < headingWidth()) return 0;
    int cx = x - headingWidth() + horizontalScrollBar()->value();
    auto it = std::upper_bound(lefts_.begin(), lefts_.end(), cx);
    int c = int(it - lefts_.begin());  // 1-based value column
    if (c < 1 || size_t(c) > table_->columnCount()) return -1;
    return c;
}

size_t PivotGrid::firstColumn() const {
    // The value columns in sight: a binary search, never a walk over all of them.
    const int sx = horizontalScrollBar()->value();
    size_t first = size_t(std::upper_bound(lefts_.begin(), lefts_.end(), sx) - lefts_.begin());
    return first > 0 ? first - 1 : 0;
}

std::pair<size_t, size_t> PivotGrid::headingRun(size_t col, int level, size_t firstCol) const {
    const PivotTable& t = *table_;
    if (level + 1 >= std::max(1, t.columnLevels())) return {col, col + 1};
    auto samePath = [&](size_t a, size_t b) {
        for (int l = 0; l <= level; ++l)
            if (t.columnHeading(a, l) != t.columnHeading(b, l)) return false;
        return true;
    };
    const int sx = horizontalScrollBar()->value(), W = viewport()->width();
    size_t start = col, end = col + 1;
    while (start > firstCol && samePath(start - 1, col)) --start;
    while (end < t.columnCount() && samePath(col, end) && lefts_[end] - sx < W) ++end;
    return {start, end};
}

char PivotGrid::markerOf(size_t line, int level) const {
    const auto& rows = table_->rows();
    if (line >= rows.lines.size()) return 0;
    const auto& l = rows.lines[line];
    if (l.kind == LineKind::Total || level < 0 || level + 1 >= int(rows.fields.size())) return 0;
    const int lineLevel = rows.nodes[size_t(l.node)].level;
    if (level > lineLevel || (l.kind == LineKind::Subtotal && level == lineLevel)) return 0;
    // Each level tells its own state: the outer items of a folded line are open.
    return l.kind == LineKind::Collapsed && level == lineLevel ? '+' : '-';
}

QRect PivotGrid::rowHeadingCell(size_t line, int level, int y) const {
    const auto& rows = table_->rows();
    const auto& l = rows.lines[line];
    const int depth = std::max(1, int(rows.fields.size()));
    const int lineLevel = l.kind == LineKind::Total ? 0 : rows.nodes[size_t(l.node)].level;
    const int hw = headingWidth(), sub = hw / depth;
    // The line's own heading has the room of the levels below it, which stay empty.
    const bool last = level + 1 == depth || level == lineLevel;
    return QRect(level * sub, y, last ? hw - level * sub : sub, rowHeight_);
}

int PivotGrid::rowLevelAt(int x) const {
    const int depth = std::max(1, int(table_->rows().fields.size()));
    return std::clamp(x / std::max(1, headingWidth() / depth), 0, depth - 1);
}

namespace {

// A value that does not fit shows marks over the cell's width, never a part of the number.
QString fitValue(const QString& text, const QFontMetrics& fm, int width) {
    const int room = width - kValuePad;
    if (fm.horizontalAdvance(text) <= room) return text;
    return QString(std::max(1, room / std::max(1, fm.horizontalAdvance(QLatin1Char('#')))), QLatin1Char('#'));
}

QString fitHeading(const QString& text, const QFontMetrics& fm, int room) {
    return fm.elidedText(text, Qt::ElideRight, std::max(0, room));
}

}  // namespace

PivotGrid::Shown PivotGrid::cornerText() const {
    std::string captions;
    for (int f : table_->rows().fields) {
        const FieldDef& d = table_->fields()[size_t(f)];
        captions += (captions.empty() ? "" : " / ") + (d.caption.empty() ? d.name : d.caption);
    }
    const QString whole = QString::fromStdString(captions);
    return {fitHeading(whole, QFontMetrics(fontOf(look_.headingsFont)), headingWidth() - kHeadingPad), whole};
}

PivotGrid::Shown PivotGrid::textAt(const QPoint& pos) const {
    if (!table_) return {};
    const PivotTable& t = *table_;
    const int hh = headingHeight(), hw = headingWidth();
    const int sy = verticalScrollBar()->value();
    auto make = [](const std::string& whole, auto fit) {
        QString w = QString::fromStdString(whole);
        return Shown{fit(w), w};
    };
    if (pos.y() < hh && pos.x() < hw) return cornerText();
    if (pos.y() < hh) {
        int c = columnAt(pos.x());
        if (c < 1) return {};
        int level = pos.y() / rowHeight_;
        size_t col = size_t(c - 1);
        auto [start, end] = headingRun(col, level, firstColumn());
        QFontMetrics fm(fontOf(look_.headingsFont));
        return make(t.columnHeading(col, level),
                    [&](const QString& w) { return fitHeading(w, fm, lefts_[end] - lefts_[start] - kHeadingPad); });
    }
    size_t line = size_t((pos.y() - hh + sy) / rowHeight_);
    if (line >= t.lineCount()) return {};
    if (pos.x() < hw) {
        const auto& l = t.rows().lines[line];
        const int lineLevel = l.kind == LineKind::Total ? 0 : t.rows().nodes[size_t(l.node)].level;
        int level = std::min(rowLevelAt(pos.x()), lineLevel);
        while (level > 0 && !headingShown(line, level)) --level;
        if (!headingShown(line, level)) return {};
        const bool total = PivotTable::isTotal(l.kind) && level == lineLevel;
        QFontMetrics fm(fontOf(total ? look_.totalsFont : look_.headingsFont));
        QRect cell = rowHeadingCell(line, level, 0);
        int indent = 3 + (markerOf(line, level) ? kMarker + 2 : 0);
        return make(t.rowHeading(line, level),
                    [&](const QString& w) { return fitHeading(w, fm, cell.width() - indent - 2); });
    }
    int c = columnAt(pos.x());
    if (c < 1) return {};
    const size_t col = size_t(c - 1);
    const bool total = t.isTotalLine(line) || t.isTotalColumn(col);
    QFontMetrics fm(fontOf(total ? look_.totalsFont : look_.font));
    return make(t.text(line, col), [&](const QString& w) { return fitValue(w, fm, widths_[size_t(c)]); });
}

bool PivotGrid::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        Shown s = textAt(help->pos());
        if (!s.whole.isEmpty() && s.shown != s.whole)
            QToolTip::showText(help->globalPos(), s.whole, viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(e);
}

void PivotGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const PivotTable& t = *table_;
    const int W = viewport()->width(), H = viewport()->height();
    const int hh = headingHeight(), hw = headingWidth();
    const int levels = std::max(1, t.columnLevels());
    const int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
    p.fillRect(rect(), oleColor(look_.cubeBack));

    const QColor headBack = oleColor(look_.headingsBack), headFore = oleColor(look_.headingsFore);
    const QColor totBack = oleColor(look_.totalsBack), totFore = oleColor(look_.totalsFore);
    const QColor grid = oleColor(look_.gridColor);
    const QFont font = fontOf(look_.font), headFont = fontOf(look_.headingsFont), totFont = fontOf(look_.totalsFont);
    const QFontMetrics valueMetrics(font), headMetrics(headFont), totMetrics(totFont);
    const bool lines = look_.gridStyle != 0;

    const size_t firstCol = firstColumn();
    size_t firstLine = size_t(sy / rowHeight_);
    size_t lastLine = std::min(t.lineCount(), size_t((sy + H - hh) / rowHeight_ + 1));

    // Values.
    p.save();
    p.setClipRect(hw, hh, W - hw, H - hh);
    for (size_t line = firstLine; line < lastLine; ++line) {
        int y = hh + int(line) * rowHeight_ - sy;
        bool totalLine = t.isTotalLine(line);
        for (size_t c = firstCol; c < t.columnCount(); ++c) {
            int x = hw + lefts_[c] - sx;
            if (x > W) break;
            int w = widths_[c + 1];
            QRect r(x, y, w, rowHeight_);
            bool total = totalLine || t.isTotalColumn(c);
            if (total)
                p.fillRect(r, totBack);
            else
                p.fillRect(r, QApplication::palette().color(QPalette::Base));
            p.setPen(total ? totFore : QApplication::palette().color(QPalette::Text));
            p.setFont(total ? totFont : font);
            p.drawText(r.adjusted(2, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter,
                       fitValue(QString::fromStdString(t.text(line, c)), total ? totMetrics : valueMetrics, w));
            if (lines) {
                p.setPen(grid);
                p.drawLine(r.topRight(), r.bottomRight());
                p.drawLine(r.bottomLeft(), r.bottomRight());
            }
        }
    }
    p.restore();

    // Column headings: an outer heading spans its run of equal columns.
    p.save();
    p.setClipRect(hw, 0, W - hw, hh);
    p.setFont(headFont);
    for (int level = 0; level < levels; ++level) {
        int y = level * rowHeight_;
        size_t c = firstCol;
        while (c < t.columnCount()) {
            int x = hw + lefts_[c] - sx;
            if (x > W) break;
            const size_t end = headingRun(c, level, c).second;
            QRect r(x, y, lefts_[end] - lefts_[c], rowHeight_);
            bool total = t.isTotalColumn(c);
            p.fillRect(r, total ? totBack : headBack);
            p.setPen(total ? totFore : headFore);
            p.drawText(
                r.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                fitHeading(QString::fromStdString(t.columnHeading(c, level)), headMetrics, r.width() - kHeadingPad));
            p.setPen(grid);
            p.drawRect(r.adjusted(0, 0, -1, -1));
            c = end;
        }
    }
    p.restore();

    // Row headings: one column per row field; an item is written on the first line of its group.
    p.save();
    p.setClipRect(0, hh, hw, H - hh);
    const auto& rows = t.rows();
    const int depth = int(rows.fields.size());
    for (size_t line = firstLine; line < lastLine; ++line) {
        int y = hh + int(line) * rowHeight_ - sy;
        const auto& l = rows.lines[line];
        int lineLevel = l.kind == LineKind::Total ? 0 : rows.nodes[size_t(l.node)].level;
        bool total = t.isTotalLine(line);
        QRect r(0, y, hw, rowHeight_);
        p.fillRect(r, total ? totBack : headBack);
        p.setPen(grid);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        for (int level = 0; level <= std::min(lineLevel, std::max(0, depth - 1)); ++level) {
            if (!headingShown(line, level)) continue;
            QRect cell = rowHeadingCell(line, level, y);
            const bool own = total && level == lineLevel;
            p.setPen(own ? totFore : headFore);
            p.setFont(own ? totFont : headFont);
            int indent = 3;
            if (char marker = markerOf(line, level)) {
                QRect box(cell.left() + 3, y + (rowHeight_ - 9) / 2, 9, 9);
                p.drawRect(box);
                p.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
                if (marker == '+') p.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
                indent += kMarker + 2;
            }
            p.drawText(cell.adjusted(indent, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       fitHeading(QString::fromStdString(t.rowHeading(line, level)), own ? totMetrics : headMetrics,
                                  cell.width() - indent - 2));
        }
        p.setPen(grid);
        p.drawLine(r.topRight(), r.bottomRight());
    }
    p.restore();

    // The corner: the row fields' captions.
    QRect corner(0, 0, hw, hh);
    p.fillRect(corner, headBack);
    p.setPen(headFore);
    p.setFont(headFont);
    p.drawText(corner.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignBottom, cornerText().shown);
    p.setPen(grid);
    p.drawRect(corner.adjusted(0, 0, -1, -1));
}

void PivotGrid::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    int hh = headingHeight();
    if (pos.y() < hh) {
        // The right edge of a column heading: width by dragging.
        int c = columnAt(pos.x() - 4);
        if (c >= 1 && std::abs(columnLeft(c) + widths_[size_t(c)] - pos.x()) <= 4) {
            resizing_ = c;
            resizeStart_ = pos.x();
            resizeWidth_ = widths_[size_t(c)];
        }
        return;
    }
    if (pos.x() >= headingWidth()) return;
    size_t line = size_t((pos.y() - hh + verticalScrollBar()->value()) / rowHeight_);
    if (!table_ || line >= table_->lineCount()) return;
    const auto& rows = table_->rows();
    const auto& l = rows.lines[line];
    if (l.kind == LineKind::Total) return;
    const int level = std::min(rowLevelAt(pos.x()), rows.nodes[size_t(l.node)].level);
    if (!markerOf(line, level) || !headingShown(line, level)) return;
    // Only the marker folds, and only its own item: the field's menu folds them all.
    const int left = rowHeadingCell(line, level, 0).left();
    if (pos.x() < left + 1 || pos.x() > left + 3 + kMarker) return;
    // The line's item at the clicked level: its own or one of its outer ones.
    control_->toggleDetail(rows.fields[size_t(level)], itemPath(rows, rows.nodes[size_t(l.node)], level));
}

bool PivotGrid::headingShown(size_t line, int level) const { return pivot::headingShown(*table_, line, level); }

void PivotGrid::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (resizing_ >= 0) {
        int w = std::max(8, resizeWidth_ + pos.x() - resizeStart_);
        widths_[size_t(resizing_)] = w;
        int x = 0;
        for (size_t c = 1; c < widths_.size(); ++c) {
            lefts_[c - 1] = x;
            x += widths_[c];
        }
        lefts_.back() = x;
        updateScrollBars();
        viewport()->update();
        return;
    }
    bool onEdge = false;
    if (pos.y() < headingHeight()) {
        int c = columnAt(pos.x() - 4);
        onEdge = c >= 1 && std::abs(columnLeft(c) + widths_[size_t(c)] - pos.x()) <= 4;
    }
    viewport()->setCursor(onEdge ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void PivotGrid::mouseReleaseEvent(QMouseEvent*) {
    if (resizing_ >= 0) {
        int c = resizing_;
        resizing_ = -1;
        control_->setColWidth(c, widths_[size_t(c)]);
    }
}

// ---------------------------------------------------------------------------------------------
// Field buttons and areas

FieldButton::FieldButton(std::shared_ptr<PivotControl> control, int field, const FieldDef& def, QWidget* parent)
    : QToolButton(parent), control_(std::move(control)), field_(field), def_(def) {
    setText(QString::fromStdString(def.caption.empty() ? def.name : def.caption));
    setToolTip(QString::fromStdString(def.name));
    setAutoRaise(false);
    connect(this, &QToolButton::clicked, this, [this] { showMenu(); });
}

void FieldButton::mousePressEvent(QMouseEvent* e) {
    pressAt_ = e->position().toPoint();
    QToolButton::mousePressEvent(e);
}

void FieldButton::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton) ||
        (e->position().toPoint() - pressAt_).manhattanLength() < QApplication::startDragDistance()) {
        QToolButton::mouseMoveEvent(e);
        return;
    }
    setDown(false);
    auto* mime = new QMimeData;
    mime->setData(kMime, QByteArray::number(field_));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(grab());
    // The drag runs a loop of its own: a close of the viewer meanwhile cancels it, and the
    // viewer goes once it has returned; a reload keeps this button until then.
    QPointer<FieldButton> self(this);
    dragging_ = true;
    {
        rt::qt::NestedLoop loop(this, [] { QDrag::cancel(); });
        drag->exec(Qt::MoveAction);
    }
    if (!self) return;
    dragging_ = false;
    if (replaced_) deleteLater();
}

void FieldButton::showMenu() {
    // The menu and the dialog run event loops of their own: the viewer may go meanwhile (the
    // program closes it), and this button with it. They are not children on this stack frame,
    // and nothing here is touched once the button has gone.
    QPointer<FieldButton> self(this);
    QPointer<QMenu> menu = new QMenu(this);
    QAction* filter = nullptr;
    if (def_.orientation != DataArea) filter = menu->addAction(QStringLiteral("Filter…"));
    QAction* collapse = menu->addAction(QStringLiteral("Zusammenklappen"));
    QAction* expand = menu->addAction(QStringLiteral("Aufklappen"));
    // Items folded the other way than the field: both ways have something to do.
    collapse->setEnabled(def_.showDetail || !def_.toggledItems.empty());
    expand->setEnabled(!def_.showDetail || !def_.toggledItems.empty());
    QAction* chosen = menu->exec(mapToGlobal(QPoint(0, height())));
    if (!self || !menu) return;
    menu->deleteLater();
    if (!chosen) return;
    auto control = control_;
    int field = field_;
    if (chosen == collapse || chosen == expand) {
        control->setShowDetail(field, chosen == expand);
        return;
    }
    if (chosen != filter) return;
    // The items with check boxes: unchecked items are filtered out.
    auto items = control->items(field);
    QPointer<QDialog> dialog = new QDialog(this);
    dialog->setWindowTitle(text());
    auto* layout = new QVBoxLayout(dialog);
    auto* list = new QListWidget(dialog);
    for (const Item& item : items->items) {
        auto* w = new QListWidgetItem(QString::fromStdString(item.text), list);
        w->setFlags(w->flags() | Qt::ItemIsUserCheckable);
        w->setCheckState(def_.hiddenItems.count(item.text) ? Qt::Unchecked : Qt::Checked);
    }
    layout->addWidget(list);
    auto* all = new QToolButton(dialog);
    all->setText(QStringLiteral("Alle"));
    QObject::connect(all, &QToolButton::clicked, list, [list] {
        for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
    });
    layout->addWidget(all);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    const int answer = dialog->exec();
    if (!self || !dialog) return;
    dialog->deleteLater();
    if (answer != QDialog::Accepted) return;
    std::set<std::string> hidden;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() != Qt::Checked) hidden.insert(items->items[size_t(i)].text);
    control->setHiddenItems(field, std::move(hidden));
}

FieldArea::FieldArea(std::shared_ptr<PivotControl> control, int orientation, const QString& title, QWidget* parent)
    : QFrame(parent), control_(std::move(control)), orientation_(orientation) {
    setAcceptDrops(true);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    layout_ = new QBoxLayout(orientation == RowArea ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, this);
    layout_->setContentsMargins(2, 2, 2, 2);
    layout_->setSpacing(2);
    title_ = new QLabel(title, this);
    title_->setEnabled(false);
    layout_->addWidget(title_);
    layout_->addStretch(1);
}

void FieldArea::setButtons(const std::vector<std::pair<int, FieldDef>>& fields, const Look& look) {
    for (auto* b : buttons_) {
        if (b->dragging()) {
            b->hide();
            b->replaced();
        } else {
            b->deleteLater();
        }
    }
    buttons_.clear();
    title_->setVisible(fields.empty());
    int at = 1;
    for (auto& [index, def] : fields) {
        auto* b = new FieldButton(control_, index, def, this);
        bool filtered = !def.hiddenItems.empty();
        QPalette pal = b->palette();
        pal.setColor(QPalette::Button, oleColor(filtered ? look.filteredBack : look.fieldsBack));
        pal.setColor(QPalette::ButtonText, oleColor(filtered ? look.filteredFore : look.fieldsFore));
        b->setPalette(pal);
        b->setAutoFillBackground(true);
        b->setFont(fontOf(filtered ? look.filteredFont : look.fieldFont));
        b->setObjectName(filtered ? "filtered" : "field");
        layout_->insertWidget(at++, b);
        buttons_.push_back(b);
    }
}

void FieldArea::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasFormat(kMime)) e->acceptProposedAction();
}

void FieldArea::dropEvent(QDropEvent* e) {
    bool ok = false;
    int field = e->mimeData()->data(kMime).toInt(&ok);
    if (!ok) return;
    // The place among the buttons: before the first one whose middle lies past the drop point.
    QPoint pos = e->position().toPoint();
    int position = 0;
    for (auto* b : buttons_) {
        if (b->field() == field) continue;
        QPoint mid = b->geometry().center();
        if (orientation_ == RowArea ? pos.y() > mid.y() : pos.x() > mid.x()) ++position;
    }
    e->acceptProposedAction();
    auto control = control_;
    int orientation = orientation_;
    // After the drag has ended: the buttons are rebuilt by the change.
    QMetaObject::invokeMethod(
        this, [control, field, orientation, position] { control->moveField(field, orientation, position); },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// The whole view

PivotView::PivotView(std::shared_ptr<PivotControl> control, QWidget* parent)
    : QWidget(parent), control_(std::move(control)) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    fieldList_ = new FieldArea(control_, Hidden, QStringLiteral("Felder"), this);
    page_ = new FieldArea(control_, PageArea, QStringLiteral("Seitenfelder hierher ziehen"), this);
    data_ = new FieldArea(control_, DataArea, QStringLiteral("Datenfelder"), this);
    columns_ = new FieldArea(control_, ColumnArea, QStringLiteral("Spaltenfelder hierher ziehen"), this);
    rows_ = new FieldArea(control_, RowArea, QStringLiteral("Zeilenfelder"), this);
    grid_ = new PivotGrid(control_, this);
    grid->addWidget(fieldList_, 0, 0, 1, 2);
    grid->addWidget(page_, 1, 0, 1, 2);
    grid->addWidget(data_, 2, 0);
    grid->addWidget(columns_, 2, 1);
    grid->addWidget(rows_, 3, 0);
    grid->addWidget(grid_, 3, 1);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    reload();
    // Changes come from the program thread as well: the view follows on its own thread.
    std::weak_ptr<bool> alive = alive_;
    QPointer<PivotView> self(this);
    // A burst of changes (a width for every column) comes out as one redraw.
    auto pending = std::make_shared<std::atomic<bool>>(false);
    listener_ = control_->addListener([alive, self, pending] {
        if (alive.expired() || pending->exchange(true)) return;
        QMetaObject::invokeMethod(
            QApplication::instance(),
            [self, pending] {
                pending->store(false);
                if (self) self->reload();
            },
            Qt::QueuedConnection);
    });
}

PivotView::~PivotView() {
    control_->removeListener(listener_);
    alive_.reset();
}

void PivotView::reload() {
    auto fields = control_->fields();
    Look look = control_->look();
    std::vector<std::vector<std::pair<int, FieldDef>>> areas(5);
    for (size_t i = 0; i < fields.size(); ++i) areas[size_t(fields[i].orientation)].push_back({int(i), fields[i]});
    for (auto& a : areas)
        std::stable_sort(a.begin(), a.end(), [](auto& x, auto& y) { return x.second.position < y.second.position; });
    fieldList_->setButtons(areas[Hidden], look);
    columns_->setButtons(areas[ColumnArea], look);
    rows_->setButtons(areas[RowArea], look);
    data_->setButtons(areas[DataArea], look);
    page_->setButtons(areas[PageArea], look);
    grid_->reload();
}

void registerPivotView() {
    rt::qt::registerOleView(kProgId, [](std::shared_ptr<rt::AutomationObject> object, QWidget* parent) -> QWidget* {
        auto control = std::dynamic_pointer_cast<PivotControl>(object);
        if (!control) return nullptr;
        return new PivotView(control, parent);
    });
}

}  // namespace pivot::qt
