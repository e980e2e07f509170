// The rows of a list or tree control as Qt sees them. The model holds an immutable copy of the
// rows that the procedure's thread published, so the GUI never reads a row set while it changes;
// for a very long list, the immutable snapshot it published, read block by block as the view
// shows the rows.
#pragma once

#include <QAbstractItemModel>
#include <QFont>
#include <QIcon>
#include <QStyledItemDelegate>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "runtime/ui/model.h"

namespace rt::qt {

enum ListRole {
    SelectedForeRole = Qt::UserRole + 1,
    SelectedBackRole,
    FlatRowRole,  // 1-based row in the procedure's row set
};

class RowsModel : public QAbstractItemModel {
    Q_OBJECT
public:
    RowsModel(bool tree, QObject* parent = nullptr);

    // Takes a new published row set; keeps the Qt indexes valid when only texts changed.
    void setRows(std::shared_ptr<const ListData> data);
    // A list (not a tree) whose rows are read from `rows` as they are shown; columns and icons
    // come from data. A snapshot of as many rows as before keeps the Qt indexes valid.
    void setVirtualRows(std::shared_ptr<const ListData> data, std::shared_ptr<const VirtualRows> rows);
    bool isVirtual() const { return virtual_ != nullptr; }
    const ListData* rows() const { return data_.get(); }
    bool isTree() const { return tree_; }
    int flatCount() const;

    QModelIndex indexOfRow(int row) const;      // 1-based, invalid when out of range
    int rowOf(const QModelIndex& index) const;  // 1-based, 0 for none
    // Tree: rows published as contracted (negative level).
    bool contracted(int row) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    // Tree: a contracted row has children, loaded or not (the procedure loads them as it opens).
    bool hasChildren(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows read from the snapshot at a time, and blocks kept.
    static constexpr int BlockRows = 256;
    static constexpr std::size_t KeptBlocks = 32;

private:
    void buildTree();
    void takeIcons();
    const ListRow* virtualRow(int flat) const;
    const ListCell* cell(int flat, int column) const;
    int cellIndex(int column) const;

    bool tree_;
    std::shared_ptr<const ListData> data_;
    std::vector<int> parent_;  // flat index of the parent, -1 for top level
    std::vector<int> rowInParent_;
    std::vector<std::vector<int>> children_;
    std::vector<int> top_;
    std::vector<QIcon> icons_;
    std::shared_ptr<const VirtualRows> virtual_;
    int virtualCount_ = 0;
    mutable std::map<int, std::vector<ListRow>> blocks_;  // first flat row of a block: its rows
    mutable std::deque<int> blockOrder_;                  // least recently read first
};

// Per-cell selected colours and the list's line height.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setLineHeight(int pixels) { lineHeight_ = pixels; }
    // Pixels between a cell's text and its left edge (right edge for right-justified columns),
    // per column.
    void setIndents(QVector<int> pixels) { indents_ = std::move(pixels); }
    // Line height and indents as another delegate has them.
    void takeLayout(const CellDelegate& other) {
        lineHeight_ = other.lineHeight_;
        indents_ = other.indents_;
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    int lineHeight_ = 0;
    QVector<int> indents_;
};

QColor toQColor(Color color, const QColor& fallback = {});
Color fromQColor(const QColor& color);

}  // namespace rt::qt
