// Statements the cube catalogue writes itself: names between quotes, the back end's quoting,
// and one count from the server's column catalogue.
#pragma once

#include <string>
#include <string_view>

// Names and texts go into a statement through SqlQuoted (between single quotes, each quote
// doubled), so a name with "'" can neither break nor change the statement.
#include "cubes/viewer/cube_statement.h"

// A statement written with "[name]" quoting as the client's back end reads it: unchanged where
// the brackets are understood (SQL Server, SQLite); elsewhere a bracketed name loses its
// brackets (a plain name, so it folds like the table layer's own names) or is double-quoted
// (any other name). Texts between single quotes are left alone.
std::string BackEndSql(std::string_view statement, std::string_view connectString);
// The same for the client's connect string of the moment.
std::string BackEndSql(std::string_view statement);

// Sends a statement through the calling thread's VOQSQLTBL and reads the first column of its
// first row as a number into `count`. On failure the driver's (or the runtime's) error text is
// shown in a message box and `count` keeps its value; false then.
bool CatalogueCount(std::string_view statement, long& count);
