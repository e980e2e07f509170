#include "pivot/pivot_cells.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "pivot/pivot_engine.h"

namespace pivot {

namespace {

constexpr uint32_t kOut = UINT32_MAX;  // a row the filters leave out

bool included(const Grouping& g, size_t r) { return !g.include || g.include->empty() || (*g.include)[r]; }

// Item combinations numbered by mixed radix, outer level most significant, so that the
// numbers sort as the items do.
struct Radix {
    std::vector<const uint32_t*> item;
    std::vector<uint64_t> radix;
    uint64_t space = 1;
    bool fits = true;
    explicit Radix(const std::vector<const Dimension*>& dims) : item(dims.size()), radix(dims.size()) {
        for (size_t l = dims.size(); l-- > 0;) {
            item[l] = dims[l]->rowItem.data();
            radix[l] = space;
            uint64_t n = std::max<size_t>(1, dims[l]->items.size());
            if (space > (uint64_t(1) << 62) / n) fits = false;
            space *= fits ? n : 1;
        }
    }
    uint64_t key(size_t r) const {
        uint64_t k = 0;
        for (size_t l = 0; l < item.size(); ++l) k += item[l][r] * radix[l];
        return k;
    }
    void decode(uint64_t k, std::vector<uint32_t>& out) const {
        for (size_t l = 0; l < radix.size(); ++l) {
            out.push_back(uint32_t(k / radix[l]));
            k %= radix[l];
        }
    }
};

LeafCells denseLeaves(const Grouping& g, const Radix& rr, const Radix& cr, const CellLayout& layout,
                      const Parallel& par) {
    const size_t S = layout.width();
    const uint64_t space = rr.space * cr.space, cs = cr.space;
    unsigned parts = par.partsFor(g.rows);
    std::vector<std::vector<double>> acc(parts);
    inParts(g.rows, parts, [&](unsigned p, size_t b, size_t e) {
        acc[p].assign(space * S, 0.0);
        double* a = acc[p].data();
        for (size_t r = b; r < e; ++r)
            if (included(g, r)) layout.add(a + (rr.key(r) * cs + cr.key(r)) * S, r);
    });
    double* a = acc[0].data();
    inParts(space, parts, [&](unsigned, size_t b, size_t e) {
        for (size_t t = 1; t < acc.size(); ++t)
            for (size_t k = b; k < e; ++k)
                if (acc[t][k * S] != 0) layout.merge(a + k * S, acc[t].data() + k * S);
    });
    for (size_t t = 1; t < acc.size(); ++t) std::vector<double>().swap(acc[t]);

    LeafCells out;
    out.rows.depth = rr.item.size();
    out.cols.depth = cr.item.size();
    std::vector<uint32_t> colLeaf(cs, kOut);
    for (uint64_t k = 0; k < space; ++k)
        if (a[k * S] != 0) colLeaf[k % cs] = 0;
    for (uint64_t c = 0; c < cs; ++c)
        if (colLeaf[c] != kOut) {
            colLeaf[c] = uint32_t(out.cols.count++);
            cr.decode(c, out.cols.paths);
        }
    uint64_t lastRow = UINT64_MAX;
    for (uint64_t k = 0; k < space; ++k) {
        if (a[k * S] == 0) continue;
        uint64_t rk = k / cs;
        if (rk != lastRow) {
            out.rowBegin.push_back(out.col.size());
            rr.decode(rk, out.rows.paths);
            ++out.rows.count;
            lastRow = rk;
        }
        out.col.push_back(colLeaf[k % cs]);
        out.values.insert(out.values.end(), a + k * S, a + (k + 1) * S);
    }
    out.rowBegin.push_back(out.col.size());
    return out;
}

// Each raw row's leaf on one axis, built a level at a time: the leaf of the outer levels times
// the next item, renumbered in order, so no combination of many items overflows.
AxisLeaves axisLeaves(const std::vector<const Dimension*>& dims, const Grouping& g, const Parallel& par,
                      std::vector<uint32_t>& leafOf) {
    AxisLeaves out;
    out.depth = dims.size();
    unsigned parts = par.partsFor(g.rows);
    leafOf.assign(g.rows, 0);
    std::atomic<bool> any{false};
    inParts(g.rows, parts, [&](unsigned, size_t b, size_t e) {
        bool some = false;
        for (size_t r = b; r < e; ++r)
            if (included(g, r))
                some = true;
            else
                leafOf[r] = kOut;
        if (some) any = true;
    });
    if (!any) return out;
    size_t count = 1;
    std::vector<uint32_t> paths;
    for (size_t l = 0; l < dims.size(); ++l) {
        const uint32_t* item = dims[l]->rowItem.data();
        const uint64_t n = std::max<size_t>(1, dims[l]->items.size());
        const uint64_t space = count * n;
        std::vector<uint64_t> used;  // the keys rows fall in, ascending
        if (space <= (uint64_t(1) << 24)) {
            std::vector<uint32_t> table(space, 0);
            inParts(g.rows, parts, [&](unsigned, size_t b, size_t e) {
                for (size_t r = b; r < e; ++r)
                    if (leafOf[r] != kOut)
                        std::atomic_ref<uint32_t>(table[leafOf[r] * n + item[r]]).store(1, std::memory_order_relaxed);
            });
            for (uint64_t k = 0; k < space; ++k)
                if (table[k]) {
                    used.push_back(k);
                    table[k] = uint32_t(used.size() - 1);
                }
            inParts(g.rows, parts, [&](unsigned, size_t b, size_t e) {
                for (size_t r = b; r < e; ++r)
                    if (leafOf[r] != kOut) leafOf[r] = table[leafOf[r] * n + item[r]];
            });
        } else {
            std::vector<std::vector<uint64_t>> keys(parts);
            inParts(g.rows, parts, [&](unsigned p, size_t b, size_t e) {
                for (size_t r = b; r < e; ++r)
                    if (leafOf[r] != kOut) keys[p].push_back(leafOf[r] * n + item[r]);
                std::sort(keys[p].begin(), keys[p].end());
                keys[p].erase(std::unique(keys[p].begin(), keys[p].end()), keys[p].end());
            });
            for (auto& k : keys) used.insert(used.end(), k.begin(), k.end());
            std::sort(used.begin(), used.end());
            used.erase(std::unique(used.begin(), used.end()), used.end());
            inParts(g.rows, parts, [&](unsigned, size_t b, size_t e) {
                for (size_t r = b; r < e; ++r)
                    if (leafOf[r] != kOut)
                        leafOf[r] = uint32_t(std::lower_bound(used.begin(), used.end(), leafOf[r] * n + item[r]) -
                                             used.begin());
            });
        }
        std::vector<uint32_t> next;
        next.reserve(used.size() * (l + 1));
        for (uint64_t k : used) {
            const uint32_t* parent = paths.data() + (k / n) * l;
            next.insert(next.end(), parent, parent + l);
            next.push_back(uint32_t(k % n));
        }
        paths = std::move(next);
        count = used.size();
    }
    out.count = count;
    out.paths = std::move(paths);
    return out;
}

// The cells of one group: merged in place over the column groups, then given out ascending.
class Scratch {
public:
    Scratch(size_t groups, const CellLayout& layout)
        : layout_(layout), S_(layout.width()), acc_(groups * S_), seen_(groups, 0) {}
    void merge(uint32_t group, const double* src) {
        double* d = acc_.data() + size_t(group) * S_;
        if (!seen_[group]) {
            seen_[group] = 1;
            touched_.push_back(group);
            std::memcpy(d, src, S_ * sizeof(double));
        } else {
            layout_.merge(d, src);
        }
    }
    void add(uint32_t group, size_t row) {
        double* d = acc_.data() + size_t(group) * S_;
        if (!seen_[group]) {
            seen_[group] = 1;
            touched_.push_back(group);
            std::fill(d, d + S_, 0.0);
        }
        layout_.add(d, row);
    }
    size_t flush(std::vector<uint32_t>& col, std::vector<double>& values) {
        size_t n = touched_.size();
        if (n * 8 > seen_.size()) {
            touched_.clear();
            for (uint32_t c = 0; c < seen_.size(); ++c)
                if (seen_[c]) touched_.push_back(c);
        } else {
            std::sort(touched_.begin(), touched_.end());
        }
        for (uint32_t c : touched_) {
            col.push_back(c);
            const double* s = acc_.data() + size_t(c) * S_;
            values.insert(values.end(), s, s + S_);
            seen_[c] = 0;
        }
        touched_.clear();
        return n;
    }

private:
    const CellLayout& layout_;
    size_t S_;
    std::vector<double> acc_;
    std::vector<uint8_t> seen_;
    std::vector<uint32_t> touched_;
};

LeafCells sortedLeaves(const Grouping& g, const CellLayout& layout, const Parallel& par) {
    LeafCells out;
    std::vector<uint32_t> rowLeaf, colLeaf;
    out.rows = axisLeaves(g.rowDims, g, par, rowLeaf);
    out.cols = axisLeaves(g.colDims, g, par, colLeaf);
    const size_t L = out.rows.count;
    unsigned parts = par.partsFor(g.rows);
    // The rows in order of their row leaf: counted per range, then placed.
    std::vector<std::vector<uint64_t>> at(parts);
    inParts(g.rows, parts, [&](unsigned p, size_t b, size_t e) {
        at[p].assign(L, 0);
        for (size_t r = b; r < e; ++r)
            if (rowLeaf[r] != kOut) ++at[p][rowLeaf[r]];
    });
    std::vector<uint64_t> start(L + 1, 0);
    uint64_t pos = 0;
    for (size_t l = 0; l < L; ++l) {
        start[l] = pos;
        for (unsigned p = 0; p < parts; ++p) {
            uint64_t c = at[p][l];
            at[p][l] = pos;
            pos += c;
        }
    }
    start[L] = pos;
    std::vector<uint32_t> order(pos);
    inParts(g.rows, parts, [&](unsigned p, size_t b, size_t e) {
        for (size_t r = b; r < e; ++r)
            if (rowLeaf[r] != kOut) order[at[p][rowLeaf[r]]++] = uint32_t(r);
    });
    at.clear();
    std::vector<uint32_t>().swap(rowLeaf);

    // Row leaves split into ranges of about equal rows, each gathered over the column leaves.
    std::vector<size_t> cut(parts + 1, L);
    cut[0] = 0;
    for (unsigned p = 1; p < parts; ++p)
        cut[p] = size_t(std::lower_bound(start.begin(), start.end(), pos * p / parts) - start.begin());
    struct Part {
        std::vector<uint32_t> col;
        std::vector<double> values;
        std::vector<uint64_t> cells;  // per row leaf
    };
    std::vector<Part> part(parts);
    inParts(parts, parts, [&](unsigned p, size_t, size_t) {
        Scratch sc(out.cols.count, layout);
        Part& o = part[p];
        for (size_t l = cut[p]; l < cut[p + 1]; ++l) {
            for (uint64_t i = start[l]; i < start[l + 1]; ++i) sc.add(colLeaf[order[i]], order[i]);
            o.cells.push_back(sc.flush(o.col, o.values));
        }
    });
    out.rowBegin.reserve(L + 1);
    uint64_t run = 0;
    for (auto& o : part)
        for (uint64_t c : o.cells) {
            out.rowBegin.push_back(run);
            run += c;
        }
    out.rowBegin.push_back(run);
    out.col.reserve(run);
    out.values.reserve(run * layout.width());
    for (auto& o : part) {
        out.col.insert(out.col.end(), o.col.begin(), o.col.end());
        out.values.insert(out.values.end(), o.values.begin(), o.values.end());
        o = Part{};
    }
    return out;
}

}  // namespace

LeafCells aggregateLeaves(const Grouping& g, const CellLayout& layout, const Parallel& par, size_t denseCells) {
    Radix rr(g.rowDims), cr(g.colDims);
    bool fits = rr.fits && cr.fits && rr.space <= (uint64_t(1) << 40) / cr.space;
    uint64_t space = fits ? rr.space * cr.space : UINT64_MAX;
    // One table per core pays when the combinations are few against the rows.
    if (fits && space <= denseCells && space * layout.width() * 8 * par.partsFor(g.rows) <= (uint64_t(1) << 29) &&
        space <= 4 * g.rows + 4096)
        return denseLeaves(g, rr, cr, layout, par);
    return sortedLeaves(g, layout, par);
}

const double* CellStore::find(int rowNode, int colNode) const {
    if (rowNode < 0 || size_t(rowNode) >= begin.size()) return nullptr;
    auto b = col.begin() + int64_t(begin[size_t(rowNode)]), e = col.begin() + int64_t(end[size_t(rowNode)]);
    auto it = std::lower_bound(b, e, uint32_t(colNode));
    if (it == e || *it != uint32_t(colNode)) return nullptr;
    return values.data() + size_t(it - col.begin()) * width;
}

CellStore buildCells(const Axis& rows, const Axis& cols, const LeafCells& leaves, const CellLayout& layout,
                     const Parallel& par) {
    const size_t S = layout.width();
    CellStore st;
    st.width = uint32_t(S);
    st.begin.assign(rows.nodes.size(), 0);
    st.end.assign(rows.nodes.size(), 0);
    std::vector<int> colParent(cols.nodes.size(), -1);
    for (size_t i = 0; i < cols.nodes.size(); ++i)
        for (int c : cols.nodes[i].children) colParent[size_t(c)] = int(i);

    struct Part {
        std::vector<uint32_t> col;
        std::vector<double> values;
        std::vector<std::pair<int, uint64_t>> spans;  // row node, cells
    };
    // Builds the given row nodes in parallel, `feed` merging a node's inputs, and appends them.
    auto level = [&](const std::vector<int>& nodes, size_t work, auto&& feed) {
        unsigned parts = std::min<unsigned>(par.partsFor(work), unsigned(std::max<size_t>(1, nodes.size())));
        std::vector<Part> part(parts);
        inParts(nodes.size(), parts, [&](unsigned p, size_t b, size_t e) {
            Scratch sc(cols.nodes.size(), layout);
            for (size_t i = b; i < e; ++i) {
                feed(sc, nodes[i]);
                part[p].spans.push_back({nodes[i], sc.flush(part[p].col, part[p].values)});
            }
        });
        size_t total = st.col.size();
        for (auto& o : part) total += o.col.size();
        st.col.reserve(total);
        st.values.reserve(total * S);
        for (auto& o : part) {
            uint64_t pos = st.col.size();
            for (auto [node, n] : o.spans) {
                st.begin[size_t(node)] = pos;
                st.end[size_t(node)] = pos += n;
            }
            st.col.insert(st.col.end(), o.col.begin(), o.col.end());
            st.values.insert(st.values.end(), o.values.begin(), o.values.end());
            o = Part{};
        }
    };

    // Row leaves: their leaf cells and every column group above them.
    level(rows.leafNode, leaves.col.size(), [&](Scratch& sc, int node) {
        size_t leaf = rows.nodes[size_t(node)].firstLeaf;
        for (uint64_t i = leaves.rowBegin[leaf]; i < leaves.rowBegin[leaf + 1]; ++i) {
            const double* src = leaves.values.data() + i * S;
            for (int cn = cols.leafNode[leaves.col[i]]; cn >= 0; cn = colParent[size_t(cn)])
                sc.merge(uint32_t(cn), src);
        }
    });
    // Then each level of row groups from its children, innermost first.
    int depth = int(rows.fields.size());
    for (int lv = depth - 2; depth > 0 && lv >= -1; --lv) {
        std::vector<int> nodes;
        size_t work = 0;
        for (size_t i = 0; i < rows.nodes.size(); ++i)
            if (rows.nodes[i].level == lv) {
                nodes.push_back(int(i));
                for (int c : rows.nodes[i].children) work += st.end[size_t(c)] - st.begin[size_t(c)];
            }
        level(nodes, work, [&](Scratch& sc, int node) {
            for (int c : rows.nodes[size_t(node)].children)
                for (uint64_t i = st.begin[size_t(c)]; i < st.end[size_t(c)]; ++i)
                    sc.merge(st.col[i], st.values.data() + i * S);
        });
    }
    return st;
}

}  // namespace pivot
