#include "runtime/qt/controls/control_kind.h"

namespace rt::qt {

const ControlKindOps& controlKindOps(ControlKind kind) {
    switch (kind) {
    case ControlKind::Prompt: return kPromptOps;
    case ControlKind::String: return kStringOps;
    case ControlKind::Entry: return kEntryOps;
    case ControlKind::Text: return kTextOps;
    case ControlKind::Button: return kButtonOps;
    case ControlKind::Check: return kCheckOps;
    case ControlKind::Option: return kOptionOps;
    case ControlKind::Radio: return kRadioOps;
    case ControlKind::Group: return kGroupOps;
    case ControlKind::DropList:
    case ControlKind::DropCombo: return kDropListOps;
    case ControlKind::Spin: return kSpinOps;
    case ControlKind::List:
    case ControlKind::Tree: return kListOps;
    case ControlKind::Sheet: return kSheetOps;
    case ControlKind::Tab: return kTabOps;
    case ControlKind::Box: return kBoxOps;
    case ControlKind::Line: return kLineOps;
    case ControlKind::Panel: return kPanelOps;
    case ControlKind::Image: return kImageOps;
    case ControlKind::Region: return kRegionOps;
    case ControlKind::Progress: return kProgressOps;
    case ControlKind::Ole: return kOleOps;
    case ControlKind::Menu: return kMenuOps;
    case ControlKind::Item: return kItemOps;
    }
    static const ControlKindOps none;
    return none;
}

}  // namespace rt::qt
