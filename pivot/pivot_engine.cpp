#include "pivot/pivot_engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <stdexcept>
#include <unordered_map>

#include "pivot/number_format.h"
#include "pivot/pivot_items.h"

namespace pivot {

// ---------------------------------------------------------------------------------------------
// Computed fields

namespace {

bool isOp(char c) { return c == '+' || c == '-' || c == '*' || c == '/'; }
int precedence(char op) { return op == '*' || op == '/' ? 2 : op == 'n' ? 3 : 1; }

}  // namespace

Expression Expression::parse(std::string_view text, const ColumnStore& store) {
    Expression e;
    std::vector<char> ops;  // '(' , operators, 'n' for a unary minus
    bool expectOperand = true;
    auto popOp = [&] {
        char op = ops.back();
        ops.pop_back();
        Token t{};
        t.kind = op == 'n' ? Token::Neg : Token::Op;
        t.op = op;
        e.tokens.push_back(t);
    };
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        if (c == '(') {
            if (!expectOperand) return {};
            ops.push_back('(');
            ++i;
            continue;
        }
        if (c == ')') {
            if (expectOperand) return {};
            while (!ops.empty() && ops.back() != '(') popOp();
            if (ops.empty()) return {};
            ops.pop_back();
            ++i;
            continue;
        }
        if (isOp(c)) {
            if (expectOperand) {
                if (c != '-') return {};
                ops.push_back('n');
                ++i;
                continue;
            }
            while (!ops.empty() && ops.back() != '(' && precedence(ops.back()) >= precedence(c)) popOp();
            ops.push_back(c);
            expectOperand = true;
            ++i;
            continue;
        }
        if (!expectOperand) return {};
        size_t end = i;
        while (end < text.size() && !isOp(text[end]) && text[end] != '(' && text[end] != ')') ++end;
        std::string_view word = text.substr(i, end - i);
        while (!word.empty() && (word.back() == ' ' || word.back() == '\t')) word.remove_suffix(1);
        Token t{};
        double v = parseNumber(word);
        if (!isNull(v)) {
            t.kind = Token::Number;
            t.value = v;
        } else {
            int col = store.find(word);
            if (col < 0) return {};
            t.kind = Token::Column;
            t.column = col;
            if (std::find(e.columns.begin(), e.columns.end(), col) == e.columns.end()) e.columns.push_back(col);
        }
        e.tokens.push_back(t);
        expectOperand = false;
        i = end;
    }
    if (expectOperand) return {};
    while (!ops.empty()) {
        if (ops.back() == '(') return {};
        popOp();
    }
    e.ok = true;
    return e;
}

template <typename Get>
double Expression::eval(Get&& operand) const {
    double stack[64];
    size_t sp = 0;
    for (const Token& t : tokens) {
        switch (t.kind) {
        case Token::Number:
            if (sp < 64) stack[sp++] = t.value;
            break;
        case Token::Column:
            if (sp < 64) stack[sp++] = operand(t.column);
            break;
        case Token::Neg:
            if (sp >= 1) stack[sp - 1] = -stack[sp - 1];
            break;
        case Token::Op: {
            if (sp < 2) return kNull;
            double b = stack[--sp], a = stack[sp - 1], r;
            switch (t.op) {
            case '+': r = a + b; break;
            case '-': r = a - b; break;
            case '*': r = a * b; break;
            default: r = b == 0 ? kNull : a / b; break;
            }
            stack[sp - 1] = r;
            break;
        }
        }
    }
    return sp == 1 ? stack[0] : kNull;
}

// ---------------------------------------------------------------------------------------------
// Items

std::string itemText(double v, const FieldDef& f) { return formatNumber(v, f.numberFormat); }

namespace {

// How a field reads its values: a column, a computed expression, or nothing (all NULL).
struct Binding {
    int column = -1;
    Expression expr;
};

Binding bind(const FieldDef& f, const ColumnStore& store) {
    Binding b;
    b.column = store.find(f.name);
    if (b.column < 0 && f.name.find_first_of("+-*/") != std::string::npos) b.expr = Expression::parse(f.name, store);
    return b;
}

std::shared_ptr<Buffer<double>> computedValues(const Expression& e, const ColumnStore& store, const Parallel& par) {
    auto v = std::make_shared<Buffer<double>>(store.rowCount());
    for (int c : e.columns) store.column(size_t(c)).dictNumbers();  // parsed once, before the threads
    inParts(v->size(), par.partsFor(v->size()), [&](unsigned, size_t b, size_t end) {
        for (size_t r = b; r < end; ++r) (*v)[r] = e.eval([&](int c) { return store.column(size_t(c)).number(r); });
    });
    return v;
}

}  // namespace

std::string Axis::headingText(const Line& line, int level) const {
    const Node& n = nodes[size_t(line.node)];
    if (line.kind == LineKind::Total) return level == 0 ? "Gesamtergebnis" : "";
    if (level < 0 || level > n.level) return {};
    std::string t = items[size_t(level)][n.path[size_t(level)]].text;
    if (line.kind == LineKind::Subtotal && level == n.level) t += " Ergebnis";
    return t;
}

// ---------------------------------------------------------------------------------------------
// The pivot

void Pivot::setData(std::shared_ptr<const ColumnStore> store) {
    store_ = std::move(store);
    dims_.clear();
}

std::shared_ptr<const Dimension> Pivot::dimension(const FieldDef& f) {
    std::string key = f.name + '\x1f' + f.numberFormat;
    auto it = dims_.find(key);
    if (it != dims_.end()) return it->second;
    static const ColumnStore empty;
    const ColumnStore& store = store_ ? *store_ : empty;
    size_t rows = store.rowCount();
    std::shared_ptr<Dimension> d;
    Binding b = bind(f, store);
    if (b.column >= 0) {
        const Column& c = store.column(size_t(b.column));
        d = c.numeric ? numericDimension(c.num.data(), rows, f, par_) : textDimension(c, rows, par_);
    } else if (b.expr.ok) {
        d = numericDimension(computedValues(b.expr, store, par_)->data(), rows, f, par_);
    } else {
        d = std::make_shared<Dimension>();
        d->items.push_back({kNullItem, true});
        d->rowItem.assign(rows, 0);
    }
    dims_[key] = d;
    return d;
}

namespace {

void buildNodes(Axis& axis, const AxisLeaves& leaves, int parent, int level, uint32_t first, uint32_t end) {
    int depth = int(axis.fields.size());
    uint32_t i = first;
    while (i < end) {
        uint32_t item = leaves.path(i)[level];
        uint32_t j = i;
        while (j < end && leaves.path(j)[level] == item) ++j;
        Axis::Node n;
        n.level = level;
        n.path.assign(leaves.path(i), leaves.path(i) + level + 1);
        n.firstLeaf = i;
        n.endLeaf = j;
        int id = int(axis.nodes.size());
        axis.nodes.push_back(std::move(n));
        axis.nodes[size_t(parent)].children.push_back(id);
        if (level + 1 < depth)
            buildNodes(axis, leaves, id, level + 1, i, j);
        else
            axis.leafNode[i] = id;  // the full path is one leaf
        i = j;
    }
}

}  // namespace

std::string itemPath(const Axis& axis, const Axis::Node& node, int level) {
    std::string key;
    for (int l = 0; l <= level && l <= node.level; ++l) {
        if (l > 0) key += '\x1f';
        key += axis.items[size_t(l)][node.path[size_t(l)]].text;
    }
    return key;
}

namespace {

void emitLines(Axis& axis, const std::vector<FieldDef>& fields, int node) {
    const Axis::Node& n = axis.nodes[size_t(node)];
    int depth = int(axis.fields.size());
    if (n.level == depth - 1) {
        axis.lines.push_back({node, LineKind::Item});
        return;
    }
    const FieldDef& f = fields[size_t(axis.fields[size_t(n.level)])];
    const bool toggled = !f.toggledItems.empty() && f.toggledItems.count(itemPath(axis, n, n.level)) != 0;
    if (f.showDetail == toggled) {
        axis.lines.push_back({node, LineKind::Collapsed});
        return;
    }
    for (int c : n.children) emitLines(axis, fields, c);
    if (f.footerVisible) axis.lines.push_back({node, LineKind::Subtotal});
}

void buildAxis(Axis& axis, const std::vector<FieldDef>& fields,
               const std::vector<std::shared_ptr<const Dimension>>& dims, const AxisLeaves& leaves) {
    for (auto& d : dims) axis.items.push_back(d->items);
    axis.nodes.clear();
    axis.nodes.push_back({});
    uint32_t count = uint32_t(leaves.count);
    axis.nodes[0].endLeaf = count;
    axis.leafNode.assign(count, 0);
    if (!axis.fields.empty()) {
        buildNodes(axis, leaves, 0, 0, 0, count);
        for (int c : axis.nodes[0].children) emitLines(axis, fields, c);
    }
    axis.lines.push_back({0, LineKind::Total});
}

}  // namespace

std::shared_ptr<const PivotTable> Pivot::compute(const std::vector<FieldDef>& fields) {
    auto t = std::make_shared<PivotTable>();
    t->fields_ = fields;
    static const ColumnStore empty;
    const ColumnStore& store = store_ ? *store_ : empty;
    const size_t rows = store.rowCount();

    auto area = [&](int orientation) {
        std::vector<int> idx;
        for (size_t i = 0; i < fields.size(); ++i)
            if (fields[i].orientation == orientation) idx.push_back(int(i));
        std::stable_sort(idx.begin(), idx.end(),
                         [&](int a, int b) { return fields[size_t(a)].position < fields[size_t(b)].position; });
        return idx;
    };
    t->rows_.fields = area(RowArea);
    t->cols_.fields = area(ColumnArea);
    t->data_ = area(DataArea);

    // Filters of every field but the data fields.
    std::vector<uint8_t> include;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        if (f.orientation == DataArea || f.hiddenItems.empty()) continue;
        auto d = dimension(f);
        std::vector<uint8_t> hidden(d->items.size(), 0);
        bool any = false;
        for (size_t k = 0; k < d->items.size(); ++k)
            if (f.hiddenItems.count(d->items[k].text)) hidden[k] = 1, any = true;
        if (!any) continue;
        if (include.empty()) include.assign(rows, 1);
        inParts(rows, par_.partsFor(rows), [&](unsigned, size_t b, size_t e) {
            for (size_t r = b; r < e; ++r)
                if (hidden[d->rowItem[r]]) include[r] = 0;
        });
    }

    std::vector<std::shared_ptr<const Dimension>> rowDims, colDims;
    for (int i : t->rows_.fields) rowDims.push_back(dimension(fields[size_t(i)]));
    for (int i : t->cols_.fields) colDims.push_back(dimension(fields[size_t(i)]));

    // What the cells hold: per distinct source only what its fields' aggregates need; a ratio
    // field needs the sums of its operand columns only.
    CellLayout& layout = t->layout_;
    auto columnBundle = [&](int col, bool countOnly, uint8_t need) {
        const Column& c = store.column(size_t(col));
        Source s;
        if (c.numeric) {
            s.kind = Source::Number;
            s.num = c.num.data();
            countOnly = false;
        } else {
            s.kind = countOnly ? Source::Present : Source::Text;
            s.code = c.code.data();
            if (!countOnly) s.dictNum = c.dictNumbers().data();
        }
        return layout.bundle((countOnly ? "p" : "c") + std::to_string(col), std::move(s), need);
    };
    for (int fi : t->data_) {
        const FieldDef& f = fields[size_t(fi)];
        Binding b = bind(f, store);
        bool ratio = b.column < 0 && b.expr.ok && f.footerType == FooterRatio;
        t->ratio_.push_back(ratio ? b.expr : Expression{});
        std::vector<int> operands;
        int bundle = -1;
        if (ratio) {
            for (int col : b.expr.columns) operands.push_back(columnBundle(col, false, NeedSum));
        } else if (b.column >= 0) {
            // A count counts any value, text or number.
            bundle = columnBundle(b.column, f.aggregate == Count, needOf(f.aggregate));
        } else if (b.expr.ok) {
            Source s;
            s.kind = Source::Values;
            s.values = computedValues(b.expr, store, par_);
            s.vals = s.values->data();
            bundle = layout.bundle("e" + f.name, std::move(s), needOf(f.aggregate));
        }
        t->fieldBundle_.push_back(bundle);
        t->ratioBundle_.push_back(std::move(operands));
    }
    layout.finish();

    // Raw rows into the leaf cells, then every group merged from the groups below it.
    Grouping g;
    for (auto& d : rowDims) g.rowDims.push_back(d.get());
    for (auto& d : colDims) g.colDims.push_back(d.get());
    g.include = &include;
    g.rows = rows;
    Gathered leaves = gatherRows(g, layout, par_, denseCells_);
    buildAxis(t->rows_, fields, rowDims, leaves.rows);
    buildAxis(t->cols_, fields, colDims, leaves.cols);
    t->cells_ = buildCells(t->rows_, t->cols_, leaves, layout, par_);
    layout.dropSources();
    return t;
}

void Pivot::setParallel(unsigned threads, size_t minRowsPerThread, size_t denseCells) {
    par_.threads = threads;
    par_.minRowsPerThread = std::max<size_t>(1, minRowsPerThread);
    denseCells_ = denseCells;
    dims_.clear();
}

// ---------------------------------------------------------------------------------------------
// Reading the table

std::string PivotTable::columnHeading(size_t col, int level) const {
    int fieldLevels = int(cols_.fields.size());
    if (level < fieldLevels) return cols_.headingText(columnLine(col), level);
    int d = dataFieldOf(col);
    if (d < 0 || level != fieldLevels) return {};
    const FieldDef& f = fields_[size_t(d)];
    return f.caption.empty() ? f.name : f.caption;
}

std::string PivotTable::rowHeading(size_t line, int level) const { return rows_.headingText(rows_.lines[line], level); }

std::optional<double> PivotTable::value(size_t line, size_t col) const {
    int d = dataFieldOf(col);
    if (d < 0 || line >= lineCount() || col >= columnCount()) return std::nullopt;
    size_t j = col % dataSpan();
    const double* cell = cells_.find(rows_.lines[line].node, columnLine(col).node);
    if (!cell) return std::nullopt;
    if (ratio_[j].ok) {
        // "DB %" and the like: in every cell the ratio of the sums over its rows, not an aggregate
        // of row ratios, so that a cell and its subtotal over the same rows agree.
        const auto& cols = ratio_[j].columns;
        double v = ratio_[j].eval([&](int c) {
            size_t k = size_t(std::find(cols.begin(), cols.end(), c) - cols.begin());
            return layout_.sum(cell, ratioBundle_[j][k]);
        });
        if (isNull(v) || std::isinf(v)) return std::nullopt;
        return v;
    }
    return layout_.aggregate(cell, fieldBundle_[j], fields_[size_t(d)].aggregate);
}

std::string PivotTable::text(size_t line, size_t col) const {
    auto v = value(line, col);
    if (!v) return {};
    int d = dataFieldOf(col);
    return formatNumber(*v, fields_[size_t(d)].numberFormat);
}

bool headingShown(const PivotTable& table, size_t line, int level) {
    const auto& rows = table.rows();
    const auto& l = rows.lines[line];
    int lineLevel = l.kind == LineKind::Total ? 0 : rows.nodes[size_t(l.node)].level;
    if (level == lineLevel || line == 0) return true;
    const auto& prev = rows.lines[line - 1];
    if (prev.kind == LineKind::Total ||
        (prev.kind == LineKind::Subtotal && rows.nodes[size_t(prev.node)].level <= level))
        return true;
    for (int k = 0; k <= level; ++k)
        if (table.rowHeading(line, k) != table.rowHeading(line - 1, k)) return true;
    return false;
}

}  // namespace pivot
