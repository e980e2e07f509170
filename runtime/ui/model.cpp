#include "runtime/ui/model.h"

namespace rt {

const char* controlKindName(ControlKind kind) {
  switch (kind) {
  case ControlKind::Prompt: return "Prompt";
  case ControlKind::String: return "String";
  case ControlKind::Entry: return "Entry";
  case ControlKind::Text: return "Text";
  case ControlKind::Button: return "Button";
  case ControlKind::Check: return "Check";
  case ControlKind::Option: return "Option";
  case ControlKind::Radio: return "Radio";
  case ControlKind::Group: return "Group";
  case ControlKind::DropList: return "DropList";
  case ControlKind::DropCombo: return "DropCombo";
  case ControlKind::Spin: return "Spin";
  case ControlKind::List: return "List";
  case ControlKind::Tree: return "Tree";
  case ControlKind::Sheet: return "Sheet";
  case ControlKind::Tab: return "Tab";
  case ControlKind::Box: return "Box";
  case ControlKind::Line: return "Line";
  case ControlKind::Panel: return "Panel";
  case ControlKind::Image: return "Image";
  case ControlKind::Region: return "Region";
  case ControlKind::Progress: return "Progress";
  case ControlKind::Ole: return "Ole";
  case ControlKind::Menu: return "Menu";
  case ControlKind::Item: return "Item";
  }
  return "?";
}

} // namespace rt
