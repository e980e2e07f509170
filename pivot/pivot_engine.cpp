#include "pivot/pivot_engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <stdexcept>
#include <unordered_map>

#include "pivot/number_format.h"

namespace pivot {

// ---------------------------------------------------------------------------------------------
// Aggregates

void Acc::add(double v) {
    rows += 1;
    if (isNull(v)) return;
    n += 1;
    sum += v;
    double delta = v - mean;
    mean += delta / n;
    m2 += delta * (v - mean);
    if (n == 1) {
        min = max = v;
    } else {
        if (v < min) min = v;
        if (v > max) max = v;
    }
}

void Acc::merge(const Acc& o) {
    if (o.rows == 0) return;
    rows += o.rows;
    if (o.n == 0) return;
    if (n == 0) {
        n = o.n;
        sum = o.sum;
        mean = o.mean;
        m2 = o.m2;
        min = o.min;
        max = o.max;
        return;
    }
    double total = n + o.n;
    double delta = o.mean - mean;
    mean += delta * o.n / total;
    m2 += o.m2 + delta * delta * n * o.n / total;
    sum += o.sum;
    min = std::min(min, o.min);
    max = std::max(max, o.max);
    n = total;
}

std::optional<double> aggregateOf(const Acc& a, int aggregate) {
    if (a.rows == 0) return std::nullopt;
    switch (aggregate) {
    case Count: return a.n;
    case Sum:
        if (a.n > 0) return a.sum;
        break;
    case Average:
        if (a.n > 0) return a.sum / a.n;
        break;
    case Max:
        if (a.n > 0) return a.max;
        break;
    case Min:
        if (a.n > 0) return a.min;
        break;
    // Sample statistics need two values; the population ones one.
    case StDev:
        if (a.n > 1) return std::sqrt(std::max(0.0, a.m2 / (a.n - 1)));
        break;
    case StDevP:
        if (a.n > 0) return std::sqrt(std::max(0.0, a.m2 / a.n));
        break;
    case Var:
        if (a.n > 1) return std::max(0.0, a.m2 / (a.n - 1));
        break;
    case VarP:
        if (a.n > 0) return std::max(0.0, a.m2 / a.n);
        break;
    default: break;
    }
    return std::nullopt;
}

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

std::vector<double> computedValues(const Expression& e, const ColumnStore& store) {
    std::vector<double> v(store.rowCount());
    for (size_t r = 0; r < v.size(); ++r) v[r] = e.eval([&](int c) { return store.column(size_t(c)).number(r); });
    return v;
}

std::shared_ptr<Dimension> numericDimension(const std::vector<double>& values, const double* direct, size_t rows,
                                            const FieldDef& f) {
    auto d = std::make_shared<Dimension>();
    const double* v = direct ? direct : values.data();
    std::unordered_map<uint64_t, uint32_t> seen;
    std::vector<double> distinct;
    std::vector<uint32_t> first(rows);
    bool hasNull = false;
    for (size_t r = 0; r < rows; ++r) {
        double x = v[r];
        if (isNull(x)) {
            hasNull = true;
            first[r] = UINT32_MAX;
            continue;
        }
        if (x == 0) x = 0;  // -0 and 0 are one item
        uint64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        auto [it, fresh] = seen.emplace(bits, uint32_t(distinct.size()));
        if (fresh) distinct.push_back(x);
        first[r] = it->second;
    }
    std::vector<uint32_t> order(distinct.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return distinct[a] < distinct[b]; });
    uint32_t base = hasNull ? 1 : 0;
    std::vector<uint32_t> rank(distinct.size());
    if (hasNull) d->items.push_back({kNullItem, true});
    for (uint32_t i = 0; i < order.size(); ++i) {
        rank[order[i]] = base + i;
        d->items.push_back({itemText(distinct[order[i]], f), false, distinct[order[i]]});
    }
    d->rowItem.resize(rows);
    for (size_t r = 0; r < rows; ++r) d->rowItem[r] = first[r] == UINT32_MAX ? 0 : rank[first[r]];
    return d;
}

std::shared_ptr<Dimension> textDimension(const Column& c, size_t rows) {
    auto d = std::make_shared<Dimension>();
    std::vector<bool> used(c.dict.size(), false);
    for (size_t r = 0; r < rows; ++r) used[c.code[r]] = true;
    std::vector<uint32_t> order;
    for (uint32_t i = 1; i < c.dict.size(); ++i)
        if (used[i]) order.push_back(i);
    // Text that is all numbers (a year the driver hands as text) sorts as numbers.
    const auto& nums = c.dictNumbers();
    bool allNumbers = std::all_of(order.begin(), order.end(), [&](uint32_t i) { return !isNull(nums[i]); });
    if (allNumbers)
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return nums[a] != nums[b] ? nums[a] < nums[b] : compareGerman(c.dict[a], c.dict[b]) < 0;
        });
    else
        std::sort(order.begin(), order.end(),
                  [&](uint32_t a, uint32_t b) { return compareGerman(c.dict[a], c.dict[b]) < 0; });
    std::vector<uint32_t> rank(c.dict.size(), 0);
    uint32_t base = used[0] ? 1 : 0;
    if (used[0]) d->items.push_back({kNullItem, true});
    for (uint32_t i = 0; i < order.size(); ++i) {
        rank[order[i]] = base + i;
        d->items.push_back({c.dict[order[i]], false});
    }
    d->rowItem.resize(rows);
    for (size_t r = 0; r < rows; ++r) d->rowItem[r] = rank[c.code[r]];
    return d;
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
        d = c.numeric ? numericDimension({}, c.num.data(), rows, f) : textDimension(c, rows);
    } else if (b.expr.ok) {
        d = numericDimension(computedValues(b.expr, store), nullptr, rows, f);
    } else {
        d = std::make_shared<Dimension>();
        d->items.push_back({kNullItem, true});
        d->rowItem.assign(rows, 0);
    }
    dims_[key] = d;
    return d;
}

namespace {

// The leaves of one axis: each included row's combination of items, numbered in sorted order.
struct Leaves {
    std::vector<uint32_t> rowLeaf;             // per raw row (UINT32_MAX: filtered out)
    std::vector<std::vector<uint32_t>> paths;  // per leaf, item per level
};

Leaves makeLeaves(const std::vector<std::shared_ptr<const Dimension>>& dims, const std::vector<uint8_t>& include,
                  size_t rows) {
    Leaves out;
    out.rowLeaf.assign(rows, UINT32_MAX);
    std::vector<uint64_t> radix(dims.size());
    uint64_t space = 1;
    bool dense = true;
    for (size_t l = dims.size(); l-- > 0;) {
        radix[l] = space;
        uint64_t n = std::max<uint64_t>(1, dims[l]->items.size());
        if (space > (uint64_t(1) << 40) / n) dense = false;
        space *= n;
    }
    dense = dense && space <= (uint64_t(1) << 22);
    auto keyOf = [&](size_t r) {
        uint64_t k = 0;
        for (size_t l = 0; l < dims.size(); ++l) k += dims[l]->rowItem[r] * radix[l];
        return k;
    };
    auto pathOf = [&](uint64_t k) {
        std::vector<uint32_t> p(dims.size());
        for (size_t l = 0; l < dims.size(); ++l) {
            p[l] = uint32_t(k / radix[l]);
            k %= radix[l];
        }
        return p;
    };
    if (dense) {
        std::vector<int32_t> slot(space, -1);
        for (size_t r = 0; r < rows; ++r)
            if (include.empty() || include[r]) slot[keyOf(r)] = 0;
        uint32_t next = 0;
        for (uint64_t k = 0; k < space; ++k)
            if (slot[k] == 0) {
                slot[k] = int32_t(next++);
                out.paths.push_back(pathOf(k));
            }
        for (size_t r = 0; r < rows; ++r)
            if (include.empty() || include[r]) out.rowLeaf[r] = uint32_t(slot[keyOf(r)]);
    } else {
        // Item combinations too many for a table: the keys themselves, sorted (the radix keeps
        // every level's order, as no combination overflows 64 bits with four levels or fewer).
        std::vector<std::vector<uint32_t>> keyRows;
        std::map<std::vector<uint32_t>, uint32_t> ids;
        for (size_t r = 0; r < rows; ++r) {
            if (!include.empty() && !include[r]) continue;
            std::vector<uint32_t> p(dims.size());
            for (size_t l = 0; l < dims.size(); ++l) p[l] = dims[l]->rowItem[r];
            ids.emplace(std::move(p), 0);
        }
        uint32_t next = 0;
        for (auto& [p, id] : ids) {
            id = next++;
            out.paths.push_back(p);
        }
        std::vector<uint32_t> p(dims.size());
        for (size_t r = 0; r < rows; ++r) {
            if (!include.empty() && !include[r]) continue;
            for (size_t l = 0; l < dims.size(); ++l) p[l] = dims[l]->rowItem[r];
            out.rowLeaf[r] = ids[p];
        }
    }
    return out;
}

void buildNodes(Axis& axis, const Leaves& leaves, int parent, int level, uint32_t first, uint32_t end) {
    int depth = int(axis.fields.size());
    uint32_t i = first;
    while (i < end) {
        uint32_t item = leaves.paths[i][size_t(level)];
        uint32_t j = i;
        while (j < end && leaves.paths[j][size_t(level)] == item) ++j;
        Axis::Node n;
        n.level = level;
        n.path.assign(leaves.paths[i].begin(), leaves.paths[i].begin() + level + 1);
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
               const std::vector<std::shared_ptr<const Dimension>>& dims, const Leaves& leaves) {
    for (auto& d : dims) axis.items.push_back(d->items);
    axis.nodes.clear();
    axis.nodes.push_back({});
    uint32_t count = uint32_t(leaves.paths.size());
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
        for (size_t r = 0; r < rows; ++r)
            if (hidden[d->rowItem[r]]) include[r] = 0;
    }

    std::vector<std::shared_ptr<const Dimension>> rowDims, colDims;
    for (int i : t->rows_.fields) rowDims.push_back(dimension(fields[size_t(i)]));
    for (int i : t->cols_.fields) colDims.push_back(dimension(fields[size_t(i)]));
    Leaves rowLeaves = makeLeaves(rowDims, include, rows);
    Leaves colLeaves = makeLeaves(colDims, include, rows);
    buildAxis(t->rows_, fields, rowDims, rowLeaves);
    buildAxis(t->cols_, fields, colDims, colLeaves);

    // Measures: one per data field, then the operand sums of the footer ratios.
    struct Source {
        const double* num = nullptr;
        const uint32_t* code = nullptr;
        const double* dictNum = nullptr;
        std::vector<double> values;
        double at(size_t r) const {
            return num ? num[r] : code ? dictNum[code[r]] : values.empty() ? kNull : values[r];
        }
    };
    std::vector<Source> sources;
    auto columnSource = [&](int col) {
        Source s;
        const Column& c = store.column(size_t(col));
        if (c.numeric)
            s.num = c.num.data();
        else
            s.code = c.code.data(), s.dictNum = c.dictNumbers().data();
        return s;
    };
    for (int fi : t->data_) {
        const FieldDef& f = fields[size_t(fi)];
        Binding b = bind(f, store);
        Source s;
        if (b.column >= 0)
            s = columnSource(b.column);
        else if (b.expr.ok)
            s.values = computedValues(b.expr, store);
        sources.push_back(std::move(s));
        t->measures_.push_back({fi, -1});
        t->ratio_.push_back(b.column < 0 && b.expr.ok && f.footerType == FooterRatio ? b.expr : Expression{});
    }
    for (size_t j = 0; j < t->data_.size(); ++j) {
        std::vector<int> ms;
        for (int col : t->ratio_[j].columns) {
            int found = -1;
            for (size_t m = t->data_.size(); m < t->measures_.size(); ++m)
                if (t->measures_[m].column == col) found = int(m);
            if (found < 0) {
                found = int(t->measures_.size());
                t->measures_.push_back({-1, col});
                sources.push_back(columnSource(col));
            }
            ms.push_back(found);
        }
        t->ratioMeasure_.push_back(std::move(ms));
    }

    // Raw rows into the leaf cells, then every group merged from its children, rows then columns.
    const size_t M = t->measures_.size();
    const size_t rowNodes = t->rows_.nodes.size(), colNodes = t->cols_.nodes.size();
    t->colNodes_ = colNodes;
    // Every row group times every column group is held; beyond this the table is refused
    // rather than the memory exhausted.
    constexpr size_t kMaxCells = size_t(24) << 20;
    if (rowNodes * colNodes * std::max<size_t>(M, 1) > kMaxCells) throw std::length_error("zu viele Zellen");
    t->cells_.assign(rowNodes * colNodes * std::max<size_t>(M, 1), Acc{});
    if (M == 0) {
        // No data fields: the cells still know whether rows fall in them.
        t->measures_.push_back({-1, -1});
        sources.emplace_back();
    }
    const size_t MM = t->measures_.size();
    for (size_t r = 0; r < rows; ++r) {
        uint32_t rl = rowLeaves.rowLeaf[r], cl = colLeaves.rowLeaf[r];
        if (rl == UINT32_MAX || cl == UINT32_MAX) continue;
        Acc* cell = &t->cells_[(size_t(t->rows_.leafNode[rl]) * colNodes + size_t(t->cols_.leafNode[cl])) * MM];
        for (size_t m = 0; m < MM; ++m) cell[m].add(sources[m].at(r));
    }
    auto at = [&](size_t rn, size_t cn) { return &t->cells_[(rn * colNodes + cn) * MM]; };
    // Nodes are numbered parents first, so a backward walk meets every child before its parent.
    for (size_t rn = rowNodes; rn-- > 0;) {
        for (int child : t->rows_.nodes[rn].children)
            for (size_t cl = 0; cl < t->cols_.leafNode.size(); ++cl) {
                size_t cn = size_t(t->cols_.leafNode[cl]);
                Acc* dst = at(rn, cn);
                const Acc* src = at(size_t(child), cn);
                for (size_t m = 0; m < MM; ++m) dst[m].merge(src[m]);
            }
    }
    for (size_t rn = 0; rn < rowNodes; ++rn)
        for (size_t cn = colNodes; cn-- > 0;)
            for (int child : t->cols_.nodes[cn].children) {
                Acc* dst = at(rn, cn);
                const Acc* src = at(rn, size_t(child));
                for (size_t m = 0; m < MM; ++m) dst[m].merge(src[m]);
            }
    return t;
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
    int rn = rows_.lines[line].node, cn = columnLine(col).node;
    const Acc& a = acc(rn, cn, j);
    if (a.rows == 0) return std::nullopt;
    bool footer =
        rows_.lines[line].kind != LineKind::Item || (!cols_.fields.empty() && columnLine(col).kind != LineKind::Item);
    if (footer && ratio_[j].ok) {
        // "DB %" and the like: the ratio of the footer's sums, not an aggregate of row ratios.
        const auto& cols = ratio_[j].columns;
        double v = ratio_[j].eval([&](int c) {
            size_t k = size_t(std::find(cols.begin(), cols.end(), c) - cols.begin());
            const Acc& op = acc(rn, cn, size_t(ratioMeasure_[j][k]));
            return op.n > 0 ? op.sum : kNull;
        });
        if (isNull(v) || std::isinf(v)) return std::nullopt;
        return v;
    }
    return aggregateOf(a, fields_[size_t(d)].aggregate);
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
