// What each control kind does with its Qt widgets: creates them, styles them from the control's
// state, shows its value and its list. The display core calls these; the steps a kind does not
// need stay empty.
#pragma once

#include <string>

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

// The kinds, one family per file.
const ControlKindOps& promptOps();
const ControlKindOps& stringOps();
const ControlKindOps& entryOps();
const ControlKindOps& textOps();
const ControlKindOps& buttonOps();
const ControlKindOps& checkOps();
const ControlKindOps& optionOps();
const ControlKindOps& groupOps();
const ControlKindOps& radioOps();
const ControlKindOps& dropListOps();
const ControlKindOps& spinOps();
const ControlKindOps& progressOps();
const ControlKindOps& listOps();
const ControlKindOps& sheetOps();
const ControlKindOps& tabOps();
const ControlKindOps& boxOps();
const ControlKindOps& lineOps();
const ControlKindOps& panelOps();
const ControlKindOps& regionOps();
const ControlKindOps& imageOps();
const ControlKindOps& oleOps();
const ControlKindOps& menuOps();
const ControlKindOps& itemOps();

}  // namespace rt::qt
