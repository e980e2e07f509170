#include "runtime/classlib/window_resizer.h"

#include <algorithm>

#include "runtime/ui/window.h"

namespace rt {

namespace {

unsigned defaultRule(const ControlState& s, int width, int height) {
    switch (s.kind) {
    case ControlKind::List:
    case ControlKind::Tree:
    case ControlKind::Sheet:
    case ControlKind::Text:
    case ControlKind::Ole:
    case ControlKind::Image: return resize::GrowWidth | resize::GrowHeight;
    case ControlKind::Panel:
        if (scrollsControls(s)) return resize::GrowWidth | resize::GrowHeight;
        break;
    case ControlKind::Tab:
    case ControlKind::Menu:
    case ControlKind::Item: return resize::Fixed;
    default: break;
    }
    // Small controls keep to the nearest edges.
    unsigned r = resize::Fixed;
    if (width > 0 && s.x * 2 > width) r |= resize::MoveRight;
    if (height > 0 && s.y * 2 > height) r |= resize::MoveDown;
    return r;
}

}  // namespace

void WindowResizer::init(Window& window) {
    window_ = &window;
    const WindowProps& p = window.props();
    designWidth_ = p.width;
    designHeight_ = p.height;
    if (p.minWidth == 0 && p.minHeight == 0 && p.width > 0 && p.height > 0) window.setMinSize(p.width, p.height);
    places_.clear();
    bool grows = false;
    for (int id : window.controlIds()) {
        const ControlState& s = window.control(id).state();
        if (s.toolbar) continue;
        // What stands on a scrolling area keeps its place on the area's content.
        if (s.parent != 0 && window.has(s.parent) && scrollsControls(window.control(s.parent).state())) continue;
        places_[id] = Place{s.x, s.y, s.width, s.height, defaultRule(s, p.width, p.height)};
        grows = grows || (places_[id].rule & (resize::GrowWidth | resize::GrowHeight));
    }
    // Of two growing controls one above the other on the same page (a statement over its result
    // list), the lower takes the new height: the upper keeps its own, so it never grows over the
    // lower one or the buttons between them.
    for (auto& [id, upper] : places_) {
        if (!(upper.rule & resize::GrowHeight)) continue;
        const int parent = window.control(id).state().parent;
        for (const auto& [other, lower] : places_) {
            if (other == id || !(lower.rule & resize::GrowHeight)) continue;
            if (window.control(other).state().parent != parent) continue;
            const bool below = lower.y >= upper.y + upper.height;
            const bool side = lower.x < upper.x + upper.width && upper.x < lower.x + lower.width;
            if (below && side) {
                upper.rule &= ~resize::GrowHeight;
                break;
            }
        }
    }
    // Without a control that takes up the new room (a plain form), the controls keep their places:
    // following the edges would only tear labels from their fields.
    if (!grows)
        for (auto& [id, place] : places_) place.rule = resize::Fixed;
}

void WindowResizer::setMinSize(int width, int height) {
    if (window_) window_->setMinSize(width, height);
}

void WindowResizer::setRule(int control, unsigned rule) {
    auto it = places_.find(control);
    if (it != places_.end()) it->second.rule = rule;
}

unsigned WindowResizer::rule(int control) const {
    auto it = places_.find(control);
    return it == places_.end() ? resize::Fixed : it->second.rule;
}

void WindowResizer::resize() {
    if (!window_ || designWidth_ <= 0 || designHeight_ <= 0) return;
    const WindowProps& p = window_->props();
    int dw = std::max(p.width, p.minWidth) - designWidth_;
    int dh = std::max(p.height, p.minHeight) - designHeight_;
    if (p.width <= 0) dw = 0;
    if (p.height <= 0) dh = 0;
    for (const auto& [id, pl] : places_) {
        if (!window_->has(id)) continue;
        int x = pl.x + ((pl.rule & resize::MoveRight) ? dw : 0);
        int y = pl.y + ((pl.rule & resize::MoveDown) ? dh : 0);
        int w = pl.width + ((pl.rule & resize::GrowWidth) && pl.width > 0 ? dw : 0);
        int h = pl.height + ((pl.rule & resize::GrowHeight) && pl.height > 0 ? dh : 0);
        const ControlState& s = window_->control(id).state();
        if (s.x != x || s.y != y || s.width != w || s.height != h)
            window_->control(id).setPosition(x, y, std::max(w, 0), std::max(h, 0));
    }
}

bool WindowResizer::takeEvent(const EventInfo& event) {
    if (event.event == Event::Sized || event.event == Event::Restored || event.event == Event::Maximized) resize();
    return false;
}

}  // namespace rt
