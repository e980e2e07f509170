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
    core.onInput(w, c, view->selectionModel(), &QItemSelectionModel::currentRowChanged,
                 [](Core& core, QtWindow& win, QtControl& ctl, const QModelIndex& now, const QModelIndex&) {
                     if (!now.isValid()) return;
                     UserInput input = inputOf(Event::NewSelection, ctl.state.id);
                     input.row = ctl.model->rowOf(now);
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
    static_cast<CellDelegate*>(c.view->itemDelegate())
        ->setLineHeight(data->lineHeight > 0 ? w.units.y(data->lineHeight) : 0);
    if (c.model->isTree())
        for (int row = 1; row <= c.model->flatCount(); ++row) {
            const QModelIndex index = c.model->indexOfRow(row);
            if (c.model->rowCount(index) > 0) c.view->setExpanded(index, !c.model->contracted(row));
        }
    if (!c.model->isTree()) setScrollButtons(c.view, data->scrollButtons);
    c.view->verticalScrollBar()->setValue(scroll);
}

}  // namespace

const ControlKindOps kListOps{.create = createList, .value = listValue, .list = listList};

}  // namespace rt::qt
