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

// A file written piece by piece into a part file beside its target, which replaces the target
// only when every byte is written: a failed or abandoned write removes the part file and leaves
// the old file as it was. A target that is a symbolic link is written through the link; a
// target that is no plain file (a device) is written into directly, since it cannot be replaced.
//
//   rt::ReplacingFile out;
//   if (!out.open(name)) ...out.errorText()...;
//   out.write(line); ...
//   if (!out.commit()) ...out.errorText()...;    // the destructor abandons an uncommitted file
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { abandon(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the part file. False (with the error) when it cannot be made.
    bool open(std::string_view path);
    // Appends bytes. False once any write has failed; later writes are ignored.
    bool write(std::string_view bytes);
    // Writes what is buffered, syncs and puts the file in place of the target. False (with the
    // error) when any step failed; the part file is gone then.
    bool commit();
    // Drops the part file; the target stays as it was.
    void abandon();

    int error() const { return error_; }  // errno of the first failure, 0 for none
    std::string errorText() const;

private:
    bool flush();
    bool fail(int err);

    int fd_ = -1;
    bool direct_ = false;
    bool existed_ = false;
    unsigned mode_ = 0666;
    int error_ = 0;
    std::string target_;
    std::string temp_;
    std::string buffer_;
};

}  // namespace rt
