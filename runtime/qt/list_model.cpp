#include "runtime/qt/list_model.h"

#include <QApplication>
#include <QPalette>
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "runtime/qt/fonts.h"
#include "runtime/qt/icons.h"

namespace rt::qt {

QColor toQColor(Color color, const QColor& fallback) {
    if (color == ColorNone) return fallback;
    if (color & 0x80000000u) {
        // System colours by number, as the platform's palette gives them.
        const QPalette pal = QApplication::palette();
        switch (color & 0xFF) {
        case 1:
        case 12: return pal.color(QPalette::Dark);
        case 2:
        case 13: return pal.color(QPalette::Highlight);
        case 9:
        case 14: return pal.color(QPalette::HighlightedText);
        case 4:
        case 15:
        case 3: return pal.color(QPalette::Button);
        case 5: return pal.color(QPalette::Base);
        case 6:
        case 16: return pal.color(QPalette::Mid);
        case 7:
        case 8: return pal.color(QPalette::Text);
        case 17: return pal.color(QPalette::Disabled, QPalette::Text);
        case 18: return pal.color(QPalette::ButtonText);
        case 20: return pal.color(QPalette::Light);
        case 21: return pal.color(QPalette::Shadow);
        case 23: return pal.color(QPalette::ToolTipText);
        case 24: return pal.color(QPalette::ToolTipBase);
        default: return pal.color(QPalette::Window);
        }
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

Color fromQColor(const QColor& color) {
    if (!color.isValid()) return ColorNone;
    return rgb(color.red(), color.green(), color.blue());
}

RowsModel::RowsModel(bool tree, QObject* parent) : QAbstractItemModel(parent), tree_(tree) {}

int RowsModel::flatCount() const {
    if (virtual_) return virtualCount_;
    return data_ ? int(data_->rows.size()) : 0;
}

void RowsModel::takeIcons() {
    icons_.clear();
    if (data_)
        for (const auto& file : data_->icons) icons_.push_back(iconFor(QString::fromStdString(file)));
}

void RowsModel::setRows(std::shared_ptr<const ListData> data) {
    const bool sameShape = !virtual_ && data_ && data && !tree_ && data_->rows.size() == data->rows.size() &&
                           data_->columns == data->columns && data_->icons == data->icons;
    if (sameShape) {
        data_ = std::move(data);
        if (!data_->rows.empty()) emit dataChanged(index(0, 0), index(int(data_->rows.size()) - 1, columnCount() - 1));
        return;
    }
    beginResetModel();
    data_ = std::move(data);
    virtual_.reset();
    virtualCount_ = 0;
    blocks_.clear();
    blockOrder_.clear();
    takeIcons();
    buildTree();
    endResetModel();
}

void RowsModel::setVirtualRows(std::shared_ptr<const ListData> data, std::shared_ptr<const VirtualRows> rows) {
    Q_ASSERT(!tree_ && rows);
    // Qt counts rows in int.
    const int count = int(std::min<std::size_t>(rows->rowCount(), std::size_t(std::numeric_limits<int>::max())));
    const bool sameShape = virtual_ && data_ && data && virtualCount_ == count && data_->columns == data->columns &&
                           data_->icons == data->icons;
    if (sameShape) {
        data_ = std::move(data);
        virtual_ = std::move(rows);
        blocks_.clear();
        blockOrder_.clear();
        if (count > 0) emit dataChanged(index(0, 0), index(count - 1, columnCount() - 1));
        return;
    }
    beginResetModel();
    data_ = std::move(data);
    virtual_ = std::move(rows);
    virtualCount_ = count;
    blocks_.clear();
    blockOrder_.clear();
    takeIcons();
    parent_.clear();
    rowInParent_.clear();
    children_.clear();
    top_.clear();
    endResetModel();
}

const ListRow* RowsModel::virtualRow(int flat) const {
    if (!virtual_ || flat < 0 || flat >= virtualCount_) return nullptr;
    const int first = flat - flat % BlockRows;
    auto it = blocks_.find(first);
    if (it == blocks_.end()) {
        if (blocks_.size() >= KeptBlocks) {
            blocks_.erase(blockOrder_.front());
            blockOrder_.pop_front();
        }
        it = blocks_.emplace(first, virtual_->rows(std::size_t(first), BlockRows)).first;
    } else {
        blockOrder_.erase(std::find(blockOrder_.begin(), blockOrder_.end(), first));
    }
    blockOrder_.push_back(first);
    const auto& block = it->second;
    const std::size_t at = std::size_t(flat - first);
    return at < block.size() ? &block[at] : nullptr;
}

void RowsModel::buildTree() {
    const int n = flatCount();
    parent_.assign(n, -1);
    rowInParent_.assign(n, 0);
    children_.assign(n, {});
    top_.clear();
    std::vector<int> stack;  // flat indexes of the open ancestors
    for (int i = 0; i < n; ++i) {
        int level = tree_ ? std::abs(data_->rows[i].level) : 1;
        if (level < 1) level = 1;
        while (int(stack.size()) >= level) stack.pop_back();
        // A row deeper than one below its predecessor hangs on the deepest open row.
        const int p = stack.empty() ? -1 : stack.back();
        parent_[i] = p;
        if (p < 0) {
            rowInParent_[i] = int(top_.size());
            top_.push_back(i);
        } else {
            rowInParent_[i] = int(children_[p].size());
            children_[p].push_back(i);
        }
        stack.push_back(i);
    }
}

QModelIndex RowsModel::indexOfRow(int row) const {
    if (row < 1 || row > flatCount()) return {};
    if (virtual_) return createIndex(row - 1, 0, quintptr(row - 1));
    return createIndex(rowInParent_[row - 1], 0, quintptr(row - 1));
}

int RowsModel::rowOf(const QModelIndex& index) const { return index.isValid() ? int(index.internalId()) + 1 : 0; }

bool RowsModel::contracted(int row) const {
    return !virtual_ && row >= 1 && row <= flatCount() && data_->rows[row - 1].level < 0;
}

QModelIndex RowsModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= columnCount()) return {};
    if (virtual_)
        return parent.isValid() || row >= virtualCount_ ? QModelIndex() : createIndex(row, column, quintptr(row));
    if (!parent.isValid()) {
        if (row >= int(top_.size())) return {};
        return createIndex(row, column, quintptr(top_[row]));
    }
    const int p = int(parent.internalId());
    if (p < 0 || p >= int(children_.size()) || row >= int(children_[p].size())) return {};
    return createIndex(row, column, quintptr(children_[p][row]));
}

QModelIndex RowsModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || virtual_) return {};
    const int flat = int(child.internalId());
    if (flat < 0 || flat >= int(parent_.size()) || parent_[flat] < 0) return {};
    const int p = parent_[flat];
    return createIndex(rowInParent_[p], 0, quintptr(p));
}

int RowsModel::rowCount(const QModelIndex& parent) const {
    if (!data_) return 0;
    if (virtual_) return parent.isValid() ? 0 : virtualCount_;
    if (!parent.isValid()) return int(top_.size());
    if (parent.column() != 0) return 0;
    const int p = int(parent.internalId());
    return p >= 0 && p < int(children_.size()) ? int(children_[p].size()) : 0;
}

bool RowsModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid() || !tree_) return rowCount(parent) > 0;
    return parent.column() == 0 && (rowCount(parent) > 0 || contracted(rowOf(parent)));
}

int RowsModel::columnCount(const QModelIndex&) const {
    if (!data_ || data_->columns.empty()) return 1;
    return int(data_->columns.size());
}

int RowsModel::cellIndex(int column) const { return column; }

const ListCell* RowsModel::cell(int flat, int column) const {
    if (!data_ || flat < 0 || flat >= flatCount()) return nullptr;
    const ListRow* row = virtual_ ? virtualRow(flat) : &data_->rows[flat];
    if (!row) return nullptr;
    const auto& cells = row->cells;
    const int c = cellIndex(column);
    return c >= 0 && c < int(cells.size()) ? &cells[c] : nullptr;
}

namespace {

Qt::Alignment alignmentOf(Justify justify) {
    switch (justify) {
    case Justify::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    case Justify::Right:
    case Justify::Decimal: return Qt::AlignRight | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// A cell's own colour, else its column's; none: the list's.
QVariant colourOf(Color cell, Color column) {
    if (cell != ColorNone) return toQColor(cell);
    if (column != ColorNone) return toQColor(column);
    return {};
}

}  // namespace

QVariant RowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int flat = int(index.internalId());
    const ListCell* c = cell(flat, index.column());
    const ListColumn* column =
        data_ && index.column() < int(data_->columns.size()) ? &data_->columns[index.column()] : nullptr;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (role == Qt::ToolTipRole) return {};
        return c ? QString::fromStdString(c->text) : QString();
    case Qt::DecorationRole:
        if (c && c->icon > 0 && c->icon <= int(icons_.size()) && (!column || column->hasIcon || tree_))
            return icons_[c->icon - 1];
        return {};
    case Qt::ForegroundRole: return colourOf(c ? c->fore : ColorNone, column ? column->fore : ColorNone);
    case Qt::BackgroundRole: return colourOf(c ? c->back : ColorNone, column ? column->back : ColorNone);
    case SelectedForeRole: return colourOf(c ? c->selectedFore : ColorNone, column ? column->selectedFore : ColorNone);
    case SelectedBackRole: return colourOf(c ? c->selectedBack : ColorNone, column ? column->selectedBack : ColorNone);
    case Qt::TextAlignmentRole: return column ? QVariant(alignmentOf(column->justify)) : QVariant();
    case Qt::FontRole:
        if (c && (!c->font.face.empty() || c->font.size > 0 || c->font.weight > 0 || c->font.italic))
            return windowFont(QString::fromStdString(c->font.face), c->font.size, c->font.weight >= 600, c->font.italic,
                              c->font.underline);
        return {};
    case FlatRowRole: return flat + 1;
    default: return {};
    }
}

QVariant RowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || !data_ || section < 0 || section >= int(data_->columns.size())) return {};
    const auto& column = data_->columns[section];
    if (role == Qt::DisplayRole) return QString::fromStdString(column.heading);
    if (role == Qt::TextAlignmentRole) return QVariant(alignmentOf(column.headingJustify));
    return {};
}

Qt::ItemFlags RowsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QSize CellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (lineHeight_ > 0) size.setHeight(lineHeight_);
    return size;
}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int indent = index.column() < indents_.size() ? indents_[index.column()] : 0;
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (indent <= 0 || (opt.displayAlignment & Qt::AlignHCenter)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell's background and selection across its whole width, its contents moved in.
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
    if (opt.displayAlignment & Qt::AlignRight)
        opt.rect.setRight(opt.rect.right() - indent);
    else
        opt.rect.setLeft(opt.rect.left() + indent);
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_Selected) {
        const QVariant fore = index.data(SelectedForeRole);
        const QVariant back = index.data(SelectedBackRole);
        if (back.isValid()) {
            option->palette.setColor(QPalette::Active, QPalette::Highlight, back.value<QColor>());
            option->palette.setColor(QPalette::Inactive, QPalette::Highlight, back.value<QColor>());
        }
        if (fore.isValid()) {
            option->palette.setColor(QPalette::Active, QPalette::HighlightedText, fore.value<QColor>());
            option->palette.setColor(QPalette::Inactive, QPalette::HighlightedText, fore.value<QColor>());
        }
    }
}

}  // namespace rt::qt
