#pragma once
// The rows of a record source held by column: text columns dictionary-encoded (code 0 is NULL),
// numeric columns as doubles (NaN is NULL). Read once; every pivot works on this copy.

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pivot {

inline constexpr double kNull = std::numeric_limits<double>::quiet_NaN();
inline bool isNull(double v) { return std::isnan(v); }

// A vector whose elements a resize leaves unset, for arrays of a value per row that threads
// fill side by side: their pages are then first touched by the threads, not zeroed by one.
template <typename T>
struct Unset : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = Unset<U>;
    };
    Unset() = default;
    template <typename U>
    Unset(const Unset<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};
template <typename T>
using Buffer = std::vector<T, Unset<T>>;

// Reads a number as the engine hands it in text (DECIMAL, NUMERIC, BIGINT): "." as the decimal
// mark whatever the locale, surrounding blanks allowed. NaN when the text is no number.
double parseNumber(std::string_view text);

struct Column {
    std::string name;
    bool numeric = false;
    std::vector<double> num;        // numeric: one value per row
    std::vector<uint32_t> code;     // text: one dictionary code per row
    std::vector<std::string> dict;  // text: dict[0] is the NULL entry

    // The value of a row as a number (text parsed; NULL and non-numbers are NaN).
    double number(size_t row) const { return numeric ? num[row] : dictNumbers()[code[row]]; }
    const std::vector<double>& dictNumbers() const;

private:
    mutable std::vector<double> dictNum_;
};

class ColumnStore {
public:
    size_t rowCount() const { return rows_; }
    const std::vector<Column>& columns() const { return columns_; }
    const Column& column(size_t i) const { return columns_[i]; }

    // The column a field name names: equal ignoring case, else equal without a table qualifier
    // on either side ("A.k" and "k"), else a field name longer than the engine's 29 characters
    // by its first 29. -1 when none.
    int find(std::string_view name) const;

    // Building (the reader and tests).
    void clear();
    size_t addColumn(std::string name, bool numeric);
    void appendNumber(size_t col, double v) { columns_[col].num.push_back(v); }
    void appendText(size_t col, std::string_view text);
    void appendNull(size_t col);
    void finishRow() { ++rows_; }

    // Columns of the record source that were not read because nothing named them.
    const std::vector<std::string>& unreadColumns() const { return unread_; }
    void addUnreadColumn(std::string name) { unread_.push_back(std::move(name)); }

private:
    // Texts are looked up by their view, without a string made for the look-up.
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    using TextIndex = std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>>;
    std::vector<Column> columns_;
    std::vector<TextIndex> index_;
    std::vector<std::string> unread_;
    size_t rows_ = 0;
};

}  // namespace pivot
