// Query by example: one of three sources laid out as the columns of a grid, conditions typed
// into its cells and per cell how the field is sorted, shown or summed; the filter and order
// built from the grid run the view or the report of the matching records.
#pragma once

#include <string>

// An empty label opens the grid; runs modally on the caller's thread.
void QueryByExample(const std::string& tableLabel);

// The load and save window of the saved definitions ("Load QBE Source" or "Save QBE Source"),
// listing only a given source's definitions; the chosen name (single quotes made double), or
// empty when cancelled.
std::string QBEDefinitionWindow(bool saving, const std::string& source = {});

// The help window on order codes and filters (" Help").
void QBEHelp();

namespace qbe {
enum GridControl {
    SourcePrompt = 1,
    SourceList,
    ExecutionList,
    AddRow,
    DeleteRow,
    ViewSource,
    Execute,
    Options,
    LoadButton,
    SaveButton,
    NewButton,
    ExitButton,
    SourceFilter = 20,  // the source window
    NameList = 30,      // the load and save window
    NameEntry,
    NameDelete,
    NameOk,
    NameCancel,
    SourceOrder,
    SourceOk,
    MenuFile = 40,  // the menu bar
    ItemLoad,
    ItemSave,
    ItemSaveAs,
    ItemNew,
    ItemPrintSetup,
    ItemExit,
    MenuEdit,
    ItemInsertRow,
    ItemDeleteRow,
    ItemOptions,
    MenuView,
    ItemViewSource,
    ItemExecute,
    MenuHelp,
    ItemHelp,
    HelpOk = 70,  // the help window
    HelpOrder,
    HelpFilter,
    RowLabel = 100,  // + row (1..15)
    Heading = 200,   // + column (0..)
    Cell = 1000,     // + column * 16 + row
    Code = 2000,     // + column * 16 + row
};
inline int cellId(int column, int row) { return Cell + column * 16 + row; }
inline int codeId(int column, int row) { return Code + column * 16 + row; }
inline constexpr const char* kGridTitle = " Query by Example";
inline constexpr const char* kSourceViewTitle = "QBE Source View";
inline constexpr const char* kHelpTitle = " Help";
inline constexpr const char* kLoadTitle = "Load QBE Source";
inline constexpr const char* kSaveTitle = "Save QBE Source";
}  // namespace qbe
