#include "runtime/ini/ini_document.h"

#include <algorithm>

#include "runtime/os/path.h"
#include "runtime/text/strings.h"

namespace rt {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        const auto second = static_cast<unsigned char>(s[i + 1]);
        if (second < lo || second > hi) return false;
        for (std::size_t k = 2; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

// Names and values never carry a line break into the file: it would make a line of its own.
std::string oneLine(std::string_view s) {
    std::string out(s);
    std::replace(out.begin(), out.end(), '\r', ' ');
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

}  // namespace

std::string_view trimIniBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

IniDocument::Line IniDocument::classify(std::string text) {
    Line line;
    const std::string_view t = trimIniBlanks(text);
    if (!t.empty() && t.front() == '[') {
        const auto close = t.find(']');
        if (close != std::string_view::npos) {
            line.kind = Kind::Section;
            line.name = foldNameCase(trimIniBlanks(t.substr(1, close - 1)));
        }
    } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
        const auto eq = t.find('=');
        if (eq != std::string_view::npos) {
            const std::string_view key = trimIniBlanks(t.substr(0, eq));
            if (!key.empty()) {
                line.kind = Kind::Key;
                line.name = foldNameCase(key);
            }
        }
    }
    line.text = std::move(text);
    return line;
}

IniDocument IniDocument::parse(std::string_view content) {
    IniDocument doc;
    if (content.substr(0, kBom.size()) == kBom) {
        doc.bom_ = true;
        content.remove_prefix(kBom.size());
    }
    while (!content.empty()) {
        const auto cut = content.find('\n');
        std::string_view raw = content.substr(0, cut);
        content.remove_prefix(cut == std::string_view::npos ? content.size() : cut + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (raw.find('\0') != std::string_view::npos) {
            Line line;
            line.text = std::string(raw);
            line.invalid = true;
            ++doc.invalidLines_;
            doc.lines_.push_back(std::move(line));
        } else if (validUtf8(raw)) {
            doc.lines_.push_back(classify(std::string(raw)));
        } else {
            // Written in the ANSI code page by an older installation: its umlauts stay.
            doc.lines_.push_back(classify(fromCp1252(raw)));
        }
    }
    return doc;
}

std::string IniDocument::serialize() const {
    std::string out;
    if (bom_) out += kBom;
    for (const Line& line : lines_) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

void IniDocument::dropInvalidLines() {
    lines_.erase(std::remove_if(lines_.begin(), lines_.end(), [](const Line& l) { return l.invalid; }), lines_.end());
    invalidLines_ = 0;
}

std::size_t IniDocument::findSection(const std::string& folded) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && lines_[i].name == folded) return i;
    }
    return std::string::npos;
}

std::size_t IniDocument::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
    return i;
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
    const std::size_t header = findSection(foldNameCase(trimIniBlanks(section)));
    if (header == std::string::npos) return std::nullopt;
    const std::string k = foldNameCase(trimIniBlanks(key));
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const Line& line = lines_[i];
        if (line.kind != Kind::Key || line.name != k) continue;
        std::string_view value = trimIniBlanks(std::string_view(line.text).substr(line.text.find('=') + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sectionName = oneLine(trimIniBlanks(section));
    const std::string keyName = oneLine(trimIniBlanks(key));
    const std::string text = oneLine(value);
    const std::string k = foldNameCase(keyName);

    std::size_t header = findSection(foldNameCase(sectionName));
    if (header == std::string::npos) {
        if (!lines_.empty() && !trimIniBlanks(lines_.back().text).empty()) lines_.push_back(classify(""));
        lines_.push_back(classify("[" + sectionName + "]"));
        lines_.push_back(classify(keyName + "=" + text));
        return;
    }
    const std::size_t end = sectionEnd(header);
    std::size_t lastKey = header;
    for (std::size_t i = header + 1; i < end; ++i) {
        Line& line = lines_[i];
        if (line.kind != Kind::Key) continue;
        if (line.name == k) {
            // The key keeps the spelling it has in the file.
            const std::string_view t = line.text;
            const auto eq = t.find('=');
            const std::string_view lead = t.substr(0, t.find_first_not_of(" \t"));
            line = classify(std::string(lead) + std::string(trimIniBlanks(t.substr(0, eq))) + "=" + text);
            return;
        }
        lastKey = i;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastKey + 1), classify(keyName + "=" + text));
}

bool IniDocument::removeKey(std::string_view section, std::string_view key) {
    const std::size_t header = findSection(foldNameCase(trimIniBlanks(section)));
    if (header == std::string::npos) return false;
    const std::string k = foldNameCase(trimIniBlanks(key));
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Key && lines_[i].name == k) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

bool IniDocument::removeSection(std::string_view section) {
    // Every section of that name goes, so that no later copy of it comes to light.
    const std::string folded = foldNameCase(trimIniBlanks(section));
    bool removed = false;
    for (std::size_t header = findSection(folded); header != std::string::npos; header = findSection(folded)) {
        const std::size_t end = sectionEnd(header);
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
        removed = true;
    }
    return removed;
}

}  // namespace rt
