#pragma once
// The cells of a pivot: held only where raw rows fall, keyed by row group and column group.
// The raw rows are gathered into leaf cells over all cores, then every subtotal and total is
// merged from the cells below it.

#include <cstdint>
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

// Leaf cells grouped by row leaf, each group's cells ascending by column leaf.
struct LeafCells {
    AxisLeaves rows, cols;
    std::vector<uint64_t> rowBegin;  // per row leaf, and one past the last
    std::vector<uint32_t> col;       // column leaf per cell
    std::vector<double> values;      // CellLayout::width() per cell
};

struct Grouping {
    std::vector<const Dimension*> rowDims, colDims;
    const std::vector<uint8_t>* include = nullptr;  // empty: every row
    size_t rows = 0;
};

// Raw rows into leaf cells: through one table per core when all item combinations fit in
// `denseCells`, else by sorting the rows by their row leaf.
LeafCells aggregateLeaves(const Grouping& g, const CellLayout& layout, const Parallel& par, size_t denseCells);

// Every row group's cells, ascending by column group, holding leaves, subtotals and totals.
struct CellStore {
    uint32_t width = 1;
    std::vector<uint64_t> begin, end;  // per row node
    std::vector<uint32_t> col;         // column node per cell
    std::vector<double> values;
    const double* find(int rowNode, int colNode) const;
    size_t size() const { return col.size(); }
};

CellStore buildCells(const Axis& rows, const Axis& cols, const LeafCells& leaves, const CellLayout& layout,
                     const Parallel& par);

}  // namespace pivot
