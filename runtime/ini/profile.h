#pragma once
// Private-profile files: the INI file is read afresh on every call and rewritten whole on every
// change, under one process-wide lock per file, so that all threads see one file. Paths are
// program paths (".\X.INI", "\" or "/", any case of an existing name).
//
// A missing file reads as empty. A file that cannot be read (a folder, no permission, larger
// than 16 MiB) reads as empty and is never written over; each gives a trace line. Lines with
// NUL bytes are ignored, traced, and dropped at the next write; other lines that are no UTF-8
// are read as Windows-1252 (see IniDocument). A write goes
// through a temporary file beside the target, so a failed write leaves the old file whole.
#include <optional>
#include <string>
#include <string_view>

namespace rt {

// The value, or the default only when the key is missing (a present empty value reads as "").
std::string getProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view defaultValue);
std::optional<std::string> tryGetProfileString(std::string_view file, std::string_view section, std::string_view key);

// The value converted by profileNumber, or the default when the key is missing.
long long getProfileNumber(std::string_view file, std::string_view section, std::string_view key,
                           long long defaultValue);

// A whole number from a text: blanks around it, an optional sign, digits and optionally a
// point with more digits (the fraction is cut off). Anything else, and a number out of range,
// gives 0.
long long profileNumber(std::string_view text);

// Writes a key (the file and the section are created when missing). False when the file could
// not be written, and refused (false, with a trace line) for names that could never be read back:
// a key with "=" or a line break, or beginning with ";", "#" or "["; a section with "]" or a line
// break; a blank key or section.
bool writeProfileString(std::string_view file, std::string_view section, std::string_view key, std::string_view value);
bool writeProfileNumber(std::string_view file, std::string_view section, std::string_view key, long long value);

// Removes a key or a whole section. True when the file holds no such key or section
// afterwards; a missing file is not created.
bool deleteProfileKey(std::string_view file, std::string_view section, std::string_view key);
bool deleteProfileSection(std::string_view file, std::string_view section);

}  // namespace rt
