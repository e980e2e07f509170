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

Gathered denseLeaves(const Grouping& g, const Radix& rr, const Radix& cr, const CellLayout& layout,
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

    Gathered out;
    out.dense = true;
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

// Each raw row's leaf on one axis, built a few levels at a time: the leaf of the outer levels
// times the combination of the next items, renumbered in order, so that no combination of many
// items overflows and a table of the combinations stays small.
AxisLeaves axisLeaves(const std::vector<const Dimension*>& dims, const Grouping& g, const Parallel& par,
                      Buffer<uint32_t>& leafOf) {
    constexpr uint64_t kTable = uint64_t(1) << 24;
    AxisLeaves out;
    out.depth = dims.size();
    unsigned parts = par.partsFor(g.rows);
    leafOf.resize(g.rows);
    const bool filtered = g.include && !g.include->empty();
    std::atomic<bool> any{false};
    inParts(g.rows, parts, [&](unsigned, size_t b, size_t e) {
        bool some = false;
        for (size_t r = b; r < e; ++r) {
            bool in = !filtered || (*g.include)[r];
            leafOf[r] = in ? 0 : kOut;
            some |= in;
        }
        if (some) any = true;
    });
    if (!any) return out;
    size_t count = 1, done = 0;
    std::vector<uint32_t> paths;
    while (done < dims.size()) {
        // The next levels whose combinations under each leaf so far fit one table.
        size_t upto = done;
        uint64_t span = 1;
        while (upto < dims.size()) {
            uint64_t n = std::max<size_t>(1, dims[upto]->items.size());
            if (upto > done && count * span * n > kTable) break;
            span *= n;
            ++upto;
        }
        std::vector<const Dimension*> levels(dims.begin() + int64_t(done), dims.begin() + int64_t(upto));
        Radix rx(levels);
        const uint64_t space = count * span;
        auto keyOf = [&](size_t r) { return leafOf[r] * span + rx.key(r); };
        std::vector<uint64_t> used;  // the keys rows fall in, ascending
        if (space <= kTable) {
            // One bit per combination, and the count of those set before each word: the leaf of
            // a key is the number of keys set below it. Small enough to stay in the caches.
            const size_t words = size_t((space + 63) / 64);
            std::vector<uint64_t> bits(words, 0);
            inParts(g.rows, parts, [&](unsigned, size_t b, size_t e) {
                for (size_t r = b; r < e; ++r) {
                    if (leafOf[r] == kOut) continue;
                    uint64_t k = keyOf(r), m = uint64_t(1) << (k & 63);
                    std::atomic_ref<uint64_t> w(bits[k >> 6]);
                    if (!(w.load(std::memory_order_relaxed) & m)) w.fetch_or(m, std::memory_order_relaxed);
                }
            });
            std::vector<uint32_t> before(words);
            uint32_t set = 0;
            for (size_t w = 0; w < words; ++w) {
                before[w] = set;
                for (uint64_t x = bits[w]; x; x &= x - 1)
                    used.push_back(uint64_t(w) * 64 + uint64_t(__builtin_ctzll(x)));
                set += uint32_t(__builtin_popcountll(bits[w]));
            }
            inParts(g.rows, parts, [&](unsigned, size_t b, size_t e) {
                for (size_t r = b; r < e; ++r) {
                    if (leafOf[r] == kOut) continue;
                    uint64_t k = keyOf(r);
                    leafOf[r] =
                        before[k >> 6] + uint32_t(__builtin_popcountll(bits[k >> 6] & ((uint64_t(1) << (k & 63)) - 1)));
                }
            });
        } else {
            std::vector<std::vector<uint64_t>> keys(parts);
            inParts(g.rows, parts, [&](unsigned p, size_t b, size_t e) {
                for (size_t r = b; r < e; ++r)
                    if (leafOf[r] != kOut) keys[p].push_back(keyOf(r));
                std::sort(keys[p].begin(), keys[p].end());
                keys[p].erase(std::unique(keys[p].begin(), keys[p].end()), keys[p].end());
            });
            for (auto& k : keys) used.insert(used.end(), k.begin(), k.end());
            std::sort(used.begin(), used.end());
            used.erase(std::unique(used.begin(), used.end()), used.end());
            inParts(g.rows, parts, [&](unsigned, size_t b, size_t e) {
                for (size_t r = b; r < e; ++r)
                    if (leafOf[r] != kOut)
                        leafOf[r] = uint32_t(std::lower_bound(used.begin(), used.end(), keyOf(r)) - used.begin());
            });
        }
        std::vector<uint32_t> next;
        next.reserve(used.size() * upto);
        for (uint64_t k : used) {
            const uint32_t* parent = paths.data() + (k / span) * done;
            next.insert(next.end(), parent, parent + done);
            rx.decode(k % span, next);
        }
        paths = std::move(next);
        count = used.size();
        done = upto;
    }
    out.count = count;
    out.paths = std::move(paths);
    return out;
}

// The cells of one row group: merged in place over the column groups, then given out ascending.
class Scratch {
public:
    Scratch(size_t groups, const CellLayout& layout)
        : layout_(layout), S_(layout.width()), acc_(groups * S_), seen_(groups, 0) {}
    void merge(uint32_t group, const double* src) {
        double* d = at(group);
        if (!seen_[group]) {
            seen_[group] = 1;
            touched_.push_back(group);
            std::memcpy(d, src, S_ * sizeof(double));
        } else {
            layout_.merge(d, src);
        }
    }
    void add(uint32_t group, size_t row) {
        double* d = at(group);
        if (!seen_[group]) {
            seen_[group] = 1;
            touched_.push_back(group);
            std::fill(d, d + S_, 0.0);
        }
        layout_.add(d, row);
    }
    // The groups touched so far merged into every group above them.
    void rollUp(const std::vector<int>& parent) {
        leaves_.assign(touched_.begin(), touched_.end());
        for (uint32_t c : leaves_)
            for (int p = parent[c]; p >= 0; p = parent[size_t(p)]) merge(uint32_t(p), at(c));
    }
    size_t flush(Flat<uint32_t>& col, Flat<double>& values) {
        size_t n = touched_.size();
        if (n * 8 > seen_.size()) {
            touched_.clear();
            for (uint32_t c = 0; c < seen_.size(); ++c)
                if (seen_[c]) touched_.push_back(c);
        } else {
            std::sort(touched_.begin(), touched_.end());
        }
        uint32_t* oc = col.grow(n);
        double* ov = values.grow(n * S_);
        for (uint32_t c : touched_) {
            *oc++ = c;
            std::memcpy(ov, at(c), S_ * sizeof(double));
            ov += S_;
            seen_[c] = 0;
        }
        touched_.clear();
        return n;
    }

private:
    double* at(uint32_t group) { return acc_.data() + size_t(group) * S_; }
    const CellLayout& layout_;
    size_t S_;
    std::vector<double> acc_;
    std::vector<uint8_t> seen_;
    std::vector<uint32_t> touched_, leaves_;
};

Gathered sortedRows(const Grouping& g, const CellLayout& layout, const Parallel& par) {
    Gathered out;
    Buffer<uint32_t> rowLeaf;
    out.rows = axisLeaves(g.rowDims, g, par, rowLeaf);
    out.cols = axisLeaves(g.colDims, g, par, out.colLeaf);
    const size_t L = out.rows.count;
    // The rows in order of their row leaf: counted per range, then placed; with many leaves
    // against the rows fewer ranges, as each holds a count per leaf.
    unsigned parts =
        unsigned(std::min<size_t>(par.partsFor(g.rows), std::max<size_t>(1, g.rows / std::max<size_t>(1, L))));
    std::vector<std::vector<uint64_t>> at(parts);
    inParts(g.rows, parts, [&](unsigned p, size_t b, size_t e) {
        at[p].assign(L, 0);
        for (size_t r = b; r < e; ++r)
            if (rowLeaf[r] != kOut) ++at[p][rowLeaf[r]];
    });
    out.start.assign(L + 1, 0);
    uint64_t pos = 0;
    for (size_t l = 0; l < L; ++l) {
        out.start[l] = pos;
        for (unsigned p = 0; p < parts; ++p) {
            uint64_t c = at[p][l];
            at[p][l] = pos;
            pos += c;
        }
    }
    out.start[L] = pos;
    // Each row's column leaf and values placed in sorted order, so the merge reads them in turn.
    Buffer<uint32_t> colLeaf(pos);
    const auto& bundles = layout.bundles();
    std::vector<Source> sources;
    for (size_t b = 0; b < bundles.size(); ++b) {
        out.sortedValues.push_back(std::make_shared<Buffer<double>>(pos));
        Source s;
        s.kind = Source::Values;
        s.values = out.sortedValues.back();
        s.vals = s.values->data();
        sources.push_back(std::move(s));
    }
    inParts(g.rows, parts, [&](unsigned p, size_t b, size_t e) {
        uint64_t* next = at[p].data();
        for (size_t r = b; r < e; ++r) {
            if (rowLeaf[r] == kOut) continue;
            uint64_t i = next[rowLeaf[r]]++;
            colLeaf[i] = out.colLeaf[r];
            for (size_t k = 0; k < bundles.size(); ++k) (*out.sortedValues[k])[i] = bundles[k].src.at(r);
        }
    });
    out.colLeaf = std::move(colLeaf);
    out.sortedLayout = std::make_shared<CellLayout>(layout.withSources(std::move(sources)));
    return out;
}

}  // namespace

Gathered gatherRows(const Grouping& g, const CellLayout& layout, const Parallel& par, size_t denseCells) {
    Radix rr(g.rowDims), cr(g.colDims);
    bool fits = rr.fits && cr.fits && rr.space <= (uint64_t(1) << 40) / cr.space;
    uint64_t space = fits ? rr.space * cr.space : UINT64_MAX;
    // One table per core pays when the combinations are few against the rows.
    if (fits && space <= denseCells && space * layout.width() * 8 * par.partsFor(g.rows) <= (uint64_t(1) << 29) &&
        space <= 4 * g.rows + 4096)
        return denseLeaves(g, rr, cr, layout, par);
    return sortedRows(g, layout, par);
}

const double* CellStore::find(int rowNode, int colNode) const {
    if (rowNode < 0 || size_t(rowNode) >= span.size()) return nullptr;
    const Span& s = span[size_t(rowNode)];
    const uint32_t* it = std::lower_bound(s.col, s.col + s.n, uint32_t(colNode));
    if (it == s.col + s.n || *it != uint32_t(colNode)) return nullptr;
    return s.values + size_t(it - s.col) * width;
}

CellStore buildCells(const Axis& rows, const Axis& cols, const Gathered& in, const CellLayout& layout,
                     const Parallel& par) {
    const size_t S = layout.width();
    CellStore st;
    st.width = uint32_t(S);
    st.span.assign(rows.nodes.size(), {});
    std::vector<int> colParent(cols.nodes.size(), -1);
    for (size_t i = 0; i < cols.nodes.size(); ++i)
        for (int c : cols.nodes[i].children) colParent[size_t(c)] = int(i);

    struct Part {
        Flat<uint32_t> col;
        Flat<double> values;
        std::vector<std::pair<int, uint64_t>> spans;  // row node, cells
    };
    // Builds the given row nodes in parallel, `feed` merging a node's inputs; the parts' cells
    // stay where they were made.
    auto level = [&](const std::vector<int>& nodes, size_t work, const CellLayout& with, auto&& feed) {
        // Each part merges over all column groups; their number bounds the parts.
        size_t scratch = cols.nodes.size() * S * sizeof(double);
        unsigned parts = unsigned(std::min<size_t>(
            {par.partsFor(work), std::max<size_t>(1, nodes.size()), std::max<size_t>(1, (size_t(1) << 29) / scratch)}));
        std::vector<Part> part(parts);
        inParts(nodes.size(), parts, [&](unsigned p, size_t b, size_t e) {
            Scratch sc(cols.nodes.size(), with);
            for (size_t i = b; i < e; ++i) {
                feed(sc, nodes[i]);
                part[p].spans.push_back({nodes[i], sc.flush(part[p].col, part[p].values)});
            }
        });
        for (auto& o : part) {
            size_t at = 0;
            for (auto [node, n] : o.spans) {
                st.span[size_t(node)] = {o.col.data() + at, o.values.data() + at * S, n};
                at += n;
            }
            st.cells += at;
            st.colChunks.push_back(std::move(o.col));
            st.valueChunks.push_back(std::move(o.values));
        }
    };

    // Row leaves: their rows or leaf cells into every column group above them.
    if (in.dense)
        level(rows.leafNode, in.col.size(), layout, [&](Scratch& sc, int node) {
            size_t leaf = rows.nodes[size_t(node)].firstLeaf;
            for (uint64_t i = in.rowBegin[leaf]; i < in.rowBegin[leaf + 1]; ++i)
                sc.merge(uint32_t(cols.leafNode[in.col[i]]), in.values.data() + i * S);
            sc.rollUp(colParent);
        });
    else
        level(rows.leafNode, in.colLeaf.size(), *in.sortedLayout, [&](Scratch& sc, int node) {
            size_t leaf = rows.nodes[size_t(node)].firstLeaf;
            for (uint64_t i = in.start[leaf]; i < in.start[leaf + 1]; ++i)
                sc.add(uint32_t(cols.leafNode[in.colLeaf[i]]), i);
            sc.rollUp(colParent);
        });
    // Then each level of row groups from its children, innermost first.
    int depth = int(rows.fields.size());
    for (int lv = depth - 2; depth > 0 && lv >= -1; --lv) {
        std::vector<int> nodes;
        size_t work = 0;
        for (size_t i = 0; i < rows.nodes.size(); ++i)
            if (rows.nodes[i].level == lv) {
                nodes.push_back(int(i));
                for (int c : rows.nodes[i].children) work += st.span[size_t(c)].n;
            }
        level(nodes, work, layout, [&](Scratch& sc, int node) {
            for (int c : rows.nodes[size_t(node)].children) {
                const CellStore::Span& s = st.span[size_t(c)];
                for (size_t i = 0; i < s.n; ++i) sc.merge(s.col[i], s.values + i * S);
            }
        });
    }
    return st;
}

}  // namespace pivot
