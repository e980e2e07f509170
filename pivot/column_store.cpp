#include "pivot/column_store.h"

#include <charconv>

#include "runtime/text/strings.h"

namespace pivot {

double parseNumber(std::string_view text) {
    text = rt::trimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return kNull;
    double v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size()) return kNull;
    return v;
}

const std::vector<double>& Column::dictNumbers() const {
    // Parsed once per distinct text, when a text column is first used as a measure.
    if (dictNum_.size() != dict.size()) {
        dictNum_.resize(dict.size());
        dictNum_[0] = kNull;
        for (size_t i = 1; i < dict.size(); ++i) dictNum_[i] = parseNumber(dict[i]);
    }
    return dictNum_;
}

namespace {

std::string_view unqualified(std::string_view name) {
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

}  // namespace

int ColumnStore::find(std::string_view name) const {
    name = rt::trimBlanks(name);
    for (size_t i = 0; i < columns_.size(); ++i)
        if (rt::equalsNoCase(columns_[i].name, name)) return int(i);
    for (size_t i = 0; i < columns_.size(); ++i)
        if (rt::equalsNoCase(unqualified(columns_[i].name), unqualified(name))) return int(i);
    // The engine hands column names cut to 29 characters: a longer field name matches its cut.
    constexpr size_t kCut = 29;
    std::string_view plain = unqualified(name);
    if (rt::charLength(plain) > kCut)
        for (size_t i = 0; i < columns_.size(); ++i) {
            std::string_view col = unqualified(columns_[i].name);
            if (rt::charLength(col) == kCut && rt::equalsNoCase(col, rt::cutChars(plain, kCut))) return int(i);
        }
    return -1;
}

void ColumnStore::clear() {
    columns_.clear();
    index_.clear();
    unread_.clear();
    rows_ = 0;
}

size_t ColumnStore::addColumn(std::string name, bool numeric) {
    Column c;
    c.name = std::move(name);
    c.numeric = numeric;
    if (!numeric) c.dict.emplace_back();
    columns_.push_back(std::move(c));
    index_.emplace_back();
    return columns_.size() - 1;
}

void ColumnStore::appendText(size_t col, std::string_view text) {
    Column& c = columns_[col];
    if (c.numeric) {
        c.num.push_back(parseNumber(text));
        return;
    }
    TextIndex& idx = index_[col];
    auto it = idx.find(text);
    if (it == idx.end()) {
        it = idx.emplace(std::string(text), uint32_t(c.dict.size())).first;
        c.dict.emplace_back(text);
    }
    c.code.push_back(it->second);
}

void ColumnStore::appendNull(size_t col) {
    Column& c = columns_[col];
    if (c.numeric)
        c.num.push_back(kNull);
    else
        c.code.push_back(0);
}

}  // namespace pivot
