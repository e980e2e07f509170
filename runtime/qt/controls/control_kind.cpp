#include "runtime/qt/controls/control_kind.h"

namespace rt::qt {

const ControlKindOps& controlKindOps(ControlKind kind) {
    switch (kind) {
    case ControlKind::Prompt: return promptOps();
    case ControlKind::String: return stringOps();
    case ControlKind::Entry: return entryOps();
    case ControlKind::Text: return textOps();
    case ControlKind::Button: return buttonOps();
    case ControlKind::Check: return checkOps();
    case ControlKind::Option: return optionOps();
    case ControlKind::Radio: return radioOps();
    case ControlKind::Group: return groupOps();
    case ControlKind::DropList:
    case ControlKind::DropCombo: return dropListOps();
    case ControlKind::Spin: return spinOps();
    case ControlKind::List:
    case ControlKind::Tree: return listOps();
    case ControlKind::Sheet: return sheetOps();
    case ControlKind::Tab: return tabOps();
    case ControlKind::Box: return boxOps();
    case ControlKind::Line: return lineOps();
    case ControlKind::Panel: return panelOps();
    case ControlKind::Image: return imageOps();
    case ControlKind::Region: return regionOps();
    case ControlKind::Progress: return progressOps();
    case ControlKind::Ole: return oleOps();
    case ControlKind::Menu: return menuOps();
    case ControlKind::Item: return itemOps();
    }
    static const ControlKindOps none;
    return none;
}

}  // namespace rt::qt
