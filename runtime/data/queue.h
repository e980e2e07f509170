// In-memory queues: ordered lists of records with add, sort, lookup and fetch by position.
// Positions count from 1. A queue with a descriptor can be shown field by field (inspection
// window) and sorted by field labels.
//
//   struct Row { rt::CString<256> C1; rt::Long RECORDID; };
//   rt::Queue<Row> q(&rowDesc());
//   q.add(row);
//   q.sortBy({rt::QueueKey<Row>(&Row::C1), rt::QueueKey<Row>(&Row::RECORDID, true)});
//   if (auto pos = q.lookup(&Row::RECORDID, 7)) q.get(pos).C1 = "x";
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/data/record.h"

namespace rt {

// What the inspection window and generic code see of any queue.
class QueueBase {
public:
    virtual ~QueueBase() = default;
    virtual std::size_t records() const = 0;
    virtual const RecordDesc* desc() const = 0;
    virtual const void* entry(std::size_t position) const = 0;  // 1-based; null outside
    // Advances with every change (add, put, delete, sort, free).
    std::uint64_t changeStamp() const { return stamp_; }

protected:
    void changed() { ++stamp_; }

private:
    std::uint64_t stamp_ = 0;
};

// One sort component of a queue: a member, ascending or descending; text compares without
// regard to trailing blanks (nocase: also to case).
template <class R>
class QueueKey {
public:
    template <class T>
    QueueKey(T R::*member, bool descending = false, bool nocase = false)  // NOLINT(implicit)
        : descending_(descending) {
        compare_ = [member, nocase](const R& a, const R& b) -> int {
            const T& x = a.*member;
            const T& y = b.*member;
            if constexpr (std::is_convertible_v<const T&, std::string_view>) {
                return nocase ? compareNoCase(std::string_view(x), std::string_view(y))
                              : compareTrimmed(std::string_view(x), std::string_view(y));
            } else if constexpr (std::is_same_v<T, Date> || std::is_same_v<T, Time>) {
                return x.value < y.value ? -1 : (x.value > y.value ? 1 : 0);
            } else {
                return x < y ? -1 : (y < x ? 1 : 0);
            }
        };
    }
    int compare(const R& a, const R& b) const {
        int c = compare_(a, b);
        return descending_ ? -c : c;
    }

private:
    std::function<int(const R&, const R&)> compare_;
    bool descending_;
};

template <class R>
class Queue : public QueueBase {
public:
    explicit Queue(const RecordDesc* desc = nullptr) : desc_(desc) {}
    Queue(const Queue& other) : QueueBase(), desc_(other.desc_), rows_(other.rows_) {}
    Queue& operator=(const Queue& other) {
        desc_ = other.desc_;
        rows_ = other.rows_;
        changed();
        return *this;
    }

    std::size_t records() const override { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const RecordDesc* desc() const override { return desc_; }
    const void* entry(std::size_t position) const override {
        return position >= 1 && position <= rows_.size() ? &rows_[position - 1] : nullptr;
    }

    // Appends; with a position, inserts before it (beyond the end appends). Returns the position.
    std::size_t add(const R& row) {
        rows_.push_back(row);
        changed();
        return rows_.size();
    }
    std::size_t add(const R& row, std::size_t position) {
        if (position < 1 || position > rows_.size()) return add(row);
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(position - 1), row);
        changed();
        return position;
    }
    // Inserts in the order of the keys (after equal entries); returns the position.
    std::size_t addSorted(const R& row, const std::vector<QueueKey<R>>& keys) {
        auto it =
            std::upper_bound(rows_.begin(), rows_.end(), row, [&](const R& a, const R& b) { return less(keys, a, b); });
        auto pos = static_cast<std::size_t>(it - rows_.begin()) + 1;
        rows_.insert(it, row);
        changed();
        return pos;
    }

    R& get(std::size_t position) { return rows_.at(position - 1); }
    const R& get(std::size_t position) const { return rows_.at(position - 1); }
    // Copies entry `position` into out: 0, or 30 (entry not found) outside the queue.
    int fetch(std::size_t position, R& out) const {
        if (position < 1 || position > rows_.size()) return 30;
        out = rows_[position - 1];
        return 0;
    }
    int put(std::size_t position, const R& row) {
        if (position < 1 || position > rows_.size()) return 30;
        rows_[position - 1] = row;
        changed();
        return 0;
    }
    int erase(std::size_t position) {
        if (position < 1 || position > rows_.size()) return 30;
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(position - 1));
        changed();
        return 0;
    }
    void free() {
        rows_.clear();
        changed();
    }

    // Stable sorts.
    void sortBy(const std::vector<QueueKey<R>>& keys) {
        std::stable_sort(rows_.begin(), rows_.end(), [&](const R& a, const R& b) { return less(keys, a, b); });
        changed();
    }
    void sort(const std::function<bool(const R&, const R&)>& lessThan) {
        std::stable_sort(rows_.begin(), rows_.end(), lessThan);
        changed();
    }
    // By an order text over the descriptor's labels: "+C1,-RECORDID", "-UPPER(C1),+RECORDID*2"
    // (see runtime/expr/order.h). False when the text is rejected or the queue has no descriptor.
    bool sort(std::string_view order);

    // Position of the first entry whose member equals value (text: trailing blanks ignored),
    // 0 when none.
    template <class T, class V>
    std::size_t lookup(T R::*member, const V& value) const {
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const T& x = rows_[i].*member;
            bool eq;
            if constexpr (std::is_convertible_v<const T&, std::string_view>)
                eq = equalsTrimmed(std::string_view(x), std::string_view(value));
            else if constexpr (std::is_same_v<T, Date> || std::is_same_v<T, Time>)
                eq = x.value == value;
            else
                eq = x == value;
            if (eq) return i + 1;
        }
        return 0;
    }
    std::size_t find(const std::function<bool(const R&)>& match) const {
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (match(rows_[i])) return i + 1;
        return 0;
    }

    auto begin() { return rows_.begin(); }
    auto end() { return rows_.end(); }
    auto begin() const { return rows_.begin(); }
    auto end() const { return rows_.end(); }

private:
    static bool less(const std::vector<QueueKey<R>>& keys, const R& a, const R& b) {
        for (const auto& k : keys) {
            int c = k.compare(a, b);
            if (c != 0) return c < 0;
        }
        return false;
    }

    const RecordDesc* desc_;
    std::vector<R> rows_;
};

// Resolves "+A,-B,UPPER(C)" against a descriptor when every key is a field label, optionally
// inside UPPER( ): (field index, descending, nocase) per key; false when a key is anything else
// (an unknown label, an expression), which only the evaluator can order by.
struct OrderPart {
    int field;
    bool descending;
    bool nocase;
};
bool parseOrder(const RecordDesc& desc, std::string_view order, std::vector<OrderPart>& parts);
// Compares two records of one layout on one field: <0, 0, >0.
int compareField(const RecordDesc& desc, const void* a, const void* b, int field, bool nocase);
// The entries of a queue with a descriptor in the order of an order text (rt::Order: any
// expression over the entry's fields and the thread's bindings), as 0-based indexes, stable;
// false when the text is rejected, a key cannot be computed or the queue has no descriptor.
bool sortedEntries(const QueueBase& queue, std::string_view order, std::vector<std::size_t>& indexes);

template <class R>
bool Queue<R>::sort(std::string_view order) {
    if (!desc_) return false;
    // Fields alone compare in place, the entries sorted where they are.
    std::vector<OrderPart> parts;
    if (parseOrder(*desc_, order, parts)) {
        std::stable_sort(rows_.begin(), rows_.end(), [&](const R& a, const R& b) {
            for (const auto& p : parts) {
                int c = compareField(*desc_, &a, &b, p.field, p.nocase);
                if (c != 0) return p.descending ? c > 0 : c < 0;
            }
            return false;
        });
        changed();
        return true;
    }
    std::vector<std::size_t> indexes;
    if (!sortedEntries(*this, order, indexes)) return false;
    std::vector<R> sorted;
    sorted.reserve(rows_.size());
    for (std::size_t i : indexes) sorted.push_back(std::move(rows_[i]));
    rows_ = std::move(sorted);
    changed();
    return true;
}

}  // namespace rt
