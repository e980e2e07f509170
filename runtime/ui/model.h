#pragma once
// The published state of windows and controls: what the display shows. A procedure changes it
// through rt::Window; the display receives copies (WindowSnapshot, WindowUpdate) and never
// touches the procedure's own objects.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/ui/event.h"

namespace rt {

class AutomationObject;

using WindowId = std::uint64_t;  // 0 = none

// Colours as the system writes them: 0x00BBGGRR; 0x80000000 + n is system colour n.
using Color = std::uint32_t;
inline constexpr Color ColorNone = 0xFFFFFFFF;
inline constexpr Color rgb(int red, int green, int blue) {
    return static_cast<Color>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

struct Font {
    Font() = default;
    Font(std::string face, int size = 0, int weight = 0) : face(std::move(face)), size(size), weight(weight) {}

    std::string face;  // empty: the window's font
    int size = 0;      // points; 0: the window's size
    Color color = ColorNone;
    int weight = 0;  // 0 default, 400 normal, 700 bold
    bool italic = false;
    bool underline = false;
    bool operator==(const Font&) const = default;
};

enum class ControlKind {
    Prompt,     // label of a field (text)
    String,     // display-only text (text)
    Entry,      // one-line input (value, picture, readOnly, required, password)
    Text,       // multi-line input (value, wordWrap, font)
    Button,     // text and/or icon, tip, defaultButton
    Check,      // check box (text, value "1"/"0")
    Option,     // option group: its value is the chosen radio's radioValue
    Radio,      // radio button inside an Option (text, radioValue)
    Group,      // group box (text)
    DropList,   // choice from a list (list, selected, value = chosen entry's text)
    DropCombo,  // choice or free text (list, value)
    Spin,       // number with range (value, rangeLow, rangeHigh, step, picture)
    List,       // rows and columns (list, selected)
    Tree,       // list with levels (list; ListRow::level)
    Sheet,      // holder of tabs (selected = tab number from 1)
    Tab,        // page of a sheet (text; parent = the sheet)
    Box,        // rectangle (background fill, borderColor)
    Line,       // line from (x, y) to (x + width, y + height)
    Panel,      // sunken or raised area; with hscroll/vscroll a scrolling area whose controls
                // (parent = the panel) stand on its content, placed from the content's origin
    Image,      // picture from a file (icon = file; imageWidth/Height; virtual size, scroll)
    Region,     // invisible area reporting mouse enter/leave and clicks
    Progress,   // progress bar (value, rangeLow, rangeHigh)
    Ole,        // container of a hosted control (progId, object)
    Menu,       // menu on the menu bar or a sub menu (text with "&"; parent = 0 or a menu)
    Item,       // menu item (text, help, checkItem with value "1"/"0", separator)
};

const char* controlKindName(ControlKind kind);

enum class Justify { Left, Center, Right, Decimal };

struct ListColumn {
    ListColumn() = default;
    ListColumn(std::string heading, int width, Justify justify = Justify::Left, int indent = 0)
        : heading(std::move(heading)), width(width), justify(justify), indent(indent) {}

    std::string heading;
    int width = 0;  // dialog units; 0 hides the column
    Justify justify = Justify::Left;
    int indent = 0;  // dialog units
    Justify headingJustify = Justify::Left;
    std::string picture;  // how the cell texts were formatted (informative)
    bool resizable = false;
    bool fixed = false;    // a leading column that stays in place when the list scrolls sideways
    bool hasIcon = false;  // cells show ListCell::icon
    // The column's colours, for the cells that have none of their own.
    Color fore = ColorNone, back = ColorNone;
    Color selectedFore = ColorNone, selectedBack = ColorNone;  // its part of the selection bar
    bool operator==(const ListColumn&) const = default;
};

struct ListCell {
    ListCell() = default;
    ListCell(std::string text) : text(std::move(text)) {}
    ListCell(std::string text, Color fore, Color back) : text(std::move(text)), fore(fore), back(back) {}

    std::string text;
    Color fore = ColorNone, back = ColorNone;                  // normal row colours
    Color selectedFore = ColorNone, selectedBack = ColorNone;  // when the row is selected
    int icon = 0;                                              // 1-based index into ListData::icons, 0 none
    Font font;                                                 // empty face: the list's font
    bool operator==(const ListCell&) const = default;
};

struct ListRow {
    std::vector<ListCell> cells;
    int level = 0;  // tree: depth from 1; negative = contracted
    bool operator==(const ListRow&) const = default;
};

struct ListData {
    std::vector<ListColumn> columns;  // empty: one column showing the first cell
    std::vector<ListRow> rows;
    std::vector<std::string> icons;  // icon file names referenced by ListCell::icon
    int lineHeight = 0;              // dialog units; 0 default
    bool grid = false;
    int locatorColumn = 0;       // 1-based column that typing (and a locator entry) searches; 0 none
    bool scrollButtons = false;  // buttons beside the scroll bar: first row, page up, page down, last row
    bool operator==(const ListData&) const = default;
    // Everything but the rows, for rows that replace them all (a member added above belongs
    // there too).
    ListData withoutRows() const;
};

// The row a list's locator finds for a typed text, searching rows from `first` (1-based): the
// first whose cell in `column` (1-based) begins with the text, case-blind; without one, the first
// whose value lies at or after the text (at or before it in a descending column), numbers
// compared as numbers. 0 when none does, or for an empty text.
int locateRow(const ListData& list, int column, std::string_view text, int first = 1, bool descending = false);

// The rows of a very long list as an immutable snapshot that the procedure publishes: the
// display reads only the rows it shows, by range, from its own thread and at any time, also
// while the procedure goes on and builds the next snapshot. Nothing a snapshot reads may change
// once it is published; a new state of the rows is a new snapshot.
class VirtualRows {
public:
    virtual ~VirtualRows() = default;
    virtual std::size_t rowCount() const = 0;
    // Rows first .. first + count - 1 (0-based), fewer at the end. Thread-safe.
    virtual std::vector<ListRow> rows(std::size_t first, std::size_t count) const = 0;
};

// A snapshot of `count` rows read through `read` (same contract as VirtualRows::rows).
std::shared_ptr<const VirtualRows> makeVirtualRows(
    std::size_t count, std::function<std::vector<ListRow>(std::size_t first, std::size_t count)> read);

// A list's rows read on the owning thread when the window publishes (queues, views). The window
// reads the rows again whenever revision() has changed or the procedure asks for it.
class ListSource {
public:
    virtual ~ListSource() = default;
    virtual std::size_t rowCount() const = 0;
    virtual ListRow row(std::size_t index) const = 0;  // 0-based
    virtual std::uint64_t revision() const { return 0; }
    // A source of very many rows answers with a snapshot of them: a List is then published the
    // snapshot instead of a copy of every row (other controls always get the rows). Null (the
    // default): the rows are copied.
    virtual std::shared_ptr<const VirtualRows> virtualRows() const { return nullptr; }
};

struct ControlState {
    int id = 0;  // the equate
    ControlKind kind = ControlKind::String;
    int parent = 0;        // Radio: its Option; Tab: its Sheet; Item/Menu: its Menu; others:
                           // the Tab, Group or Option they stand in (0 = the window)
    bool toolbar = false;  // stands on the window's toolbar

    int x = 0, y = 0, width = 0, height = 0;  // dialog units; width/height 0: natural size

    std::string text;               // caption: prompt, string, button, check, radio, group, tab, menu
    std::string value;              // the bound value as text (see ControlKind)
    std::uint64_t valueSerial = 0;  // rises whenever the procedure sets value, selected or textSelection
    // Controls that take text (takesText): the text cursor and the selection in value, as the
    // display last reported them; a new value the procedure sets puts the cursor at its end.
    TextSelection textSelection;
    std::string picture;
    std::string icon;        // button/menu icon, Image file, Region cursor picture
    std::string tip;         // tooltip
    std::string help;        // help line for status zone 1
    std::string cursor;      // mouse pointer over the control ("" default)
    std::string radioValue;  // Radio: the value it gives its Option

    bool enabled = true;
    bool hidden = false;
    bool readOnly = false;
    bool required = false;
    bool password = false;
    bool immediate = false;  // report every change at once (NewSelection while typing, MouseIn/Out)
    bool defaultButton = false;
    bool cancelButton = false;  // Button: what Esc presses
    bool flat = false;
    bool checkItem = false;  // menu Item with a check mark
    bool separator = false;  // menu Item that is a separator
    bool windowList = false;  // frame Menu: lists the open child windows after its items
    bool wordWrap = true;    // Text
    bool hscroll = false, vscroll = false;
    bool transparent = false;

    Color fontColor = ColorNone;
    Color background = ColorNone;
    Color selectedFore = ColorNone, selectedBack = ColorNone;
    Color borderColor = ColorNone;
    Font font;

    int rangeLow = 0, rangeHigh = 100, step = 1;  // Spin, Progress

    int selected = 0;                      // List/Tree/DropList/DropCombo row, Sheet tab (1-based; 0 none)
    std::shared_ptr<const ListData> list;  // List, Tree, DropList, DropCombo
    std::uint64_t listSerial = 0;          // rises whenever list or virtualRows changes
    // List: when set, the rows are these (read by range) and list->rows stays empty; columns,
    // icons and the rest still come from list.
    std::shared_ptr<const VirtualRows> virtualRows;

    int imageWidth = 0, imageHeight = 0;      // Image: natural size in pixels (0: unknown)
    int virtualWidth = 0, virtualHeight = 0;  // Image: shown size in dialog units (0: control size);
                                              // scrolling Panel: its content's size (0: what its
                                              // controls take)
    // Image, scrolling Panel: scroll offset, dialog units. The offset is shown when the
    // procedure changes it; the user's scrolling comes back as NewSelection with x and y.
    int scrollX = 0, scrollY = 0;

    // List: drag and drop. Rows are dragged only from a list with drag ids and dropped only onto
    // a list whose drop ids hold one of them (the same list: rows moved within it). A list
    // without them reports neither Drag nor Drop.
    std::vector<std::string> dragIds;
    std::vector<std::string> dropIds;

    std::string progId;  // Ole
    // Ole: the hosted control (used on its thread only). In the display's copies it is a handle
    // that keeps the control alive; the control is let go on its procedure's thread all the same.
    std::shared_ptr<AutomationObject> object;
};

// A Panel that scrolls its controls.
inline bool scrollsControls(const ControlState& s) { return s.kind == ControlKind::Panel && (s.hscroll || s.vscroll); }
// A control that the user scrolls with its bars and the wheel: a scrolling Panel or Image.
inline bool scrolledByUser(const ControlState& s) {
    return (s.kind == ControlKind::Panel || s.kind == ControlKind::Image) && (s.hscroll || s.vscroll);
}

// Controls that show rows of a list (the List, Tree and drop-list kinds).
bool hasList(ControlKind k);
// Controls the user types text into: Entry, Text, Spin, DropCombo.
bool takesText(ControlKind k);
// The selection kept within a value of `length` characters.
TextSelection withinText(TextSelection selection, int length);
// The first cell's text of a row (1-based); empty outside the rows.
std::string rowText(const ListData& list, int row);

// What a control shows once the user's input reached it (the value typed or chosen, the chosen
// row, the text cursor and selection, the scroll offset, an expanded or contracted tree row): the
// window's state and the headless screen follow the input alike. A value that comes without a
// selection leaves the text cursor at its end, as typing does.
void applyUserInput(ControlState& s, const UserInput& in);

// True when a row dragged from `source` may be dropped onto `target`.
bool dropAccepted(const ControlState& source, const ControlState& target);

// Esc in a window that does not alert it (the desktop's convention): the first cancel button
// that is shown and enabled is pressed (Accepted); without one the window is asked to close
// (CloseWindow). `operable` tells whether the screen shows the button and takes it.
UserInput escapeInput(const std::vector<ControlState>& controls,
                      const std::function<bool(const ControlState&)>& operable);

struct StatusZone {
    int width = 0;  // dialog units; 0 or negative: the rest
    std::string text;
    bool operator==(const StatusZone&) const = default;
};

enum class PopupKind { None, Shown, Chooser };

struct WindowProps {
    WindowId id = 0;
    WindowId owner = 0;     // window below this one on the same thread: takes no input while
                            // this one is open
    int thread = 0;         // program thread that owns the window
    std::string procedure;  // procedure name (window state section, test look-up)
    std::string title;
    std::string icon;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units; 0: as the display chooses
    bool centered = false;                    // place in the middle (when x and y are 0)
    int minWidth = 0, minHeight = 0;
    bool frame = false;     // the application frame (MDI parent)
    bool mdiChild = false;  // child of the frame when a frame is open
    bool modal = false;     // system-modal: no other window of the program takes input
    bool resizable = true;
    bool caption = true;  // false: no title bar and no frame (a splash window)
    // A pop-up has no title bar or frame and stands over the program's windows, outside the
    // window manager's placing. Shown takes neither focus nor mouse (a magnified picture);
    // Chooser takes the mouse until it closes (a chooser under the pointer).
    PopupKind popup = PopupKind::None;
    bool atMouse = false;  // x and y count from the mouse pointer when the window is shown
    bool maximized = false;
    bool minimized = false;
    bool hidden = false;
    bool immediate = false;  // report every change at once
    int timer = 0;           // hundredths of a second; 0 off
    Color background = ColorNone;
    Font font;
    std::vector<StatusZone> status;  // empty: no status bar
    std::vector<int> alertKeys;      // keys that give AlertKey events
    int focus = 0;                   // control that should have the focus
    std::uint64_t focusSerial = 0;   // rises whenever the procedure moves the focus
};

// Everything about a window, sent when it opens.
struct WindowSnapshot {
    WindowProps window;
    std::vector<ControlState> controls;  // in creation order; parents before their children
};

// Changes since the last publication.
struct WindowUpdate {
    WindowId id = 0;
    bool windowChanged = false;
    WindowProps window;                 // valid when windowChanged
    std::vector<ControlState> changed;  // new or changed controls, full state, creation order
    std::vector<int> removed;           // destroyed controls
};

}  // namespace rt
