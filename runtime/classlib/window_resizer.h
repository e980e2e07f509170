#pragma once
// Keeps a window's controls in place when the user changes its size: each control follows the
// window's right and bottom edges as its rule says. By default lists, trees, sheets, texts and
// pictures grow and small controls keep to the nearest edges; in a window without any of those
// growing controls every control stays where it is. The window cannot be made smaller than its
// opening size unless a minimum is given.
//
//   rt::WindowResizer resizer;
//   resizer.init(window);                                   // default rules by kind and place
//   resizer.setRule(FILTER_BUTTON, rt::resize::MoveRight);  // a control of its own

#include <map>

namespace rt {

class Window;
struct EventInfo;

namespace resize {
inline constexpr unsigned Fixed = 0;
inline constexpr unsigned MoveRight = 1u << 0;   // x follows the right edge
inline constexpr unsigned MoveDown = 1u << 1;    // y follows the bottom edge
inline constexpr unsigned GrowWidth = 1u << 2;   // the right side follows the right edge
inline constexpr unsigned GrowHeight = 1u << 3;  // the bottom follows the bottom edge
}  // namespace resize

class WindowResizer {
public:
    // Remembers the window's design size and each control's place; the minimum size becomes the
    // design size (setMinSize changes it).
    void init(Window& window);
    void setMinSize(int width, int height);
    void setRule(int control, unsigned rule);
    unsigned rule(int control) const;
    // Places every control for the window's current size.
    void resize();
    // Sized, Maximized and Restored place the controls anew; never takes the event.
    bool takeEvent(const EventInfo& event);

private:
    struct Place {
        int x, y, width, height;
        unsigned rule;
    };
    Window* window_ = nullptr;
    int designWidth_ = 0, designHeight_ = 0;
    std::map<int, Place> places_;
};

}  // namespace rt
