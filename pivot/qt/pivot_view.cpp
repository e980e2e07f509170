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
#include <algorithm>
#include <atomic>

#include "runtime/qt/qt_display.h"

namespace pivot::qt {

namespace {

const char* kMime = "application/x-voq-pivot-field";
constexpr int kMarker = 12;  // the +/- box before a row heading that can collapse

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
    for (size_t c = 0; c <= cols; ++c) widths_[c] = control_->colWidth(int(c));
    int x = 0;
    for (size_t c = 1; c <= cols; ++c) {
        lefts_[c - 1] = x;
        x += widths_[c];
    }
    lefts_[cols] = x;
    updateScrollBars();
    viewport()->update();
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
    const bool lines = look_.gridStyle != 0;

    // The value columns in sight: a binary search, never a walk over all of them.
    size_t firstCol = size_t(std::upper_bound(lefts_.begin(), lefts_.end(), sx) - lefts_.begin());
    firstCol = firstCol > 0 ? firstCol - 1 : 0;
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
                       QString::fromStdString(t.text(line, c)));
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
            std::string text = t.columnHeading(c, level);
            size_t end = c + 1;
            auto samePath = [&](size_t a, size_t b) {
                for (int l = 0; l <= level; ++l)
                    if (t.columnHeading(a, l) != t.columnHeading(b, l)) return false;
                return true;
            };
            if (level + 1 < levels)
                while (end < t.columnCount() && samePath(c, end) && lefts_[end] - sx < W) ++end;
            QRect r(x, y, lefts_[end] - lefts_[c], rowHeight_);
            bool total = t.isTotalColumn(c);
            p.fillRect(r, total ? totBack : headBack);
            p.setPen(total ? totFore : headFore);
            p.drawText(r.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(text));
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
    const int sub = hw / std::max(1, depth);
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
            QRect cell(level * sub, y, level + 1 == std::max(1, depth) ? hw - level * sub : sub, rowHeight_);
            p.setPen(total && level == lineLevel ? totFore : headFore);
            p.setFont(total && level == lineLevel ? totFont : headFont);
            int indent = 3;
            bool item = l.kind == LineKind::Collapsed ||
                        (l.kind != LineKind::Total && !(l.kind == LineKind::Subtotal && level == lineLevel));
            if (item && level + 1 < depth) {
                QRect box(cell.left() + 3, y + (rowHeight_ - 9) / 2, 9, 9);
                p.drawRect(box);
                p.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
                if (l.kind == LineKind::Collapsed)
                    p.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
                indent += kMarker + 2;
            }
            p.drawText(cell.adjusted(indent, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromStdString(t.rowHeading(line, level)));
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
    std::string captions;
    for (int f : rows.fields) {
        const FieldDef& d = t.fields()[size_t(f)];
        captions += (captions.empty() ? "" : " / ") + (d.caption.empty() ? d.name : d.caption);
    }
    p.drawText(corner.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignBottom, QString::fromStdString(captions));
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
    const int depth = int(rows.fields.size());
    int level = pos.x() / std::max(1, headingWidth() / std::max(1, depth));
    const auto& l = rows.lines[line];
    if (l.kind == LineKind::Total || level + 1 >= depth || !headingShown(line, level)) return;
    int lineLevel = rows.nodes[size_t(l.node)].level;
    if (level > lineLevel || (l.kind == LineKind::Subtotal && level == lineLevel)) return;
    // Collapsing works per field: all items of the level fold together.
    control_->setShowDetail(rows.fields[size_t(level)], l.kind == LineKind::Collapsed && level == lineLevel);
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
    drag->exec(Qt::MoveAction);
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
    collapse->setEnabled(def_.showDetail);
    expand->setEnabled(!def_.showDetail);
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
    for (auto* b : buttons_) b->deleteLater();
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
