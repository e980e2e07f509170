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
    auto fail = [&](int err) {
        if (errorText) *errorText = errnoText(err);
        return false;
    };
    const std::string resolved = resolvePath(path);
    if (resolved.empty()) return fail(ENOENT);
    const std::string target = writeTarget(resolved);

    mode_t mode = 0666;
    struct stat st;
    const bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed) {
        if (S_ISDIR(st.st_mode)) return fail(EISDIR);
        mode = st.st_mode & 07777;
    }

    const std::string temp = tempNameBeside(target);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed ? 0600 : mode);
    if (fd < 0) return fail(errno);
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temp.c_str());
            return fail(err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (existed) ::fchmod(fd, mode);
    int err = ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return fail(err);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    return true;
}

}  // namespace rt
