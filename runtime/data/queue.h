// In-memory queues: ordered lists of records with add, sort, lookup and fetch by position.
// Positions count from 1. A queue with a descriptor can be shown field by field (inspection
// window) and sorted by field labels.
//
//   struct Row { rt::CString<256> C1; rt::Long RECORDID; };
//   rt::Queue<Row> q(&rowDesc());
//   q.add(row);
//   q.sortBy({rt::QueueKey<Row>(&Row::C1), rt::QueueKey<Row>(&Row::RECORDID, true)});
//   if (auto pos = q.lookup(&Row::RECORDID, 7)) q.get(pos).C1 = "x";
//   auto rows = q.snapshot();  // the entries of now, for another thread to read
//
// The entries lie in blocks that copies of the queue and snapshots share: a block is copied
// only when an entry in it changes while someone else still holds it, so a snapshot of a
// million entries costs a few thousand pointers, and a change after it one block.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
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
    // Advances with every change (add, put, delete, sort, free) and every entry handed out to be
    // changed (get of a queue that is not const).
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

namespace detail {

// The blocks of a queue and where each ends. While every block but the last is full, a
// position finds its block by division; inserts and deletes in the middle leave blocks of
// other sizes, found by a binary search over the ends.
template <class R>
struct QueueBlocks {
    using Block = std::vector<R>;
    // About 64 KB of entries a block: small enough to copy at once, large enough that a queue
    // of a million entries has only thousands.
    static constexpr std::size_t kFull = std::max<std::size_t>(16, 65536 / sizeof(R));

    std::vector<std::shared_ptr<Block>> blocks;
    std::vector<std::size_t> ends;  // ends[b]: entries in blocks 0 .. b
    bool uniform = true;

    std::size_t size() const { return ends.empty() ? 0 : ends.back(); }
    // Block and index in it of entry `index` (0-based, inside the queue).
    std::pair<std::size_t, std::size_t> locate(std::size_t index) const {
        if (uniform) return {index / kFull, index % kFull};
        auto it = std::upper_bound(ends.begin(), ends.end(), index);
        const auto b = static_cast<std::size_t>(it - ends.begin());
        return {b, index - (b == 0 ? 0 : ends[b - 1])};
    }
    const R& at(std::size_t index) const {
        auto [b, i] = locate(index);
        return (*blocks[b])[i];
    }
    void recount(std::size_t from) {
        for (std::size_t b = from; b < blocks.size(); ++b) ends[b] = (b == 0 ? 0 : ends[b - 1]) + blocks[b]->size();
    }
};

// True when nobody but the holder keeps the block; its reads from other threads, ended by
// letting it go, are then complete before the holder writes.
template <class B>
bool soleHolder(const std::shared_ptr<B>& block) {
    if (block.use_count() != 1) return false;
    std::atomic_thread_fence(std::memory_order_acquire);
    return true;
}

// A text to sort by: its first eight bytes as one number (the text's bytes compare as the
// numbers do up to the shorter text's end), its length, where it is and its entry's place.
struct TextKey {
    TextKey() = default;
    TextKey(std::string_view text, std::size_t place);
    std::uint64_t lead = 0;
    const char* data = nullptr;
    std::uint32_t size = 0;
    std::size_t index = 0;
};
// Stable: in the order of compareTrimmed, entries of equal text in their places' order.
void sortTextKeys(std::vector<TextKey>& keys, bool descending);

// Walks the entries block by block.
template <class R>
class QueueIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = R;
    using difference_type = std::ptrdiff_t;
    using pointer = const R*;
    using reference = const R&;

    QueueIterator() = default;
    QueueIterator(const QueueBlocks<R>* rows, std::size_t block) : rows_(rows), block_(block) { settle(); }

    reference operator*() const { return (*rows_->blocks[block_])[index_]; }
    pointer operator->() const { return &**this; }
    QueueIterator& operator++() {
        ++index_;
        settle();
        return *this;
    }
    QueueIterator operator++(int) {
        QueueIterator old = *this;
        ++*this;
        return old;
    }
    bool operator==(const QueueIterator& o) const { return block_ == o.block_ && index_ == o.index_; }

private:
    void settle() {
        while (rows_ && block_ < rows_->blocks.size() && index_ >= rows_->blocks[block_]->size()) {
            ++block_;
            index_ = 0;
        }
    }
    const QueueBlocks<R>* rows_ = nullptr;
    std::size_t block_ = 0, index_ = 0;
};

}  // namespace detail

template <class R>
class Queue;

// The entries of a queue at one moment. Nothing changes them any more, so any thread may read
// them while the queue goes on changing.
template <class R>
class QueueSnapshot {
public:
    std::size_t records() const { return rows_.size(); }
    const R& operator[](std::size_t index) const { return rows_.at(index); }  // 0-based
    using const_iterator = detail::QueueIterator<R>;
    const_iterator begin() const { return const_iterator(&rows_, 0); }
    const_iterator end() const { return const_iterator(&rows_, rows_.blocks.size()); }

private:
    friend class Queue<R>;
    explicit QueueSnapshot(detail::QueueBlocks<R> rows) : rows_(std::move(rows)) {}
    detail::QueueBlocks<R> rows_;
};

template <class R>
class Queue : public QueueBase {
    using Blocks = detail::QueueBlocks<R>;
    using Block = typename Blocks::Block;
    static constexpr std::size_t kFull = Blocks::kFull;

public:
    using const_iterator = detail::QueueIterator<R>;

    explicit Queue(const RecordDesc* desc = nullptr) : desc_(desc) {}
    // Copies share the blocks until either side changes one.
    Queue(const Queue& other) : QueueBase(), desc_(other.desc_), rows_(other.rows_) {}
    Queue& operator=(const Queue& other) {
        desc_ = other.desc_;
        rows_ = other.rows_;
        changed();
        return *this;
    }

    std::size_t records() const override { return rows_.size(); }
    bool empty() const { return rows_.size() == 0; }
    const RecordDesc* desc() const override { return desc_; }
    const void* entry(std::size_t position) const override {
        return position >= 1 && position <= rows_.size() ? &rows_.at(position - 1) : nullptr;
    }

    // The entries as they are now, for reading on any thread; cheap however long the queue.
    std::shared_ptr<const QueueSnapshot<R>> snapshot() const {
        return std::shared_ptr<const QueueSnapshot<R>>(new QueueSnapshot<R>(rows_));
    }

    // Appends; with a position, inserts before it (beyond the end appends). Returns the position.
    std::size_t add(const R& row) { return append(row); }
    std::size_t add(R&& row) { return append(std::move(row)); }
    std::size_t add(const R& row, std::size_t position) {
        if (position < 1 || position > rows_.size()) return add(row);
        insertAt(position - 1, row);
        changed();
        return position;
    }
    // Inserts in the order of the keys (after equal entries); returns the position.
    std::size_t addSorted(const R& row, const std::vector<QueueKey<R>>& keys) {
        std::size_t low = 0, high = rows_.size();
        while (low < high) {
            std::size_t mid = low + (high - low) / 2;
            if (less(keys, row, rows_.at(mid)))
                high = mid;
            else
                low = mid + 1;
        }
        if (low == rows_.size()) return add(row);
        insertAt(low, row);
        changed();
        return low + 1;
    }

    R& get(std::size_t position) {
        check(position);
        changed();
        auto [b, i] = rows_.locate(position - 1);
        return (*writable(b))[i];
    }
    const R& get(std::size_t position) const {
        check(position);
        return rows_.at(position - 1);
    }
    // Copies entry `position` into out: 0, or 30 (entry not found) outside the queue.
    int fetch(std::size_t position, R& out) const {
        if (position < 1 || position > rows_.size()) return 30;
        out = rows_.at(position - 1);
        return 0;
    }
    int put(std::size_t position, const R& row) {
        if (position < 1 || position > rows_.size()) return 30;
        auto [b, i] = rows_.locate(position - 1);
        (*writable(b))[i] = row;
        changed();
        return 0;
    }
    int erase(std::size_t position) {
        if (position < 1 || position > rows_.size()) return 30;
        auto [b, i] = rows_.locate(position - 1);
        Block& block = *writable(b);
        block.erase(block.begin() + static_cast<std::ptrdiff_t>(i));
        if (b + 1 < rows_.blocks.size()) rows_.uniform = false;
        if (block.empty()) {
            rows_.blocks.erase(rows_.blocks.begin() + static_cast<std::ptrdiff_t>(b));
            rows_.ends.erase(rows_.ends.begin() + static_cast<std::ptrdiff_t>(b));
        }
        rows_.recount(b);
        changed();
        return 0;
    }
    void free() {
        rows_ = Blocks();
        changed();
    }

    // Stable sorts.
    void sortBy(const std::vector<QueueKey<R>>& keys) {
        arrange([&](const R& a, const R& b) { return less(keys, a, b); });
    }
    void sort(const std::function<bool(const R&, const R&)>& lessThan) { arrange(lessThan); }
    // Stable sort by a text member in the order of compareTrimmed (blanks at the end not
    // counted), each text read once rather than at every comparison.
    template <class T>
    void sortByText(T R::*member, bool descending) {
        if constexpr (sizeof(R) <= kSortedSideBySide || !std::is_move_assignable_v<R>) {
            arrange([&](const R& a, const R& b) {
                const int c = compareTrimmed(std::string_view(a.*member), std::string_view(b.*member));
                return descending ? c > 0 : c < 0;
            });
        } else {
            for (std::size_t b = 0; b < rows_.blocks.size(); ++b) writable(b);
            const std::vector<Source> at = sources();
            std::vector<detail::TextKey> keys(at.size());
            for (std::size_t k = 0; k < at.size(); ++k)
                keys[k] = detail::TextKey(std::string_view(at[k].row->*member), k);
            detail::sortTextKeys(keys, descending);
            std::vector<std::size_t> from(at.size());
            for (std::size_t k = 0; k < at.size(); ++k) from[k] = keys[k].index;
            keys = {};
            moveAlong(at, from);
        }
    }
    // By an order text over the descriptor's labels: "+C1,-RECORDID", "-UPPER(C1),+RECORDID*2"
    // (see runtime/expr/order.h). False when the text is rejected or the queue has no descriptor.
    bool sort(std::string_view order);

    // Position of the first entry whose member equals value (text: trailing blanks ignored),
    // 0 when none.
    template <class T, class V>
    std::size_t lookup(T R::*member, const V& value) const {
        return find([&](const R& row) {
            const T& x = row.*member;
            if constexpr (std::is_convertible_v<const T&, std::string_view>)
                return equalsTrimmed(std::string_view(x), std::string_view(value));
            else if constexpr (std::is_same_v<T, Date> || std::is_same_v<T, Time>)
                return x.value == value;
            else
                return x == value;
        });
    }
    std::size_t find(const std::function<bool(const R&)>& match) const {
        std::size_t position = 0;
        for (const auto& block : rows_.blocks)
            for (const R& row : *block) {
                ++position;
                if (match(row)) return position;
            }
        return 0;
    }

    // Reading only: an entry is changed through get() or put(), which copy no more than its block.
    const_iterator begin() const { return const_iterator(&rows_, 0); }
    const_iterator end() const { return const_iterator(&rows_, rows_.blocks.size()); }

private:
    static bool less(const std::vector<QueueKey<R>>& keys, const R& a, const R& b) {
        for (const auto& k : keys) {
            int c = k.compare(a, b);
            if (c != 0) return c < 0;
        }
        return false;
    }
    void check(std::size_t position) const {
        if (position < 1 || position > rows_.size()) throw std::out_of_range("queue position");
    }
    template <class T>
    std::size_t append(T&& row) {
        if (rows_.blocks.empty() || rows_.blocks.back()->size() >= kFull) {
            auto block = std::make_shared<Block>();
            block->reserve(rows_.blocks.empty() ? 1 : kFull);
            rows_.blocks.push_back(std::move(block));
            rows_.ends.push_back(rows_.size());
        } else {
            writable(rows_.blocks.size() - 1);
        }
        rows_.blocks.back()->push_back(std::forward<T>(row));
        ++rows_.ends.back();
        changed();
        return rows_.size();
    }
    // Block b, copied first when a copy of the queue or a snapshot holds it too.
    Block* writable(std::size_t b) {
        auto& block = rows_.blocks[b];
        if (!detail::soleHolder(block)) block = std::make_shared<Block>(*block);
        return block.get();
    }
    void insertAt(std::size_t index, const R& row) {
        auto [b, i] = rows_.locate(index);
        Block& block = *writable(b);
        block.insert(block.begin() + static_cast<std::ptrdiff_t>(i), row);
        if (block.size() >= 2 * kFull) {
            // Split, so that inserting stays cheap however many go into one place.
            auto tail = std::make_shared<Block>(std::make_move_iterator(block.begin() + kFull),
                                                std::make_move_iterator(block.end()));
            block.erase(block.begin() + static_cast<std::ptrdiff_t>(kFull), block.end());
            rows_.blocks.insert(rows_.blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
            rows_.ends.insert(rows_.ends.begin() + static_cast<std::ptrdiff_t>(b) + 1, 0);
        }
        if (b + 1 < rows_.blocks.size()) rows_.uniform = false;
        rows_.recount(b);
    }
    // Where each entry stands, and whether its block is the queue's alone (the entry may then
    // move out of it) or shared (it is copied).
    struct Source {
        R* row;
        bool own;
    };
    std::vector<Source> sources() {
        std::vector<Source> from;
        from.reserve(rows_.size());
        for (auto& block : rows_.blocks) {
            const bool own = detail::soleHolder(block);
            for (R& row : *block) from.push_back({&row, own});
        }
        return from;
    }
    // The entries anew in the order given, each moved (or copied) once, in full blocks.
    void rebuild(const std::vector<Source>& order) {
        Blocks next;
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (k % kFull == 0) {
                next.blocks.push_back(std::make_shared<Block>());
                next.blocks.back()->reserve(std::min(kFull, order.size() - k));
                next.ends.push_back(k);
            }
            if (order[k].own)
                next.blocks.back()->push_back(std::move(*order[k].row));
            else
                next.blocks.back()->push_back(*order[k].row);
            ++next.ends.back();
        }
        rows_ = std::move(next);
        changed();
    }
    // Stable sort by a comparison of entries. Small entries are sorted side by side, as their
    // comparisons then read memory in order; large ones by where they stand, each moved once.
    template <class Less>
    void arrange(const Less& lessThan) {
        if constexpr (sizeof(R) <= kSortedSideBySide) {
            std::vector<Source> order = sources();
            std::vector<R> all;
            all.reserve(order.size());
            for (const Source& s : order) s.own ? all.push_back(std::move(*s.row)) : all.push_back(*s.row);
            rows_ = Blocks();  // the new blocks take the memory of the old ones
            std::stable_sort(all.begin(), all.end(), lessThan);
            for (std::size_t k = 0; k < all.size(); ++k) order[k] = {&all[k], true};
            rebuild(order);
        } else {
            if constexpr (std::is_move_assignable_v<R>) {
                // A block someone else still reads is copied first; the others are the queue's.
                for (std::size_t b = 0; b < rows_.blocks.size(); ++b) writable(b);
                permute(sources(), lessThan);
                return;
            }
            std::vector<Source> order = sources();
            std::stable_sort(order.begin(), order.end(),
                             [&](const Source& a, const Source& b) { return lessThan(*a.row, *b.row); });
            rebuild(order);
        }
    }
    // Sorts the entries where they stand (their blocks the queue's alone).
    template <class Less>
    void permute(const std::vector<Source>& at, const Less& lessThan) {
        const std::size_t n = at.size();
        // Sorted with the entry's address at hand, its place beside it.
        std::vector<std::pair<R*, std::size_t>> sorted(n);
        for (std::size_t k = 0; k < n; ++k) sorted[k] = {at[k].row, k};
        std::stable_sort(sorted.begin(), sorted.end(),
                         [&](const auto& a, const auto& b) { return lessThan(*a.first, *b.first); });
        std::vector<std::size_t> from(n);
        for (std::size_t k = 0; k < n; ++k) from[k] = sorted[k].second;
        sorted = {};
        moveAlong(at, from);
    }
    // Each entry moved along the cycles of the new order (place k takes the entry at from[k]),
    // so that no second set of blocks is needed. A place filled is marked by pointing at itself.
    void moveAlong(const std::vector<Source>& at, std::vector<std::size_t>& from) {
        for (std::size_t i = 0; i < from.size(); ++i) {
            if (from[i] == i) continue;
            R held = std::move(*at[i].row);
            std::size_t j = i;
            for (;;) {
                const std::size_t k = from[j];
                from[j] = j;
                if (k == i) {
                    *at[j].row = std::move(held);
                    break;
                }
                // The entry moved next is fetched whole while this one moves: large entries
                // span many cache lines, and the order is random.
                const char* next = reinterpret_cast<const char*>(at[from[k]].row);
                for (std::size_t line = 0; line < sizeof(R); line += 64) __builtin_prefetch(next + line);
                __builtin_prefetch(&from[from[from[k]]]);
                *at[j].row = std::move(*at[k].row);
                j = k;
            }
        }
        changed();
    }
    static constexpr std::size_t kSortedSideBySide = 256;

    const RecordDesc* desc_;
    Blocks rows_;
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
    std::vector<std::size_t> indexes;
    if (!sortedEntries(*this, order, indexes)) return false;
    const std::vector<Source> from = sources();
    std::vector<Source> sorted;
    sorted.reserve(indexes.size());
    for (std::size_t i : indexes) sorted.push_back(from[i]);
    rebuild(sorted);
    return true;
}

}  // namespace rt
