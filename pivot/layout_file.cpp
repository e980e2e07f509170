#include "pivot/layout_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "pivot/number_format.h"
#include "runtime/text/strings.h"

namespace pivot {

namespace {

std::string escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    return out;
}

int toInt(const std::string& s, int def) {
    try {
        return std::stoi(s);
    } catch (...) {
        return def;
    }
}

}  // namespace

bool writeLayout(const std::string& file, const Layout& layout, std::string& error) {
    std::ostringstream out;
    out << "[Pivot]\nVersion=1\nFelder=" << layout.fields.size() << "\n";
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        const FieldDef& f = layout.fields[i];
        out << "\n[Feld" << i << "]\n";
        out << "Name=" << escape(f.name) << "\n";
        out << "Caption=" << escape(f.caption) << "\n";
        out << "Orientation=" << f.orientation << "\n";
        out << "Position=" << f.position << "\n";
        out << "AggregateFunc=" << f.aggregate << "\n";
        out << "NumberFormat=" << escape(f.numberFormat) << "\n";
        out << "GroupFooterType=" << f.footerType << "\n";
        out << "GroupFooterVisible=" << (f.footerVisible ? 1 : 0) << "\n";
        out << "ShowDetail=" << (f.showDetail ? 1 : 0) << "\n";
        for (auto& h : f.hiddenItems) out << "Ausgeblendet=" << escape(h) << "\n";
        for (auto& t : f.toggledItems) out << "Umgeklappt=" << escape(t) << "\n";
    }
    out << "\n[Spaltenbreiten]\n";
    for (auto& [c, w] : layout.widths) out << c << "=" << w << "\n";

    std::string text = out.str();
    std::string tmp = file + ".tmp" + std::to_string(::getpid());
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        error = file + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fflush(f) == 0 && ok;
    ok = ::fsync(::fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), file.c_str()) != 0) {
        error = file + ": " + std::strerror(errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool readLayout(const std::string& file, Layout& layout, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = file + ": " + std::strerror(errno);
        return false;
    }
    layout = {};
    std::string line, section;
    bool sawHeader = false;
    FieldDef* f = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.front() == '[') {
            section = line.substr(1, line.find(']') - 1);
            f = nullptr;
            if (section == "Pivot") sawHeader = true;
            if (section.rfind("Feld", 0) == 0) {
                layout.fields.emplace_back();
                f = &layout.fields.back();
            }
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (section == "Spaltenbreiten") {
            layout.widths[toInt(key, 0)] = std::max(0, toInt(value, 0));
            continue;
        }
        if (!f) continue;
        if (key == "Name")
            f->name = unescape(value);
        else if (key == "Caption")
            f->caption = unescape(value);
        else if (key == "Orientation")
            f->orientation = std::clamp(toInt(value, 0), 0, 4);
        else if (key == "Position")
            f->position = toInt(value, 0);
        else if (key == "AggregateFunc")
            f->aggregate = std::clamp(toInt(value, 0), 0, 8);
        else if (key == "NumberFormat")
            f->numberFormat = unescape(value);
        else if (key == "GroupFooterType")
            f->footerType = toInt(value, 1) == 4 ? 4 : 1;
        else if (key == "GroupFooterVisible")
            f->footerVisible = toInt(value, 1) != 0;
        else if (key == "ShowDetail")
            f->showDetail = toInt(value, 1) != 0;
        else if (key == "Ausgeblendet")
            f->hiddenItems.insert(unescape(value));
        else if (key == "Umgeklappt")
            f->toggledItems.insert(unescape(value));
    }
    if (!sawHeader) {
        error = file + ": kein Pivot-Layout";
        return false;
    }
    return true;
}

void applyLayout(const Layout& layout, std::vector<FieldDef>& fields) {
    std::vector<bool> used(fields.size(), false);
    for (const FieldDef& saved : layout.fields) {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (used[i] || !rt::equalsNoCase(fields[i].name, saved.name)) continue;
            used[i] = true;
            std::string format = fields[i].numberFormat;
            fields[i] = saved;
            if (!validNumberFormat(saved.numberFormat)) fields[i].numberFormat = format;
            break;
        }
    }
}

}  // namespace pivot
