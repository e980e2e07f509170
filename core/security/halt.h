// Ending the program from inside: a box titled "Halt" with the reason, then the process ends.
#pragma once

#include <functional>
#include <string_view>

// Exit code of an end caused by an error (every halt of the security module is one).
inline constexpr int kHaltErrorCode = 1;

// Shows the text in a message box titled "Halt" (from any program thread) and ends the program
// with the exit code. The end can be replaced (tests); when the replacement returns, so does
// HaltProgram, and its caller gives up what it was doing.
void HaltProgram(std::string_view text, int exitCode = kHaltErrorCode);

// Replaces the end of the program (the program's one end, rt::setProgramEndHandler); an empty
// function restores the real end. Only HaltProgram returns after the replacement returned.
void setProgramEnd(std::function<void(int exitCode)> end);
