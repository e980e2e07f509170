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

// The code picker: the twelve code pictures in a small window at the mouse; the code clicked, or
// 0 when the picker was closed otherwise.
int QBECodePicker();

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
    ExecutionPicture,
    GridArea,           // the scrolling area the grid's controls stand on
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
    ItemCut,
    ItemCopy,
    ItemPaste,
    ItemHowToHelp,
    HelpOk = 70,  // the help window
    HelpOrder,
    HelpFilter,
    HelpPicture,
    RowLabel = 100,      // + row (1..15)
    HelpCode = 180,      // the help's line of each code: + code (1..12)
    HelpLine = 200,      // the help's filter lines: + line (1..7)
    PickerBox = 300,     // the code picker: + code (1..12)
    PickerImage = 320,   // + code
    PickerRegion = 340,  // + code
    Heading = 1000,      // + column (0..)
    MoveLeft = 3000,     // + column (1..)
    MoveRight = 5000,    // + column (1..)
    Cell = 10000,        // + column * 16 + row
    Code = 30000,        // the cell's picture: + column * 16 + row
    CodeRegion = 50000,  // the clickable region over it: + column * 16 + row
    GridEnd = 70000,
};
inline int cellId(int column, int row) { return Cell + column * 16 + row; }
inline int codeId(int column, int row) { return Code + column * 16 + row; }
inline int codeRegionId(int column, int row) { return CodeRegion + column * 16 + row; }
inline constexpr const char* kGridTitle = " Query by Example";
inline constexpr const char* kSourceViewTitle = "QBE Source View";
inline constexpr const char* kHelpTitle = " Help";
inline constexpr const char* kLoadTitle = "Load QBE Source";
inline constexpr const char* kSaveTitle = "Save QBE Source";
inline constexpr const char* kPickerProcedure = "QBECodePicker";
// The picture of each order code (code 0, never set, shows the first).
inline constexpr const char* kCodePictures[] = {"QbeOff.bmp",    "QbeOffUp.bmp",  "QbeOffDown.bmp", "QbeOn.bmp",
                                                "QbeOnUp.bmp",   "QbeOnDown.bmp", "QbeOnSum.bmp",   "QbeOnCount.bmp",
                                                "QbeOnAvrg.bmp", "QbeOnMin.bmp",  "QbeOnMax.bmp",   "QbeOnBreak.bmp"};
}  // namespace qbe
