// Query by example: one of three sources laid out as the columns of a grid, conditions typed
// into its cells and per cell how the field is sorted, shown or summed; the filter and order
// built from the grid run the view or the report of the matching records.
#pragma once

#include <string>

// An empty label opens the grid; runs modally on the caller's thread.
void QueryByExample(const std::string& tableLabel);

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
    SourceOrder,
    SourceOk,
    RowLabel = 100,  // + row (1..15)
    Heading = 200,   // + column (0..)
    Cell = 1000,     // + column * 16 + row
    Code = 2000,     // + column * 16 + row
};
inline int cellId(int column, int row) { return Cell + column * 16 + row; }
inline int codeId(int column, int row) { return Code + column * 16 + row; }
inline constexpr const char* kGridTitle = " Query by Example";
inline constexpr const char* kSourceViewTitle = "QBE Source View";
}  // namespace qbe
