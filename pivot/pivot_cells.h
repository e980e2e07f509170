#pragma once
// The cells of a pivot: held only where raw rows fall, keyed by row group and column group.
// The raw rows are gathered into leaf cells over all cores, then every subtotal and total is
// merged from the cells below it.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "pivot/pivot_acc.h"
#include "pivot/pivot_parallel.h"

namespace pivot {

struct Axis;
struct Dimension;

// The item combinations of one axis that rows fall in, sorted; each `depth` items long.
struct AxisLeaves {
    size_t depth = 0;
    size_t count = 0;
    std::vector<uint32_t> paths;
    const uint32_t* path(size_t leaf) const { return paths.data() + leaf * depth; }
};

// A growable array of plain values whose new elements are left unset; large ones grow by
// remapping rather than copying.
template <typename T>
class Flat {
public:
    Flat() = default;
    Flat(const Flat&) = delete;
    Flat& operator=(const Flat&) = delete;
    Flat(Flat&& o) noexcept : p_(o.p_), n_(o.n_), cap_(o.cap_) { o.p_ = nullptr, o.n_ = o.cap_ = 0; }
    Flat& operator=(Flat&& o) noexcept {
        std::swap(p_, o.p_), std::swap(n_, o.n_), std::swap(cap_, o.cap_);
        return *this;
    }
    ~Flat() { std::free(p_); }
    size_t size() const { return n_; }
    T* data() { return p_; }
    const T* data() const { return p_; }
    T& operator[](size_t i) { return p_[i]; }
    const T& operator[](size_t i) const { return p_[i]; }
    // Room for k more; gives the first of them.
    T* grow(size_t k) {
        if (n_ + k > cap_) {
            size_t c = std::max(n_ + k, cap_ * 2 + 16);
            void* q = std::realloc(p_, c * sizeof(T));
            if (!q) throw std::bad_alloc();
            p_ = static_cast<T*>(q);
            cap_ = c;
        }
        n_ += k;
        return p_ + n_ - k;
    }

private:
    T* p_ = nullptr;
    size_t n_ = 0, cap_ = 0;
};

struct Grouping {
    std::vector<const Dimension*> rowDims, colDims;
    const std::vector<uint8_t>* include = nullptr;  // empty: every row
    size_t rows = 0;
};

// The raw rows gathered for the merge: into leaf cells through one table per core when all
// item combinations fit in `denseCells`, else sorted by their row leaf.
struct Gathered {
    AxisLeaves rows, cols;
    bool dense = false;
    // dense: leaf cells by row leaf, each run ascending by column leaf
    std::vector<uint64_t> rowBegin;  // per row leaf, and one past the last
    std::vector<uint32_t> col;       // column leaf per cell
    std::vector<double> values;      // CellLayout::width() per cell
    // sorted: where each row leaf's rows start in sorted order, and per sorted row its column
    // leaf and the values of each bundle, read through `sortedLayout`
    std::vector<uint64_t> start;
    Buffer<uint32_t> colLeaf;
    std::vector<std::shared_ptr<Buffer<double>>> sortedValues;
    std::shared_ptr<CellLayout> sortedLayout;
};

Gathered gatherRows(const Grouping& g, const CellLayout& layout, const Parallel& par, size_t denseCells);

// Every row group's cells, ascending by column group, holding leaves, subtotals and totals.
struct CellStore {
    uint32_t width = 1;
    struct Span {
        const uint32_t* col = nullptr;  // column node per cell
        const double* values = nullptr;
        size_t n = 0;
    };
    std::vector<Span> span;  // per row node
    const double* find(int rowNode, int colNode) const;
    size_t size() const { return cells; }

    size_t cells = 0;
    std::vector<Flat<uint32_t>> colChunks;  // what the spans point into
    std::vector<Flat<double>> valueChunks;
};

CellStore buildCells(const Axis& rows, const Axis& cols, const Gathered& gathered, const CellLayout& layout,
                     const Parallel& par);

}  // namespace pivot
