// What each control kind does with its Qt widgets: creates them, styles them from the control's
// state, shows its value and its list. The display core calls these; the steps a kind does not
// need stay empty.
#pragma once

#include <string>

class QScrollArea;

#include "runtime/qt/display_core.h"

namespace rt::qt {

using Core = QtDisplay::Core;

struct ControlKindOps {
    // Makes the widgets (c.widget, c.focusWidget, ...) and connects their input.
    void (*create)(Core& core, QtWindow& w, QtControl& c, QWidget* parent) = nullptr;
    // What the kind shows of the state: caption, ranges, its own colours.
    void (*look)(Core& core, QtWindow& w, QtControl& c) = nullptr;
    // The control's value (c.state.value, c.state.selected).
    void (*value)(Core& core, QtWindow& w, QtControl& c) = nullptr;
    // The control's list data (c.state.list).
    void (*list)(Core& core, QtWindow& w, QtControl& c) = nullptr;
    // Takes down what does not go with c.widget and c.menu.
    void (*remove)(QtControl& c) = nullptr;
    // The text typed into an editable control, not yet reported; false when it has none.
    bool (*typed)(const QtControl& c, std::string& text) = nullptr;
    // The kind paints its own fill: the background colour is not the widget's palette.
    bool paintsOwnFill = false;
};

const ControlKindOps& controlKindOps(ControlKind kind);

// A scroll area's bars report the user's scrolling (NewSelection with the offset in x and y);
// the procedure's offset is shown when it differs from the last one known on either side.
void connectScrolling(Core& core, QtWindow& w, QtControl& c, QScrollArea* area);
void showScrollOffset(QtWindow& w, QtControl& c, QScrollArea& area);

// Controls that take text (entry, text, spin, combo): the text cursor and selection their widget
// shows (false without one); the state's shown in a widget that has the focus (one without it
// shows its text from the start: where the user puts the cursor there is reported); the user's
// moves of them reported.
bool shownTextSelection(const QtControl& c, TextSelection& selection);
void showTextSelection(QtControl& c);
void connectTextSelection(Core& core, QtWindow& w, QtControl& c);

// The size of the picture an image control shows; invalid when it shows none.
QSize pictureSize(QWidget* imageWidget);

// The kinds, one family per file.
extern const ControlKindOps kPromptOps;
extern const ControlKindOps kStringOps;
extern const ControlKindOps kEntryOps;
extern const ControlKindOps kTextOps;
extern const ControlKindOps kButtonOps;
extern const ControlKindOps kCheckOps;
extern const ControlKindOps kOptionOps;
extern const ControlKindOps kGroupOps;
extern const ControlKindOps kRadioOps;
extern const ControlKindOps kDropListOps;
extern const ControlKindOps kSpinOps;
extern const ControlKindOps kProgressOps;
extern const ControlKindOps kListOps;
extern const ControlKindOps kSheetOps;
extern const ControlKindOps kTabOps;
extern const ControlKindOps kBoxOps;
extern const ControlKindOps kLineOps;
extern const ControlKindOps kPanelOps;
extern const ControlKindOps kRegionOps;
extern const ControlKindOps kImageOps;
extern const ControlKindOps kOleOps;
extern const ControlKindOps kMenuOps;
extern const ControlKindOps kItemOps;

}  // namespace rt::qt
