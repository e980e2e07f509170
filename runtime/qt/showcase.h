// A demonstration written against the window model alone: a frame with menu, toolbar and status
// bar, and an MDI child on a thread of its own holding every control kind. It runs unchanged on
// the Qt display and on the headless one.
#pragma once

namespace rt::qt {

// Runs the frame on the calling program thread; returns when the frame has closed.
void runShowcase();

// The child window alone ("Showcase"), on the calling program thread.
void showcaseWindow();

inline constexpr const char* kShowcaseFrameProcedure = "ShowcaseFrame";
inline constexpr const char* kShowcaseProcedure = "Showcase";

}  // namespace rt::qt
