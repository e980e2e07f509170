#pragma once
// The trace sink: one line per call to standard error, or to a capture hook (tests).
#include <functional>
#include <string_view>

namespace rt {

// Writes the line and a line end in one piece; callable from any thread.
void trace(std::string_view line);

// While a capture is installed, trace lines go to it instead of standard error. An empty
// function removes it. The capture runs under the sink's lock, one line at a time; it may
// call trace itself (that line is captured too).
void setTraceCapture(std::function<void(std::string_view)> capture);

}  // namespace rt
