#include "runtime/os/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "runtime/os/path.h"

namespace rt {
namespace {

std::string errnoText(int err) { return std::strerror(err); }

// Where a write really lands: through a symbolic link to its target.
std::string writeTarget(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        auto target = std::filesystem::weakly_canonical(path, ec);
        if (!ec) return target.string();
    }
    return path;
}

std::string tempNameBeside(const std::string& target) {
    static thread_local std::mt19937_64 gen{std::random_device{}()};
    const auto cut = target.rfind('/');
    const std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? target : target.substr(cut + 1);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(gen()));
    return folder + "." + name + suffix;
}

}  // namespace

bool fileExists(std::string_view path) {
    struct stat st;
    const std::string p = resolvePath(path);
    return !p.empty() && ::stat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool folderExists(std::string_view path) {
    struct stat st;
    const std::string p = resolvePath(path);
    return !p.empty() && ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createFolder(std::string_view path) {
    const std::string p = resolvePath(path);
    if (p.empty()) return false;
    if (::mkdir(p.c_str(), 0777) == 0) return true;
    return errno == EEXIST && folderExists(p);
}

bool removeFile(std::string_view path) {
    const std::string p = resolvePath(path);
    struct stat st;
    if (p.empty() || ::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(p.c_str()) == 0;
}

bool copyFile(std::string_view from, std::string_view to, bool overwrite) {
    const std::string src = resolvePath(from);
    const std::string dst = resolvePath(to);
    if (src.empty() || dst.empty() || !fileExists(src)) return false;
    std::error_code ec;
    const auto opts =
        overwrite ? std::filesystem::copy_options::overwrite_existing : std::filesystem::copy_options::none;
    return std::filesystem::copy_file(src, dst, opts, ec) && !ec;
}

bool renameFile(std::string_view from, std::string_view to) {
    const std::string src = resolvePath(from);
    const std::string dst = resolvePath(to);
    if (src.empty() || dst.empty() || folderExists(src) || folderExists(dst)) return false;
    return std::rename(src.c_str(), dst.c_str()) == 0;
}

std::optional<std::string> readFile(std::string_view path, std::size_t maxBytes) {
    const std::string p = resolvePath(path);
    if (p.empty()) return std::nullopt;
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string out;
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
        if (out.size() > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return out;
}

bool writeFileReplacing(std::string_view path, std::string_view content, std::string* errorText) {
    ReplacingFile file;
    if (file.open(path) && file.write(content) && file.commit()) return true;
    if (errorText) *errorText = file.errorText();
    return false;
}

bool ReplacingFile::fail(int err) {
    if (error_ == 0) error_ = err;
    return false;
}

std::string ReplacingFile::errorText() const { return error_ ? errnoText(error_) : std::string(); }

bool ReplacingFile::open(std::string_view path) {
    abandon();
    error_ = 0;
    const std::string resolved = resolvePath(path);
    if (resolved.empty()) return fail(ENOENT);
    target_ = writeTarget(resolved);
    mode_ = 0666;
    struct stat st;
    existed_ = ::stat(target_.c_str(), &st) == 0;
    if (existed_) {
        if (S_ISDIR(st.st_mode)) return fail(EISDIR);
        mode_ = st.st_mode & 07777;
        direct_ = !S_ISREG(st.st_mode);
    } else {
        direct_ = false;
    }
    if (direct_) {
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    } else {
        temp_ = tempNameBeside(target_);
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed_ ? 0600 : mode_);
    }
    if (fd_ < 0) {
        temp_.clear();
        return fail(errno);
    }
    return true;
}

bool ReplacingFile::flush() {
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool ReplacingFile::write(std::string_view bytes) {
    if (fd_ < 0 || error_ != 0) return fail(error_ ? error_ : EBADF);
    buffer_.append(bytes);
    return buffer_.size() < (64u << 10) || flush();
}

bool ReplacingFile::commit() {
    if (fd_ < 0 || error_ != 0) {
        fail(error_ ? error_ : EBADF);
        abandon();
        return false;
    }
    bool ok = flush();
    if (ok && !direct_) {
        if (existed_) ::fchmod(fd_, static_cast<mode_t>(mode_));
        if (::fsync(fd_) != 0) ok = fail(errno);
    }
    if (::close(fd_) != 0 && ok) ok = fail(errno);
    fd_ = -1;
    if (ok && !direct_ && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = fail(errno);
    if (!ok && !temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    buffer_.clear();
    return ok;
}

void ReplacingFile::abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    buffer_.clear();
}

}  // namespace rt
