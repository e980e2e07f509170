#pragma once
// The demo ERP database: the tables the program reads and a sales data set for the cubes.
#include <string>

namespace demo {

struct DemoOptions {
    long salesLines = 200000;  // order lines in the sales table
    unsigned seed = 20261210;  // same seed, same data
};

// Writes the demo ERP database as a SQLite file (replaced when present).
// Returns an empty string on success, otherwise the reason.
std::string writeDemoDatabase(const std::string& file, const DemoOptions& options = {});

}  // namespace demo
