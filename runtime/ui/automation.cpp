#include "runtime/ui/automation.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>

#include "runtime/text/strings.h"

namespace rt {

// ---------------------------------------------------------------------------------------------
// AutoValue

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool parseNumber(std::string_view s, double& out) {
    s = trim(s);
    if (s.empty()) return false;
    if (s.front() == '+') s.remove_prefix(1);
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

bool AutoValue::toBool() const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(v_);
    case Type::Int: return std::get<std::int64_t>(v_) != 0;
    case Type::Double: return std::get<double>(v_) != 0.0;
    case Type::Text: {
        std::string u = upper(trim(std::get<std::string>(v_)));
        if (u == "TRUE") return true;
        return toDouble() != 0.0;
    }
    default: return false;
    }
}

std::int64_t AutoValue::toInt() const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Type::Int: return std::get<std::int64_t>(v_);
    case Type::Double: return static_cast<std::int64_t>(std::llround(std::get<double>(v_)));
    case Type::Text: return static_cast<std::int64_t>(std::llround(toDouble()));
    default: return 0;
    }
}

double AutoValue::toDouble() const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? 1.0 : 0.0;
    case Type::Int: return static_cast<double>(std::get<std::int64_t>(v_));
    case Type::Double: return std::get<double>(v_);
    case Type::Text: {
        double d = 0;
        return parseNumber(std::get<std::string>(v_), d) ? d : 0.0;
    }
    default: return 0.0;
    }
}

std::string AutoValue::toText() const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? "1" : "0";
    case Type::Int: return std::to_string(std::get<std::int64_t>(v_));
    case Type::Double: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", std::get<double>(v_));
        return buf;
    }
    case Type::Text: return std::get<std::string>(v_);
    default: return {};
    }
}

std::shared_ptr<AutomationObject> AutoValue::toObject() const {
    return type() == Type::Object ? std::get<std::shared_ptr<AutomationObject>>(v_) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Factories

namespace {

struct Factories {
    std::mutex mutex;
    std::map<std::string, ControlFactory> byProgId;  // upper-case ProgID
};

Factories& factories() {
    static Factories* f = new Factories;
    return *f;
}

}  // namespace

void registerControlFactory(std::string progId, ControlFactory factory) {
    auto& f = factories();
    std::lock_guard lock(f.mutex);
    f.byProgId[upper(progId)] = std::move(factory);
}

void unregisterControlFactory(std::string_view progId) {
    auto& f = factories();
    std::lock_guard lock(f.mutex);
    f.byProgId.erase(upper(progId));
}

std::shared_ptr<AutomationObject> createAutomationObject(std::string_view progId) {
    ControlFactory factory;
    {
        auto& f = factories();
        std::lock_guard lock(f.mutex);
        auto it = f.byProgId.find(upper(progId));
        if (it == f.byProgId.end()) return nullptr;
        factory = it->second;
    }
    try {
        return factory();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "control %s could not be created: %s\n", std::string(progId).c_str(), e.what());
        return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Dotted paths

namespace {

struct Part {
    std::string name;
    std::vector<AutoValue> args;
};

AutoValue literal(std::string_view s) {
    s = trim(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return std::string(s.substr(1, s.size() - 2));
    double d = 0;
    if (parseNumber(s, d)) {
        if (d == std::floor(d) && std::fabs(d) < 9e15) return static_cast<long long>(d);
        return d;
    }
    return std::string(s);
}

// "Fields.Item(3).ShowDetail" → Fields, Item(3), ShowDetail. Dots inside parentheses or quotes
// do not split.
std::vector<Part> splitPath(std::string_view path) {
    std::vector<Part> parts;
    std::string current;
    std::string args;
    int depth = 0;
    bool quoted = false;
    Part part;
    auto finishArgs = [&] {
        std::size_t start = 0;
        int d = 0;
        bool q = false;
        for (std::size_t i = 0; i <= args.size(); ++i) {
            if (i < args.size()) {
                char c = args[i];
                if (c == '"') q = !q;
                if (!q && c == '(') ++d;
                if (!q && c == ')') --d;
                if (q || d > 0 || c != ',') continue;
            }
            std::string_view a(args.data() + start, i - start);
            if (!trim(a).empty() || i < args.size()) part.args.push_back(literal(a));
            start = i + 1;
        }
        args.clear();
    };
    for (char c : path) {
        if (depth > 0) {
            if (c == '"') quoted = !quoted;
            if (!quoted && c == '(') ++depth;
            if (!quoted && c == ')' && --depth == 0) {
                finishArgs();
                continue;
            }
            args += c;
            continue;
        }
        if (c == '(') {
            part.name = current;
            depth = 1;
            continue;
        }
        if (c == '.') {
            if (part.name.empty()) part.name = current;
            parts.push_back(std::move(part));
            part = Part{};
            current.clear();
            continue;
        }
        current += c;
    }
    if (part.name.empty()) part.name = current;
    parts.push_back(std::move(part));
    return parts;
}

AutomationObject& walk(AutomationObject& root, const std::vector<Part>& parts,
                       std::shared_ptr<AutomationObject>& hold) {
    AutomationObject* o = &root;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        hold = o->get(parts[i].name, parts[i].args).toObject();
        if (!hold) throw AutomationError("'" + parts[i].name + "' is no object");
        o = hold.get();
    }
    return *o;
}

std::vector<AutoValue> withArgs(const Part& last, const std::vector<AutoValue>& args) {
    std::vector<AutoValue> all = last.args;
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

}  // namespace

AutoValue automationGet(AutomationObject& object, std::string_view path, const std::vector<AutoValue>& args) {
    auto parts = splitPath(path);
    std::shared_ptr<AutomationObject> hold;
    return walk(object, parts, hold).get(parts.back().name, withArgs(parts.back(), args));
}

void automationSet(AutomationObject& object, std::string_view path, const AutoValue& value,
                   const std::vector<AutoValue>& args) {
    auto parts = splitPath(path);
    std::shared_ptr<AutomationObject> hold;
    walk(object, parts, hold).set(parts.back().name, value, withArgs(parts.back(), args));
}

AutoValue automationCall(AutomationObject& object, std::string_view path, const std::vector<AutoValue>& args) {
    auto parts = splitPath(path);
    std::shared_ptr<AutomationObject> hold;
    return walk(object, parts, hold).call(parts.back().name, withArgs(parts.back(), args));
}

}  // namespace rt
