// Lists and trees: rows in columns, chosen, activated, sorted by heading, expanded and contracted.
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/keys_qt.h"

namespace rt::qt {

namespace {

void connectTree(Core& core, QtWindow& w, QtControl& c, QTreeView* view) {
    core.onInput(w, c, view, &QTreeView::expanded,
                 [](Core& core, QtWindow& win, QtControl& ctl, const QModelIndex& index) {
                     UserInput input = inputOf(Event::Expanded, ctl.state.id);
                     input.row = ctl.model->rowOf(index);
                     core.send(win, input);
                 });
    core.onInput(w, c, view, &QTreeView::collapsed,
                 [](Core& core, QtWindow& win, QtControl& ctl, const QModelIndex& index) {
                     UserInput input = inputOf(Event::Contracted, ctl.state.id);
                     input.row = ctl.model->rowOf(index);
                     core.send(win, input);
                 });
}

void createList(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    const bool tree = c.state.kind == ControlKind::Tree;
    auto* view = new QTreeView(parent);
    c.widget = view;
    c.view = view;
    c.model = new RowsModel(tree, view);
    view->setModel(c.model);
    view->setItemDelegate(new CellDelegate(view));
    view->setRootIsDecorated(tree);
    view->setItemsExpandable(tree);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionsClickable(true);
    view->header()->setSectionsMovable(false);
    view->setTextElideMode(Qt::ElideRight);
    core.makeFocusable(c, view);
    core.watchControlWidget(view->viewport(), c.state.id);
    // A row is chosen when it becomes selected: the view also moves its current row to the first
    // one, unselected, when it gets the focus without a selection, and that is no choice.
    core.onInput(w, c, view->selectionModel(), &QItemSelectionModel::selectionChanged,
                 [](Core& core, QtWindow& win, QtControl& ctl, const QItemSelection& selected, const QItemSelection&) {
                     if (selected.indexes().isEmpty()) return;
                     UserInput input = inputOf(Event::NewSelection, ctl.state.id);
                     input.row = ctl.model->rowOf(selected.indexes().first());
                     core.send(win, input);
                 });
    core.onInput(w, c, view, &QTreeView::activated,
                 [](Core& core, QtWindow& win, QtControl& ctl, const QModelIndex& index) {
                     UserInput input = inputOf(Event::Accepted, ctl.state.id);
                     input.row = ctl.model->rowOf(index);
                     input.column = index.column() + 1;
                     input.keyCode = keys::MouseLeft2;
                     core.send(win, input);
                 });
    core.onInput(w, c, view->header(), &QHeaderView::sectionClicked,
                 [](Core& core, QtWindow& win, QtControl& ctl, int section) {
                     UserInput input = inputOf(Event::HeaderPressed, ctl.state.id);
                     input.column = section + 1;
                     core.send(win, input);
                 });
    if (tree) connectTree(core, w, c, view);
}

// The chosen row's cell in the locator column is the current one, so that typing searches it.
QModelIndex locatorCell(const QtControl& c, const QModelIndex& index) {
    const ListData* data = c.model->rows();
    const int column = data ? data->locatorColumn : 0;
    if (!index.isValid() || column < 1 || column > c.model->columnCount()) return index;
    return index.sibling(index.row(), column - 1);
}

void listValue(Core&, QtWindow&, QtControl& c) {
    const QModelIndex index = locatorCell(c, c.model->indexOfRow(c.state.selected));
    if (index.isValid()) {
        c.view->selectionModel()->setCurrentIndex(index,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        c.view->scrollTo(index);
    } else {
        c.view->selectionModel()->clearSelection();
    }
}

void setColumns(QtWindow& w, QtControl& c, const ListData& data) {
    const auto& u = w.units;
    QHeaderView* header = c.view->header();
    header->setStretchLastSection(false);
    int last = -1;
    for (int i = 0; i < int(data.columns.size()); ++i)
        if (data.columns[i].width > 0) last = i;
    for (int i = 0; i < int(data.columns.size()); ++i) {
        const auto& column = data.columns[i];
        c.view->setColumnHidden(i, column.width <= 0);
        // A stretched last section never shrinks below the width it had: start it small.
        if (column.width > 0) c.view->setColumnWidth(i, i == last ? header->minimumSectionSize() : u.x(column.width));
    }
    header->setVisible(!data.columns.empty() &&
                       std::any_of(data.columns.begin(), data.columns.end(),
                                   [](const ListColumn& col) { return !col.heading.empty(); }));
    for (int i = 0; i < int(data.columns.size()); ++i)
        header->setSectionResizeMode(i, data.columns[i].resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
    // The last column takes what is left, so a list as wide as its columns needs no scrolling.
    header->setStretchLastSection(true);
}

// Fixed leading columns: a second view over the same rows and selection shows them on top of
// the list's left edge, so that they stay when the list scrolls sideways.
class FixedColumns : public QObject {
public:
    explicit FixedColumns(QTreeView* list)
        : QObject(list), list_(list), view_(new QTreeView(list)), delegate_(new CellDelegate(view_)) {
        setObjectName(kName);
        view_->setModel(list->model());
        view_->setSelectionModel(list->selectionModel());
        view_->setItemDelegate(delegate_);
        view_->setRootIsDecorated(false);
        view_->setUniformRowHeights(true);
        view_->setAllColumnsShowFocus(true);
        view_->setSelectionMode(QAbstractItemView::SingleSelection);
        view_->setSelectionBehavior(QAbstractItemView::SelectRows);
        view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view_->setFocusPolicy(Qt::NoFocus);
        view_->setFrameShape(QFrame::NoFrame);
        view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->header()->setStretchLastSection(false);
        view_->header()->setSectionsMovable(false);
        view_->header()->setSectionResizeMode(QHeaderView::Fixed);
        view_->setTextElideMode(Qt::ElideRight);
        QScrollBar* mine = view_->verticalScrollBar();
        QScrollBar* theirs = list->verticalScrollBar();
        connect(theirs, &QScrollBar::valueChanged, mine, &QScrollBar::setValue);
        connect(mine, &QScrollBar::valueChanged, theirs, &QScrollBar::setValue);
        // What the user does here, the list reports.
        connect(view_, &QTreeView::activated, list, [list](const QModelIndex& index) { emit list->activated(index); });
        connect(view_->header(), &QHeaderView::sectionClicked, list->header(),
                [list](int section) { emit list->header()->sectionClicked(section); });
        connect(list->header(), &QHeaderView::sectionResized, this, [this] { place(); });
        list->viewport()->installEventFilter(this);
    }
    // The list's own, once made (found by name: the class has no meta object of its own).
    static FixedColumns* of(QTreeView* list) {
        return static_cast<FixedColumns*>(list->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
    }

    void show(int count, const QString& styleSheet, const CellDelegate& cells) {
        count_ = count;
        view_->setStyleSheet(styleSheet);
        delegate_->takeLayout(cells);
        for (int i = 0; i < list_->model()->columnCount(); ++i)
            view_->setColumnHidden(i, i >= count_ || list_->isColumnHidden(i));
        view_->setVisible(count_ > 0);
        place();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) place();
        return QObject::eventFilter(watched, event);
    }

private:
    void place() {
        if (count_ <= 0) return;
        int width = 0;
        for (int i = 0; i < count_ && i < list_->model()->columnCount(); ++i) {
            if (list_->isColumnHidden(i)) continue;
            view_->setColumnWidth(i, list_->columnWidth(i));
            width += list_->columnWidth(i);
        }
        const QRect area = list_->viewport()->geometry();
        const int top = list_->header()->isVisible() ? list_->header()->geometry().top() : area.top();
        view_->header()->setVisible(list_->header()->isVisible());
        view_->setGeometry(area.left(), top, std::min(width, area.width()), area.bottom() - top + 1);
        view_->verticalScrollBar()->setValue(list_->verticalScrollBar()->value());
        view_->raise();
    }

    static constexpr const char* kName = "fixedColumns";
    QTreeView* list_;
    QTreeView* view_;
    CellDelegate* delegate_;
    int count_ = 0;
};

void setFixedColumns(QtControl& c, const ListData& data) {
    int count = 0;
    while (count < int(data.columns.size()) && data.columns[count].fixed) ++count;
    FixedColumns* fixed = FixedColumns::of(c.view);
    const auto& cells = *static_cast<CellDelegate*>(c.view->itemDelegate());
    if (count == 0 || c.model->isTree()) {
        if (fixed) fixed->show(0, {}, cells);
        return;
    }
    if (!fixed) fixed = new FixedColumns(c.view);
    fixed->show(count, c.view->styleSheet(), cells);
}

// Buttons beside the vertical scroll bar that move the selection as Home, Page Up, Page Down and
// End do (the list reports the new row as any move).
void setScrollButtons(QTreeView* view, bool on) {
    QWidgetList buttons = view->scrollBarWidgets(Qt::AlignTop) + view->scrollBarWidgets(Qt::AlignBottom);
    if (on && buttons.isEmpty()) {
        struct Move {
            Qt::Alignment where;
            Qt::ArrowType arrow;
            const char* text;
            const char* tip;
            int key;
        };
        // The scroll area stacks them in the reverse order of adding: first, page up, the bar,
        // page down, last from top to bottom.
        const Move moves[] = {{Qt::AlignTop, Qt::UpArrow, "", "Page up", Qt::Key_PageUp},
                              {Qt::AlignTop, Qt::NoArrow, "\u21D1", "First", Qt::Key_Home},
                              {Qt::AlignBottom, Qt::NoArrow, "\u21D3", "Last", Qt::Key_End},
                              {Qt::AlignBottom, Qt::DownArrow, "", "Page down", Qt::Key_PageDown}};
        const int side = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        for (const Move& m : moves) {
            auto* b = new QToolButton(view);
            b->setFixedSize(side, side);
            b->setFocusPolicy(Qt::NoFocus);
            b->setAutoRaise(false);
            if (m.arrow != Qt::NoArrow)
                b->setArrowType(m.arrow);
            else
                b->setText(QString::fromUtf8(m.text));
            b->setToolTip(QString::fromUtf8(m.tip));
            const int key = m.key;
            QObject::connect(b, &QToolButton::clicked, view, [view, key] {
                view->setFocus(Qt::OtherFocusReason);
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QCoreApplication::sendEvent(view, &press);
            });
            view->addScrollBarWidget(b, m.where);
            buttons.append(b);
        }
    }
    for (QWidget* b : buttons) b->setVisible(on);
    view->setVerticalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
}

void listList(Core&, QtWindow& w, QtControl& c) {
    const ControlState& s = c.state;
    auto data = s.list ? s.list : std::make_shared<const ListData>();
    const int scroll = c.view->verticalScrollBar()->value();
    if (s.virtualRows && !c.model->isTree())
        c.model->setVirtualRows(data, s.virtualRows);
    else
        c.model->setRows(data);
    setColumns(w, c, *data);
    c.view->setStyleSheet(data->grid ? QStringLiteral("QTreeView::item{border-right:1px solid palette(mid);"
                                                      "border-bottom:1px solid palette(mid);}")
                                     : QString());
    auto* cells = static_cast<CellDelegate*>(c.view->itemDelegate());
    cells->setLineHeight(data->lineHeight > 0 ? w.units.y(data->lineHeight) : 0);
    QVector<int> indents;
    for (const auto& column : data->columns) indents.append(column.indent > 0 ? w.units.x(column.indent) : 0);
    cells->setIndents(std::move(indents));
    if (c.model->isTree())
        for (int row = 1; row <= c.model->flatCount(); ++row) {
            const QModelIndex index = c.model->indexOfRow(row);
            if (c.model->rowCount(index) > 0) c.view->setExpanded(index, !c.model->contracted(row));
        }
    if (!c.model->isTree()) setScrollButtons(c.view, data->scrollButtons);
    setFixedColumns(c, *data);
    c.view->verticalScrollBar()->setValue(scroll);
}

}  // namespace

const ControlKindOps kListOps{.create = createList, .value = listValue, .list = listList};

}  // namespace rt::qt
