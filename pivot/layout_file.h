#pragma once
// The pivot layout file ("Cube.CUB"): fields with their areas, order, aggregates, formats,
// filters and collapsed state, and the column widths. It never holds the data source, so no
// connect string or password reaches the disk. Written to a temporary file and renamed over
// the old one, so a failed write leaves the old layout.

#include <map>
#include <string>
#include <vector>

#include "pivot/pivot_engine.h"

namespace pivot {

struct Layout {
    std::vector<FieldDef> fields;
    std::map<int, int> widths;
};

bool writeLayout(const std::string& file, const Layout& layout, std::string& error);
bool readLayout(const std::string& file, Layout& layout, std::string& error);
// Puts the saved settings on the fields of the same name (in saved order for duplicates);
// saved fields that the control does not have are left out.
void applyLayout(const Layout& layout, std::vector<FieldDef>& fields);

}  // namespace pivot
