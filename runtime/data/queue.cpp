#include "runtime/data/queue.h"

#include <algorithm>
#include <numeric>

#include "runtime/data/expr_binding.h"
#include "runtime/expr/order.h"
#include "runtime/text/strings.h"

namespace rt {

namespace {

// UPPER(x) around a whole key: the inner text, else empty.
std::string_view upperArgument(std::string_view key) {
    if (key.size() < 7 || !equalsNoCase(key.substr(0, 6), "UPPER(") || key.back() != ')') return {};
    return trimBlanks(key.substr(6, key.size() - 7));
}

// One queue entry at a time, its fields found by label or by name as the descriptor finds them.
class EntryFields final : public FieldSource {
public:
    explicit EntryFields(const RecordDesc& desc) : desc_(desc) {}
    void setEntry(const void* entry) { entry_ = entry; }

    int fieldIndex(std::string_view label) const override { return desc_.find(label); }
    void fieldValue(int index, Value& out) const override {
        DescribedRecordFields(desc_, entry_).fieldValue(index, out);
    }

private:
    const RecordDesc& desc_;
    const void* entry_ = nullptr;
};

}  // namespace

bool parseOrder(const RecordDesc& desc, std::string_view order, std::vector<OrderPart>& parts) {
    parts.clear();
    auto keys = parseOrder(order);
    if (!keys) return false;
    for (const SortKey& key : keys.value()) {
        OrderPart p{-1, key.descending, false};
        std::string_view label = key.expression;
        if (!key.isName) {
            label = upperArgument(label);
            p.nocase = true;
        }
        p.field = label.empty() ? -1 : desc.find(label);
        if (p.field < 0) {
            parts.clear();
            return false;
        }
        parts.push_back(p);
    }
    return true;
}

int compareField(const RecordDesc& desc, const void* a, const void* b, int field, bool nocase) {
    auto idx = static_cast<std::size_t>(field);
    auto x = desc.get(a, idx), y = desc.get(b, idx);
    if (auto* i = std::get_if<std::int64_t>(&x)) {
        auto j = std::get<std::int64_t>(y);
        return *i < j ? -1 : (*i > j ? 1 : 0);
    }
    if (auto* d = std::get_if<DecimalValue>(&x)) return DecimalValue::compare(*d, std::get<DecimalValue>(y));
    const auto& s = std::get<std::string>(x);
    const auto& t = std::get<std::string>(y);
    return nocase ? compareNoCase(s, t) : compareTrimmed(s, t);
}

bool sortedEntries(const QueueBase& queue, std::string_view order, std::vector<std::size_t>& indexes) {
    indexes.clear();
    const RecordDesc* desc = queue.desc();
    if (!desc) return false;
    const std::size_t n = queue.records();
    indexes.resize(n);
    std::iota(indexes.begin(), indexes.end(), std::size_t{0});

    // Fields alone compare in place, without the evaluator.
    std::vector<OrderPart> parts;
    if (parseOrder(*desc, order, parts)) {
        std::stable_sort(indexes.begin(), indexes.end(), [&](std::size_t a, std::size_t b) {
            const void* x = queue.entry(a + 1);
            const void* y = queue.entry(b + 1);
            for (const auto& p : parts) {
                int c = compareField(*desc, x, y, p.field, p.nocase);
                if (c != 0) return p.descending ? c > 0 : c < 0;
            }
            return false;
        });
        return true;
    }

    // Any other key: the queue's fields are bound over the thread's (they win over a buffer
    // with the same labels) while each entry's key values are computed once.
    EntryFields fields(*desc);
    Bindings& bindings = threadBindings();
    bindings.bindFields(fields);
    struct Unbind {
        Bindings& b;
        const FieldSource& f;
        ~Unbind() { b.unbindFields(f); }
    } unbind{bindings, fields};

    auto compiled = Order::compile(order, bindings);
    if (!compiled) {
        indexes.clear();
        return false;
    }
    const Order& o = compiled.value();
    std::vector<std::vector<Value>> keys(n);
    for (std::size_t i = 0; i < n; ++i) {
        fields.setEntry(queue.entry(i + 1));
        auto values = o.keyValues(bindings);
        if (!values) {
            indexes.clear();
            return false;
        }
        keys[i] = std::move(values).value();
    }
    std::stable_sort(indexes.begin(), indexes.end(),
                     [&](std::size_t a, std::size_t b) { return o.compare(keys[a], keys[b]) < 0; });
    return true;
}

namespace detail {

TextKey::TextKey(std::string_view text, std::size_t place) : data(text.data()), index(place) {
    text = clip(text);
    size = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), UINT32_MAX));
    for (std::size_t i = 0; i < 8; ++i) lead = lead << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
}

void sortTextKeys(std::vector<TextKey>& keys, bool descending) {
    std::sort(keys.begin(), keys.end(), [descending](const TextKey& a, const TextKey& b) {
        int c = 0;
        if (a.lead != b.lead) {
            // The first byte that differs decides when both texts reach it.
            const auto at = static_cast<std::size_t>(__builtin_clzll(a.lead ^ b.lead) / 8);
            if (at < std::min(a.size, b.size)) c = a.lead < b.lead ? -1 : 1;
        }
        if (c == 0) c = compareTrimmed(std::string_view(a.data, a.size), std::string_view(b.data, b.size));
        if (c != 0) return descending ? c > 0 : c < 0;
        return a.index < b.index;
    });
}

}  // namespace detail

}  // namespace rt
