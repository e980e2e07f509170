// The pivot viewer: one cube in a window that hosts the pivot-table control, which reads the
// cube's data itself. Callers wait on their own thread until the window closes.
//
//   AnzeigeCube(CUBK.ID);
#pragma once

#include <functional>
#include <string>

// The control the viewer hosts, created by this ProgID from the control factory.
inline constexpr const char* kPivotProgId = "GridnovaLib.Gnova.3";
// The registration log of the control (while GLO:DIAGNOSE is 1).
inline constexpr const char* kPivotRegistrationLog = "Gnova3.LOG";

// Opens the viewer window for the cube and returns when it is closed.
void AnzeigeCube(long cubeId);

// The window's controls (for tests through the display).
namespace anzeige {
enum {
    Pivot = 1,
    Collapse,
    Expand,
    Save,
    Refresh,
    Dump,
    ColumnWidth,
    InclSums,
    InclFormat,
    InclColor,
    ExclRepeat,
    ExcelPathPrompt,
    ExcelPath,
    ExcelPathButton,
    StartExcel,
    Excel,
    Properties,
    Print,
    Load,
    Ok,
};
}  // namespace anzeige

// Whether the desktop user may register controls (the registration runs only then). Tests put
// their own answer in place; empty restores the real one (the user is the superuser).
void SetViewerAdminCheck(std::function<bool()> isAdmin);
