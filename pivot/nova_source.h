#pragma once
// Reads a record source through the data engine NovaODBC3, loaded at run time: engine ->
// environment -> connection -> resultset -> rows, every row into the column store.

#include <string>

#include "pivot/column_store.h"

namespace pivot {

// Where the control looks for the data engine: this file when set, else "libNovaODBC3.so" beside
// the program, in ../lib from it, and on the loader's search path.
void setEngineLibrary(std::string path);

struct ReadResult {
    bool ok = false;
    std::string error;  // the engine's newest error description, or what failed
};

// Opens `connect`, runs `sql` and fills `store` (cleared first). A failure leaves the store empty.
ReadResult readThroughEngine(const std::string& connect, const std::string& sql, ColumnStore& store);

}  // namespace pivot
