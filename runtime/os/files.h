#pragma once
// File helpers over program paths (each path goes through resolvePath first).
#include <optional>
#include <string>
#include <string_view>

namespace rt {

// An existing file that is not a folder.
bool fileExists(std::string_view path);
bool folderExists(std::string_view path);

// Creates one folder (its parent must exist). True when the folder exists afterwards.
bool createFolder(std::string_view path);

// Removes a file (never a folder). True when it was removed.
bool removeFile(std::string_view path);

// Copies a file; an existing target is replaced only with overwrite. True on success.
bool copyFile(std::string_view from, std::string_view to, bool overwrite = true);

// Renames or moves a file, replacing an existing target file. True on success.
bool renameFile(std::string_view from, std::string_view to);

// The whole content of a file; empty optional when it cannot be read (missing, a folder,
// unreadable) or is larger than maxBytes.
std::optional<std::string> readFile(std::string_view path, std::size_t maxBytes = 256u << 20);

// Writes the whole content through a temporary file beside the target that then replaces
// it, so a failed write leaves the old file as it was. A target that is a symbolic link is
// written through the link. The old file's permissions are kept. On failure returns false and
// sets errorText (when given) to the system's reason.
bool writeFileReplacing(std::string_view path, std::string_view content, std::string* errorText = nullptr);

}  // namespace rt
