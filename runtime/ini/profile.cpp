#include "runtime/ini/profile.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>

#include "runtime/ini/ini_document.h"
#include "runtime/os/files.h"
#include "runtime/os/path.h"
#include "runtime/os/trace.h"

namespace rt {
namespace {

constexpr std::size_t kMaxFileBytes = 16u << 20;

struct FileEntry {
    std::mutex mutex;
    std::string lastReport;  // what was last traced about this file, so a read does not repeat it
};

// One lock per file, whatever the case and the separators of the name used for it.
FileEntry& entryFor(std::string_view file) {
    static std::mutex registryMutex;
    static std::map<std::string, std::unique_ptr<FileEntry>> entries;

    std::filesystem::path p(nativeSeparators(file));
    if (p.is_relative()) p = std::filesystem::path(currentFolder()) / p;
    const std::string key = foldNameCase(p.lexically_normal().string());

    std::lock_guard lock(registryMutex);
    auto& slot = entries[key];
    if (!slot) slot = std::make_unique<FileEntry>();
    return *slot;
}

enum class Load { Missing, Loaded, Unreadable };

// Reads the file into doc; entry's lock is held by the caller.
Load load(FileEntry& entry, const std::string& path, IniDocument& doc) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            entry.lastReport.clear();
            return Load::Missing;
        }
        const std::string key = std::string("stat ") + std::strerror(err);
        if (entry.lastReport != key) {
            entry.lastReport = key;
            trace("INI file " + path + ": cannot be read (" + std::strerror(err) + "); its settings read as defaults");
        }
        return Load::Unreadable;
    }
    const std::string stamp =
        std::to_string(st.st_size) + "/" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    auto report = [&](const std::string& what) {
        const std::string key = what + "@" + stamp;
        if (entry.lastReport == key) return;
        entry.lastReport = key;
        trace("INI file " + path + ": " + what);
    };

    std::optional<std::string> content;
    if (S_ISDIR(st.st_mode)) {
        report("is a folder; its settings read as defaults");
        return Load::Unreadable;
    }
    if (static_cast<std::size_t>(st.st_size) > kMaxFileBytes) {
        report("is too large to be a settings file; its settings read as defaults");
        return Load::Unreadable;
    }
    content = readFile(path, kMaxFileBytes);
    if (!content) {
        report(std::string("cannot be read (") + std::strerror(errno) + "); its settings read as defaults");
        return Load::Unreadable;
    }
    doc = IniDocument::parse(*content);
    if (doc.hadInvalidText()) report("holds lines that are no text; they are ignored");
    return Load::Loaded;
}

bool blank(std::string_view s) { return s.find_first_not_of(" \t") == std::string_view::npos; }

// A name that would read back as another line (a key with "=", or beginning like a comment or a
// section header; a section with "]"; a line break in either) can never be found again.
bool readableNames(std::string_view section, std::string_view key) {
    const std::string_view k = trimIniBlanks(key);
    const std::string_view s = trimIniBlanks(section);
    return k.find_first_of("=\r\n") == std::string_view::npos && s.find_first_of("]\r\n") == std::string_view::npos &&
           k.front() != ';' && k.front() != '#' && k.front() != '[';
}

bool validNames(std::string_view file, std::string_view section, std::string_view key) {
    if (blank(section) || blank(key)) return false;
    if (readableNames(section, key)) return true;
    trace("INI file " + std::string(file) + ": section \"" + std::string(section) + "\", key \"" + std::string(key) +
          "\" could never be read back; not written");
    return false;
}

std::optional<std::string> readValue(std::string_view file, std::string_view section, std::string_view key) {
    if (blank(section) || blank(key)) return std::nullopt;
    FileEntry& entry = entryFor(file);
    std::lock_guard lock(entry.mutex);
    IniDocument doc;
    if (load(entry, resolvePath(file), doc) != Load::Loaded) return std::nullopt;
    return doc.get(section, key);
}

// Applies an edit and writes the file when the edit changed something.
bool edit(std::string_view file, bool createWhenMissing, const std::function<bool(IniDocument&)>& change) {
    FileEntry& entry = entryFor(file);
    std::lock_guard lock(entry.mutex);
    const std::string path = resolvePath(file);
    IniDocument doc;
    const Load state = load(entry, path, doc);
    if (state == Load::Unreadable) {
        trace("INI file " + path + ": not written, since it cannot be read");
        return false;
    }
    if (state == Load::Missing && !createWhenMissing) return true;
    if (doc.hadInvalidText()) doc.dropInvalidLines();
    if (!change(doc)) return true;
    std::string why;
    if (!writeFileReplacing(path, doc.serialize(), &why)) {
        trace("INI file " + path + ": cannot be written (" + why + "); the old file stays");
        return false;
    }
    return true;
}

}  // namespace

std::string getProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view defaultValue) {
    auto value = readValue(file, section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

std::optional<std::string> tryGetProfileString(std::string_view file, std::string_view section, std::string_view key) {
    return readValue(file, section, key);
}

long long getProfileNumber(std::string_view file, std::string_view section, std::string_view key,
                           long long defaultValue) {
    const auto value = readValue(file, section, key);
    return value ? profileNumber(*value) : defaultValue;
}

long long profileNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto point = text.find('.');
    std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    auto allDigits = [](std::string_view s) {
        for (char c : s) {
            if (c < '0' || c > '9') return false;
        }
        return true;
    };
    if (whole.empty() || !allDigits(whole) || !allDigits(fraction)) return 0;
    unsigned long long magnitude = 0;
    const auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), magnitude);
    if (ec != std::errc() || end != whole.data() + whole.size()) return 0;
    constexpr unsigned long long maxPositive = 9223372036854775807ull;
    if (negative) {
        if (magnitude > maxPositive + 1) return 0;
        return magnitude == maxPositive + 1 ? (-9223372036854775807ll - 1) : -static_cast<long long>(magnitude);
    }
    if (magnitude > maxPositive) return 0;
    return static_cast<long long>(magnitude);
}

bool writeProfileString(std::string_view file, std::string_view section, std::string_view key, std::string_view value) {
    if (!validNames(file, section, key)) return false;
    return edit(file, true, [&](IniDocument& doc) {
        doc.set(section, key, value);
        return true;
    });
}

bool writeProfileNumber(std::string_view file, std::string_view section, std::string_view key, long long value) {
    return writeProfileString(file, section, key, std::to_string(value));
}

bool deleteProfileKey(std::string_view file, std::string_view section, std::string_view key) {
    return edit(file, false, [&](IniDocument& doc) { return doc.removeKey(section, key); });
}

bool deleteProfileSection(std::string_view file, std::string_view section) {
    return edit(file, false, [&](IniDocument& doc) { return doc.removeSection(section); });
}

}  // namespace rt
