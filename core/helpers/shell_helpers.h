#pragma once
// Opening a file with the program the desktop associates with it.
#include <string>
#include <string_view>

// Asks the shell to open the clipped file (255 characters at most) with its default action.
// A failure with a known code shows its text, a line break and the file name (no title).
void RunShellExecute(long windowHandle, std::string_view file);

// Keeps the clipped file name and opens it, owned by the caller's current window.
void ShellOpenFile(std::string_view file);

// The text of a shell-open failure code; empty for codes without one.
std::string ShellErrorText(int code);

// The file ShellOpenFile opened last.
std::string LastShellOpenFile();
