#pragma once
// The headless pivot: fields placed in areas, items sorted and filtered, every cell, subtotal
// and total aggregated from the raw rows of a column store, and the lines and columns shown.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "pivot/column_store.h"
#include "pivot/pivot_acc.h"
#include "pivot/pivot_cells.h"
#include "pivot/pivot_parallel.h"

namespace pivot {

enum Orientation { Hidden = 0, ColumnArea = 1, RowArea = 2, DataArea = 3, PageArea = 4 };
enum Aggregate { Sum = 0, Count = 1, Average = 2, Max = 3, Min = 4, StDev = 5, StDevP = 6, Var = 7, VarP = 8 };
enum FooterType { FooterAggregate = 1, FooterRatio = 4 };

inline constexpr const char* kNullItem = "(leer)";

struct FieldDef {
    std::string name;  // a result column, or + - * / over column names and numbers
    std::string caption;
    int orientation = Hidden;
    int position = 0;  // order within its area
    int aggregate = Sum;
    std::string numberFormat;
    int footerType = FooterAggregate;
    bool footerVisible = true;
    bool showDetail = true;
    std::set<std::string> toggledItems;  // items folded the other way than showDetail says (itemPath)
    std::set<std::string> hiddenItems;  // item texts filtered out
};

// A computed field's expression in postfix form.
struct Expression {
    struct Token {
        enum Kind { Number, Column, Op, Neg } kind;
        double value = 0;
        int column = -1;
        char op = 0;
    };
    std::vector<Token> tokens;
    std::vector<int> columns;  // distinct operand columns
    bool ok = false;
    static Expression parse(std::string_view text, const ColumnStore& store);
    template <typename Get>
    double eval(Get&& operand) const;
};

enum class LineKind { Item, Subtotal, Collapsed, Total };

struct Item {
    std::string text;
    bool null = false;
    double number = kNull;  // the value of a numeric field's item
};

struct Axis {
    std::vector<int> fields;               // field indexes, outer first
    std::vector<std::vector<Item>> items;  // per level, sorted
    struct Node {
        int level = -1;              // -1: the grand total
        std::vector<uint32_t> path;  // item per level 0..level
        std::vector<int> children;
        uint32_t firstLeaf = 0, endLeaf = 0;
    };
    std::vector<Node> nodes;    // node 0 is the root
    std::vector<int> leafNode;  // leaf index -> node
    struct Line {
        int node;
        LineKind kind;
    };
    std::vector<Line> lines;  // what is shown, in order
    std::string headingText(const Line& line, int level) const;
};

class PivotTable {
public:
    const Axis& rows() const { return rows_; }
    const Axis& cols() const { return cols_; }
    const std::vector<int>& dataFields() const { return data_; }
    const std::vector<FieldDef>& fields() const { return fields_; }

    size_t lineCount() const { return rows_.lines.size(); }
    // Shown columns: every column line times every data field (one when there is none).
    size_t columnCount() const { return cols_.lines.size() * dataSpan(); }
    size_t dataSpan() const { return data_.empty() ? 1 : data_.size(); }
    const Axis::Line& columnLine(size_t col) const { return cols_.lines[col / dataSpan()]; }
    int dataFieldOf(size_t col) const { return data_.empty() ? -1 : data_[col % dataSpan()]; }
    // Column heading levels: the column fields, then the data field's caption when there are data fields.
    int columnLevels() const { return int(cols_.fields.size()) + (data_.empty() ? 0 : 1); }
    std::string columnHeading(size_t col, int level) const;
    std::string rowHeading(size_t line, int level) const;
    // Subtotals and the grand total; a collapsed item is an item (it holds its group's total).
    // Without row fields the one line holds the row's own values, not a total.
    bool isTotalLine(size_t line) const { return !rows_.fields.empty() && isTotal(rows_.lines[line].kind); }
    // Without column fields the one column holds the row's own values, not a total.
    bool isTotalColumn(size_t col) const { return !cols_.fields.empty() && isTotal(columnLine(col).kind); }
    static bool isTotal(LineKind k) { return k == LineKind::Subtotal || k == LineKind::Total; }

    std::optional<double> value(size_t line, size_t col) const;
    std::string text(size_t line, size_t col) const;

    // Built by Pivot::compute.
    Axis rows_, cols_;
    std::vector<int> data_;
    std::vector<FieldDef> fields_;
    CellLayout layout_;
    CellStore cells_;
    std::vector<int> fieldBundle_;               // per data-field position: its values' bundle
    std::vector<Expression> ratio_;              // per data-field position: the ratio (ok when used)
    std::vector<std::vector<int>> ratioBundle_;  // per data-field position: bundle of each operand column
};

// The items of one field over the store: sorted (numbers numerically, text in German order,
// NULL first as "(leer)") with each raw row's item.
struct Dimension {
    std::vector<Item> items;
    Buffer<uint32_t> rowItem;
};

class Pivot {
public:
    // The store the pivot reads; items are cached per field name until the data changes.
    void setData(std::shared_ptr<const ColumnStore> store);
    const std::shared_ptr<const ColumnStore>& data() const { return store_; }

    std::shared_ptr<const PivotTable> compute(const std::vector<FieldDef>& fields);
    // How the work is split: threads (0: one per core), the fewest rows worth a thread, and the
    // most item combinations counted in one table per thread rather than by sorting the rows.
    void setParallel(unsigned threads, size_t minRowsPerThread, size_t denseCells = kDenseCells);
    static constexpr size_t kDenseCells = size_t(1) << 22;
    // The sorted items of a field (for filters and page fields).
    std::shared_ptr<const Dimension> dimension(const FieldDef& field);

private:
    std::shared_ptr<const ColumnStore> store_;
    std::map<std::string, std::shared_ptr<const Dimension>> dims_;
    Parallel par_;
    size_t denseCells_ = kDenseCells;
};

// True when a row heading is written on that line at that level: on the first line of its group
// (names are not repeated), always on the line's own level.
bool headingShown(const PivotTable& table, size_t line, int level);

// The item at `level` of a node's path by its own and its outer items' texts, joined by '\x1f'.
std::string itemPath(const Axis& axis, const Axis::Node& node, int level);

// The display text of a number in a field's format.
std::string itemText(double v, const FieldDef& f);

}  // namespace pivot
