#pragma once
// The sorted items of a field and each raw row's item, built in parallel over the rows.

#include <memory>

#include "pivot/pivot_engine.h"
#include "pivot/pivot_parallel.h"

namespace pivot {

// Numbers: numerically, NULL first as "(leer)", each item's text in the field's format.
std::shared_ptr<Dimension> numericDimension(const double* values, size_t rows, const FieldDef& f, const Parallel& par);
// Text: in German order (all-number text numerically), NULL first as "(leer)".
std::shared_ptr<Dimension> textDimension(const Column& c, size_t rows, const Parallel& par);

}  // namespace pivot
