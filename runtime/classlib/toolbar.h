#pragma once
// The frame's toolbar as the windows see it: twelve buttons with fixed control numbers. The
// frame has them on its toolbar; when another thread's window is active, the frame posts the
// pressed button (Accepted with the same number) to that window, whose list or form acts on it.

#include <vector>

namespace rt {

struct EventInfo;

namespace toolbar {
inline constexpr int Insert = 29001;
inline constexpr int Change = 29002;
inline constexpr int Delete = 29003;
inline constexpr int Top = 29004;
inline constexpr int PageUp = 29005;
inline constexpr int Up = 29006;
inline constexpr int Locate = 29007;
inline constexpr int Down = 29008;
inline constexpr int PageDown = 29009;
inline constexpr int Bottom = 29010;
inline constexpr int History = 29011;
inline constexpr int Help = 29012;
inline constexpr int First = Insert;
inline constexpr int Last = Help;
inline constexpr bool isButton(int control) { return control >= First && control <= Last; }
}  // namespace toolbar

// What a toolbar button acts on: a list or a form.
class ToolbarTarget {
public:
    virtual ~ToolbarTarget() = default;
    // True when the target handled the button.
    virtual bool takeToolbar(int button) = 0;
};

// A window's link to the toolbar: the targets it has, the last one made current acts.
class Toolbar {
public:
    void addTarget(ToolbarTarget* target);
    void removeTarget(ToolbarTarget* target);
    void setTarget(ToolbarTarget* target);  // current; added when unknown
    ToolbarTarget* target() const { return current_; }
    // An accepted toolbar button goes to the current target; true when it took it.
    bool takeEvent(const EventInfo& event);

private:
    std::vector<ToolbarTarget*> targets_;
    ToolbarTarget* current_ = nullptr;
};

}  // namespace rt
