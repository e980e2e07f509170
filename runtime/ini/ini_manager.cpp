#include "runtime/ini/ini_manager.h"

#include <algorithm>
#include <cassert>

#include "runtime/ini/ini_document.h"
#include "runtime/ini/profile.h"
#include "runtime/os/path.h"

namespace rt {
namespace {

bool listed(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return namesEqualNoCase(n, name); });
}

// The list is one value: names separated by ",", with "\" escaping a "," or "\" in a name.
std::string joinSections(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += ',';
        for (char c : names[i]) {
            if (c == ',' || c == '\\') out += '\\';
            out += c;
        }
    }
    return out;
}

std::vector<std::string> splitSections(std::string_view value) {
    std::vector<std::string> names;
    std::string current;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\') {
            if (i + 1 < value.size()) current += value[++i];  // a lone "\" at the end escapes nothing
        } else if (c == ',') {
            names.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    names.push_back(std::move(current));
    std::vector<std::string> out;
    for (const auto& n : names) {
        const std::string_view name = trimIniBlanks(n);
        if (!name.empty() && !listed(out, name)) out.emplace_back(name);
    }
    return out;
}

}  // namespace

void IniManager::setFileName(std::string_view fileName) {
    {
        std::lock_guard lock(mutex_);
        fileName_ = std::string(fileName);
        sections_.clear();
        if (fileName_.empty()) return;
    }
    fetchPreserved();
    const std::string list = fetch(kSectorsSection, kSectorsKey, "");
    std::lock_guard lock(mutex_);
    // Sections written by fetchPreserved overrides stay in the list.
    std::vector<std::string> merged = splitSections(list);
    for (auto& s : sections_) {
        if (!listed(merged, s)) merged.push_back(std::move(s));
    }
    sections_ = std::move(merged);
}

std::string IniManager::fileName() const {
    std::lock_guard lock(mutex_);
    return fileName_;
}

void IniManager::close() {
    std::string file;
    std::string list;
    {
        std::lock_guard lock(mutex_);
        if (fileName_.empty()) return;
        file = fileName_;
        list = joinSections(sections_);
    }
    writeProfileString(file, kSectorsSection, kSectorsKey, list);
}

std::string IniManager::fetch(std::string_view section, std::string_view key, std::string_view defaultValue) const {
    auto value = tryFetch(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

std::optional<std::string> IniManager::tryFetch(std::string_view section, std::string_view key) const {
    const std::string file = fileName();
    assert(!file.empty() && "IniManager used before its file was named");
    if (file.empty()) return std::nullopt;
    return tryGetProfileString(file, section, key);
}

long long IniManager::fetchNumber(std::string_view section, std::string_view key, long long defaultValue) const {
    const auto value = tryFetch(section, key);
    return value ? profileNumber(*value) : defaultValue;
}

void IniManager::noteSection(std::string_view section) {
    if (namesEqualNoCase(section, kSectorsSection)) return;
    const std::string_view name = trimIniBlanks(section);
    if (name.empty()) return;
    std::lock_guard lock(mutex_);
    if (!listed(sections_, name)) sections_.emplace_back(name);
}

bool IniManager::update(std::string_view section, std::string_view key, std::string_view value) {
    const std::string file = fileName();
    assert(!file.empty() && "IniManager used before its file was named");
    if (file.empty()) return false;
    const bool written = writeProfileString(file, section, key, value);
    if (written) noteSection(section);
    return written;
}

bool IniManager::update(std::string_view section, std::string_view key, long long value) {
    return update(section, key, std::string_view(std::to_string(value)));
}

bool IniManager::deleteKey(std::string_view section, std::string_view key) {
    const std::string file = fileName();
    assert(!file.empty() && "IniManager used before its file was named");
    return !file.empty() && deleteProfileKey(file, section, key);
}

bool IniManager::deleteSection(std::string_view section) {
    const std::string file = fileName();
    assert(!file.empty() && "IniManager used before its file was named");
    if (file.empty() || !deleteProfileSection(file, section)) return false;
    std::lock_guard lock(mutex_);
    sections_.erase(std::remove_if(sections_.begin(), sections_.end(),
                                   [&](const std::string& s) { return namesEqualNoCase(s, section); }),
                    sections_.end());
    return true;
}

std::vector<std::string> IniManager::writtenSections() const {
    std::lock_guard lock(mutex_);
    return sections_;
}

void IniManager::preserveText(std::string key, std::function<std::string()> get,
                              std::function<void(const std::string&)> set) {
    std::lock_guard lock(mutex_);
    preserved_.push_back(Preserved{std::move(key), std::move(get), std::move(set), {}, {}});
}

void IniManager::preserveNumber(std::string key, std::function<long long()> get, std::function<void(long long)> set) {
    std::lock_guard lock(mutex_);
    preserved_.push_back(Preserved{std::move(key), {}, {}, std::move(get), std::move(set)});
}

std::vector<IniManager::Preserved> IniManager::preservedCopy() const {
    std::lock_guard lock(mutex_);
    return preserved_;
}

void IniManager::fetchPreserved() {
    // The variables' own setters run outside the manager's lock: they may call back into it.
    for (const Preserved& p : preservedCopy()) {
        if (p.setText) {
            p.setText(fetch(kPreservedSection, p.key, ""));
        } else if (p.setNumber) {
            p.setNumber(fetchNumber(kPreservedSection, p.key, 0));
        }
    }
}

void IniManager::savePreserved() {
    for (const Preserved& p : preservedCopy()) {
        if (p.getText) {
            update(kPreservedSection, p.key, std::string_view(p.getText()));
        } else if (p.getNumber) {
            update(kPreservedSection, p.key, p.getNumber());
        }
    }
}

}  // namespace rt
