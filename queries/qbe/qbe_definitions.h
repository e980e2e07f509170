// Query by example: the saved grid definitions in the local file "VOQKivorant.qbs". A
// definition is the run of records with one name: for every column of the grid ("SET ALL"
// first) one record per slot 1..16, the column's fields repeated in each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "queries/qbe/qbe_grid.h"
#include "runtime/data/file_manager.h"
#include "runtime/data/record.h"
#include "runtime/data/table_def.h"
#include "runtime/text/strings.h"

struct QBEDefinitionRecord {
    rt::CString<256> QUERYNAME;
    rt::CString<256> FILENAME;
    rt::Long ROWS = 0;
    rt::Long NUMBER = 0;
    rt::CString<256> NAME;
    rt::CString<256> HEADER;
    rt::CString<50> PICTURE;
    rt::String<1> JUSTIFY;
    rt::Byte FILTERTYPE = 0;
    rt::CString<256> FILTERSOURCE;
};
const rt::TableDef& QBEDefinitionsTable();

// Opens a file of the component (counted: the caller closes it after a 0). A locked file is
// waited for, a missing one made, damaged keys made again when the user agrees; a file that
// still cannot be opened is reported, and the user may end the program there. 0, or the error.
int OpenQBEFile(rt::FileManager& file);

// A name as it is stored and filtered: single quotes become double quotes.
std::string QBEDefinitionName(std::string_view name);

// One entry of the load and save list: the first record of each name decides its file name
// text; a source that is not one of the three shows "File not found" in red.
struct QBEDefinitionEntry {
    std::string QUERYNAME;
    std::string QUERYFILE;
    bool missingSource = false;
};
// Sorted by name; with a source, only the names whose first record names it.
std::vector<QBEDefinitionEntry> QBEDefinitionList(std::string_view source = {});

// Returned when the file could not be opened: its open steps have told the user already.
inline constexpr int kQBEFileNotOpened = -1;

// Replaces the definition of that name in one transaction: a failure keeps the old one.
// 0, kQBEFileNotOpened, or the file's error.
int SaveQBEDefinition(std::string_view name, std::string_view source, int rows, const std::vector<QBEColumn>& columns);
// Deletes every record of the name; 0, or the file's error.
int DeleteQBEDefinition(std::string_view name);
// Loads fieldCount + 1 columns of the name, 16 records each in the order they were added; a
// column is added after its 16th record or when the records run out. False when the name has
// no records.
bool LoadQBEDefinition(std::string_view name, long fieldCount, std::vector<QBEColumn>& columns, int& rows,
                       std::string& source);
