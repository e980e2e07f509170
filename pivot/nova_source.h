#pragma once
// Reads a record source through the data engine NovaODBC3, loaded at run time: engine ->
// environment -> connection -> resultset -> rows, every row into the column store.

#include <functional>
#include <string>
#include <vector>

#include "pivot/column_store.h"

namespace pivot {

// Where the control looks for the data engine: this file when set, else "libNovaODBC3.so" beside
// the program, in ../lib from it, and on the loader's search path.
void setEngineLibrary(std::string path);

struct ReadResult {
    bool ok = false;
    std::string error;  // the engine's newest error description, or what failed
};

struct ReadOptions {
    // Which result columns are read, asked once the columns are known (`names` holds them, no
    // rows); the others are passed over and listed as unread. Every column when not set. When
    // some are passed over, the statement is first tried as a table of its own with only the
    // columns read (narrowedStatement), so that the driver makes none of the others.
    std::function<std::vector<bool>(const ColumnStore& names)> wanted;
    // Told the rows read so far, every kProgressRows rows and once at the end.
    std::function<void(size_t rows)> progress;
};
inline constexpr size_t kProgressRows = 10000;

// The control's own connection streams the result instead of letting the driver hold all of
// it: for the SQLite driver ";StepAPI=1", for the PostgreSQL driver ";UseDeclareFetch=1;Fetch=1000"
// are added unless the connect string sets them itself.
std::string streamingConnect(const std::string& connect);

// `sql` without the blanks and semicolons at its end.
std::string statementBody(const std::string& sql);
// SELECT "a", "b" FROM (sql) AS voq_source, the names quoted; empty when there is none, or a
// name holds a "." (the engine's qualification of a duplicate).
std::string narrowedStatement(const std::string& sql, const std::vector<std::string>& columns);

// Opens `connect`, runs `sql` and fills `store` (cleared first). A failure leaves the store empty.
ReadResult readThroughEngine(const std::string& connect, const std::string& sql, ColumnStore& store,
                             const ReadOptions& options = {});

}  // namespace pivot
