#pragma once
// Events of the per-window event loop, key codes, and the input the display reports.

#include <algorithm>
#include <optional>
#include <string>

namespace rt {

enum class Event : int {
    None = 0,  // no event: the window has closed and accept() ends the loop

    // Field events (control != 0)
    Accepted = 1,   // the control's value was accepted (button pressed, entry left, item chosen)
    NewSelection,   // the selection moved (list row, drop list entry, sheet tab, spin step)
    Selected,       // the control received the focus
    Expanded,       // a tree row was expanded (row)
    Contracted,     // a tree row was contracted (row)
    HeaderPressed,  // a list heading was clicked (column)
    AlertKey,       // an alerted key or mouse chord (keyCode, row, column, x, y)
    MouseIn,        // the mouse entered a region
    MouseOut,       // the mouse left a region
    MouseDown,      // a mouse button went down over a region (keyCode)
    MouseUp,        // a mouse button went up over a region (keyCode)
    Drag,           // a list row is dragged (row)
    Drop,           // the dragged row was dropped (row = source row, dropRow = target row)
    TabChanging,    // a sheet's tab is about to change (row = the tab being left)

    // Window events (control == 0)
    OpenWindow = 0x101,  // first event of every window
    CloseWindow,         // the window is asked to close
    CloseDown,           // the program is closing down
    Timer,               // the window's timer elapsed
    Sized,               // the user changed the window's size (x, y, width, height)
    Moved,               // the user moved the window (x, y)
    Maximized,           // maximised by the user
    Iconized,            // minimised by the user
    Restored,            // restored from maximised or minimised
    GainFocus,           // the window became the active window
    LoseFocus,           // another window became active

    // First number free for events a program posts to its own windows.
    User = 0x400,
};

// "Accepted", "OpenWindow", ... ("User+" for program events above User), for traces and tests.
const char* eventName(Event e);

inline constexpr bool isFieldEvent(Event e) { return static_cast<int>(e) < 0x100 && e != Event::None; }

// Key codes: plain keys, mouse buttons, and modifier bits added to them (chords).
namespace keys {
inline constexpr int None = 0;
inline constexpr int Backspace = 8;
inline constexpr int Tab = 9;
inline constexpr int Enter = 13;
inline constexpr int Esc = 27;
inline constexpr int Space = 32;
inline constexpr int PgUp = 33;
inline constexpr int PgDn = 34;
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Insert = 45;
inline constexpr int Delete = 46;
// Letters and digits are their upper-case character codes ('A' .. 'Z', '0' .. '9').
inline constexpr int Apps = 93;  // the context-menu key
inline constexpr int KeypadPlus = 107;
inline constexpr int KeypadMinus = 109;
inline constexpr int F1 = 112;  // F2 .. F12 follow
inline constexpr int MouseLeft = 0x201;
inline constexpr int MouseRight = 0x202;
inline constexpr int MouseCenter = 0x203;
inline constexpr int MouseLeft2 = 0x205;  // double clicks
inline constexpr int MouseRight2 = 0x206;
inline constexpr int MouseLeftUp = 0x207;  // releases
inline constexpr int MouseRightUp = 0x208;
inline constexpr int Shift = 0x1000;
inline constexpr int Ctrl = 0x2000;
inline constexpr int Alt = 0x4000;
inline constexpr int baseKey(int code) { return code & 0x0FFF; }
}  // namespace keys

// What accept() hands the procedure.
struct EventInfo {
    Event event = Event::None;
    int control = 0;            // equate of the control (0 for window events)
    int keyCode = 0;            // AlertKey, MouseDown/Up, Accepted by double click (keys::MouseLeft2)
    int row = 0;                // list/tree/drop row (1-based), sheet tab, drag source row
    int column = 0;             // list column (1-based) of a click or heading press
    int dropRow = 0;            // target row of a Drop
    int x = 0, y = 0;           // mouse position or window position, dialog units
    int width = 0, height = 0;  // new window size for Sized
    std::string value;          // the control's value after the user's input

    explicit operator bool() const { return event != Event::None; }
};

// Where the text cursor stands in the value of a control the user types into (Entry, Text, Spin,
// DropCombo) and what is selected, in characters from 0: the selection runs between anchor and
// cursor, either way round; equal, nothing is selected and the cursor stands there.
struct TextSelection {
    int anchor = 0;
    int cursor = 0;
    int start() const { return std::min(anchor, cursor); }
    int end() const { return std::max(anchor, cursor); }
    bool empty() const { return anchor == cursor; }
    bool operator==(const TextSelection&) const = default;
};

// Input the display reports for a window, on any thread (rt::sendInput). `value`, when set, is
// the control's new value as the user left it; row, column and the geometry are applied to the
// model before the procedure sees the event. Field events carry the mouse position (x, y in
// dialog units of the window's client area) where the display knows it. `textSelection` is where
// the user left the text cursor and the selection; an input of Event::None that carries one
// only tells the window where they stand now: the procedure hears nothing of it.
struct UserInput {
    UserInput() = default;
    explicit UserInput(Event event, int control = 0) : event(event), control(control) {}

    Event event = Event::None;
    int control = 0;
    std::optional<std::string> value;
    std::optional<TextSelection> textSelection;
    int keyCode = 0;
    int row = 0;
    int column = 0;
    int dropRow = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

}  // namespace rt
