#include "runtime/classlib/toolbar.h"

#include <algorithm>

#include "runtime/ui/event.h"

namespace rt {

void Toolbar::addTarget(ToolbarTarget* target) {
    if (std::find(targets_.begin(), targets_.end(), target) == targets_.end()) targets_.push_back(target);
    if (!current_) current_ = target;
}

void Toolbar::removeTarget(ToolbarTarget* target) {
    std::erase(targets_, target);
    if (current_ == target) current_ = targets_.empty() ? nullptr : targets_.front();
}

void Toolbar::setTarget(ToolbarTarget* target) {
    addTarget(target);
    current_ = target;
}

bool Toolbar::takeEvent(const EventInfo& event) {
    if (event.event != Event::Accepted || !toolbar::isButton(event.control) || !current_) return false;
    return current_->takeToolbar(event.control);
}

}  // namespace rt
