#pragma once
// A small list with its form on a local fixture table, written as the program's window
// procedures are: the value list and its form under any procedure name.

#include <atomic>
#include <string>

#include "runtime/data/record.h"
#include "runtime/data/table_def.h"
#include "runtime/text/strings.h"

namespace example {

struct WertRecord {
    rt::Long ID = 0;
    rt::CString<11> FILTER;
    rt::Short Wert = 0;
    rt::CString<21> Bezeichnung;
};

extern thread_local WertRecord GNE;

const rt::TableDef& werteTable();
void setTableFile(std::string file);
// The calling thread's managers of the table (made on first use).
void ensureTable();
// Adds records on the calling thread (outside any window).
void addRecord(int id, const std::string& filter, int wert, const std::string& name);
int recordCount();
std::string nameOf(int id);  // "" when there is none

// List window controls.
enum ListControl { LIST = 1, SHEET, TAB_ID, TAB_NAME, LOCATOR, INSERT, CHANGE, DELETE, SELECT, PRINT, CLOSE };
// Form window controls.
enum FormControl { ID_PROMPT = 1, ID_ENTRY, FILTER_LIST, WERT_ENTRY, NAME_PROMPT, NAME_ENTRY, OK, CANCEL };

extern std::atomic<int> formCalls;
extern std::atomic<int> printCalls;

inline constexpr const char* kListTitle = "Werteliste";
inline constexpr const char* kFormTitle = "GNEquates bearbeiten";

// The list under a procedure name, calling its form (under formName) as procedure 1.
void ExampleList(const std::string& procedure = "BrowseWerte", const std::string& formName = "EditWerte");
void ExampleForm(const std::string& procedure = "EditWerte");

}  // namespace example
