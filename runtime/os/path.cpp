#include "runtime/os/path.h"

#include "runtime/text/strings.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <vector>

namespace rt {
namespace {

bool pathExists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

std::string join(const std::string& base, std::string_view name) {
    std::string out = base;
    if (!out.empty() && out.back() != '/') out += '/';
    out += name;
    return out;
}

// The parts of a "/"-separated path, without the empty ones.
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto cut = path.find('/');
        const std::string_view part = path.substr(0, cut);
        if (!part.empty()) parts.push_back(part);
        if (cut == std::string_view::npos) break;
        path.remove_prefix(cut + 1);
    }
    return parts;
}

// The entry of folder whose name equals name without regard to case; empty when none.
std::string findNoCase(const std::string& folder, std::string_view name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    const std::string want = foldNameCase(name);
    std::vector<std::string> matches;
    while (dirent* e = ::readdir(dir)) {
        std::string entry = e->d_name;
        if (entry == "." || entry == "..") continue;
        if (foldNameCase(entry) == want) matches.push_back(std::move(entry));
    }
    ::closedir(dir);
    if (matches.empty()) return {};
    return *std::min_element(matches.begin(), matches.end());
}

}  // namespace

std::string nativeSeparators(std::string_view programPath) {
    if (programPath.empty()) return {};
    std::string s(programPath);
    std::replace(s.begin(), s.end(), '\\', '/');
    const bool absolute = s.front() == '/';
    const bool trailing = s.size() > 1 && s.back() == '/';

    std::string out = absolute ? "/" : "";
    bool first = true;
    for (const std::string_view part : components(s)) {
        if (part == ".") continue;
        if (!first) out += '/';
        out += part;
        first = false;
    }
    if (out.empty()) return ".";
    if (trailing && out.back() != '/') out += '/';
    return out;
}

std::string resolvePath(std::string_view programPath) {
    std::string native = nativeSeparators(programPath);
    if (native.empty() || pathExists(native)) return native;

    const bool absolute = native.front() == '/';
    const bool trailing = native.size() > 1 && native.back() == '/';
    std::string out = absolute ? "/" : "";
    bool found = true;
    for (const std::string_view part : components(native)) {
        std::string next = join(out, part);
        if (found && !pathExists(next)) {
            const std::string match = (part == "..") ? std::string() : findNoCase(out, part);
            if (match.empty()) {
                found = false;
            } else {
                next = join(out, match);
            }
        }
        out = std::move(next);
    }
    if (trailing && out.back() != '/') out += '/';
    return out;
}

std::string absolutePath(std::string_view programPath) {
    std::filesystem::path p(resolvePath(programPath));
    if (p.empty()) return {};
    if (p.is_relative()) p = std::filesystem::path(currentFolder()) / p;
    std::string out = p.lexically_normal().string();
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::string withDefaultExtension(std::string_view fileName, std::string_view extension) {
    std::string name(fileName);
    const auto slash = name.find_last_of("/\\");
    const std::string_view last = std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1);
    if (last.empty() || last.find('.') != std::string_view::npos) return name;
    return name + std::string(extension);
}

std::string foldNameCase(std::string_view name) { return upper(name); }

bool namesEqualNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && upper(a) == upper(b); }

std::string currentFolder() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string(".") : p.string();
}

std::string programPath() {
    std::string buf(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return {};
    buf.resize(static_cast<std::size_t>(n));
    return buf;
}

std::string programFolder() {
    const std::string p = programPath();
    const auto cut = p.rfind('/');
    if (cut == std::string::npos) return currentFolder();
    return cut == 0 ? std::string("/") : p.substr(0, cut);
}

}  // namespace rt
