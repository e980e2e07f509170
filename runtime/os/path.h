#pragma once
// Paths as the program writes them ("\" or "/", ".\X" for the working folder) turned into
// native paths; an existing file is found whatever the case of its name.
#include <string>
#include <string_view>

namespace rt {

// "\" becomes "/", repeated separators and "." components go; a relative path stays
// relative (".\X" gives "X", "." alone stays "."); a trailing separator is kept.
std::string nativeSeparators(std::string_view programPath);

// The native path of a program path. When the exact path does not exist, each component is
// looked up without regard to case in its folder (the first match in name order wins); the
// components from the first one that matches nothing on are kept as given, so a file that
// is yet to be created gets the name the program asked for.
std::string resolvePath(std::string_view programPath);

// resolvePath made absolute against the working folder and lexically normalised.
std::string absolutePath(std::string_view programPath);

// Upper case for comparing names, folded as rt::upper does; names are equal when they match
// byte for byte after folding (trailing blanks count).
std::string foldNameCase(std::string_view name);
bool namesEqualNoCase(std::string_view a, std::string_view b);

// A file name the user typed without an extension gets `extension` (".csv"), as a save dialog
// adds its type's; one with an extension, or naming a folder, stays as it is.
std::string withDefaultExtension(std::string_view fileName, std::string_view extension);

// The working folder, the running program's file (/proc/self/exe) and its folder, all
// absolute and without a trailing separator ("/" for the root).
std::string currentFolder();
std::string programPath();
std::string programFolder();

}  // namespace rt
