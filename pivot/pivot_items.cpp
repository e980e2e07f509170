#include "pivot/pivot_items.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "pivot/number_format.h"

namespace pivot {

namespace {

// Distinct doubles by their bits, open addressing; the last value found is tried first, as
// neighbouring rows often share their item.
class ValueIds {
public:
    ValueIds() : slots_(64, kEmpty), ids_(64) {}
    uint32_t idOf(uint64_t bits) {
        if (bits == lastBits_) return lastId_;
        size_t mask = slots_.size() - 1, i = mix(bits) & mask;
        while (slots_[i] != kEmpty && slots_[i] != bits) i = (i + 1) & mask;
        if (slots_[i] == kEmpty) {
            slots_[i] = bits;
            ids_[i] = uint32_t(values.size());
            values.push_back(bits);
            if (values.size() * 2 > slots_.size()) grow();
            return idOf(bits);
        }
        lastBits_ = bits;
        lastId_ = ids_[i];
        return lastId_;
    }
    std::vector<uint64_t> values;  // in order of first sight

private:
    static constexpr uint64_t kEmpty = 0x7ff8000000000001ull;  // a NaN: never a value
    static uint64_t mix(uint64_t x) {
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdull;
        return x ^ (x >> 33);
    }
    void grow() {
        std::vector<uint64_t> old = std::move(slots_);
        std::vector<uint32_t> oldIds = std::move(ids_);
        slots_.assign(old.size() * 2, kEmpty);
        ids_.assign(old.size() * 2, 0);
        size_t mask = slots_.size() - 1;
        for (size_t k = 0; k < old.size(); ++k) {
            if (old[k] == kEmpty) continue;
            size_t i = mix(old[k]) & mask;
            while (slots_[i] != kEmpty) i = (i + 1) & mask;
            slots_[i] = old[k];
            ids_[i] = oldIds[k];
        }
        lastBits_ = kEmpty;
    }
    std::vector<uint64_t> slots_;
    std::vector<uint32_t> ids_;
    uint64_t lastBits_ = kEmpty;
    uint32_t lastId_ = 0;
};

double fromBits(uint64_t b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

}  // namespace

std::shared_ptr<Dimension> numericDimension(const double* v, size_t rows, const FieldDef& f, const Parallel& par) {
    auto d = std::make_shared<Dimension>();
    d->rowItem.resize(rows);
    unsigned parts = par.partsFor(rows);
    std::vector<ValueIds> local(parts);
    std::vector<uint8_t> nulls(parts, 0);
    // Each range numbers its own distinct values; the ranges' numbers are mapped to the sorted
    // items afterwards.
    inParts(rows, parts, [&](unsigned p, size_t b, size_t e) {
        ValueIds& ids = local[p];
        for (size_t r = b; r < e; ++r) {
            double x = v[r];
            if (isNull(x)) {
                nulls[p] = 1;
                d->rowItem[r] = UINT32_MAX;
                continue;
            }
            if (x == 0) x = 0;  // -0 and 0 are one item
            uint64_t bits;
            std::memcpy(&bits, &x, sizeof bits);
            d->rowItem[r] = ids.idOf(bits);
        }
    });
    std::vector<double> distinct;
    for (auto& ids : local)
        for (uint64_t b : ids.values) distinct.push_back(fromBits(b));
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    bool hasNull = std::find(nulls.begin(), nulls.end(), 1) != nulls.end();
    uint32_t base = hasNull ? 1 : 0;
    if (hasNull) d->items.push_back({kNullItem, true});
    for (double x : distinct) d->items.push_back({itemText(x, f), false, x});
    std::vector<std::vector<uint32_t>> rank(parts);
    for (unsigned p = 0; p < parts; ++p) {
        rank[p].reserve(local[p].values.size());
        for (uint64_t b : local[p].values)
            rank[p].push_back(
                base + uint32_t(std::lower_bound(distinct.begin(), distinct.end(), fromBits(b)) - distinct.begin()));
    }
    inParts(rows, parts, [&](unsigned p, size_t b, size_t e) {
        const uint32_t* rk = rank[p].data();
        for (size_t r = b; r < e; ++r) {
            uint32_t id = d->rowItem[r];
            d->rowItem[r] = id == UINT32_MAX ? 0 : rk[id];
        }
    });
    return d;
}

namespace {

// Dictionary codes in German order of their texts: sorted by the leads of their keys, then each
// run of equal leads by the whole keys, made for its texts only.
void germanOrder(const std::vector<std::string>& dict, std::vector<uint32_t>& order, const Parallel& par) {
    struct Lead {
        uint64_t hi, lo;
        uint32_t code;
    };
    std::vector<Lead> leads(order.size());
    unsigned parts = par.partsFor(order.size() * 64);
    inParts(order.size(), parts, [&](unsigned, size_t b, size_t e) {
        unsigned char k[kGermanLead];
        for (size_t i = b; i < e; ++i) {
            germanLead(dict[order[i]], k);
            uint64_t hi = 0, lo = 0;
            for (size_t j = 0; j < 8; ++j) hi = hi << 8 | k[j], lo = lo << 8 | k[8 + j];
            leads[i] = {hi, lo, order[i]};
        }
    });
    parallelSort(leads.data(), leads.size(), parts, [](const Lead& a, const Lead& b) {
        return a.hi != b.hi ? a.hi < b.hi : a.lo != b.lo ? a.lo < b.lo : a.code < b.code;
    });
    for (size_t i = 0; i < leads.size(); ++i) order[i] = leads[i].code;
    for (size_t i = 0; i < leads.size();) {
        size_t j = i + 1;
        while (j < leads.size() && leads[j].hi == leads[i].hi && leads[j].lo == leads[i].lo) ++j;
        if (j - i > 1) {
            const size_t n = j - i;
            std::vector<GermanKey> keys(n);
            unsigned runParts = par.partsFor(n * 64);
            inParts(n, runParts, [&](unsigned, size_t b, size_t e) {
                for (size_t k = b; k < e; ++k) keys[k] = germanKey(dict[order[i + k]]);
            });
            std::vector<uint32_t> run(n);
            std::iota(run.begin(), run.end(), 0u);
            parallelSort(run.data(), n, runParts, [&](uint32_t a, uint32_t b) {
                return compareGerman(keys[a], dict[order[i + a]], keys[b], dict[order[i + b]]) < 0;
            });
            std::vector<uint32_t> codes(n);
            for (size_t k = 0; k < n; ++k) codes[k] = order[i + run[k]];
            std::copy(codes.begin(), codes.end(), order.begin() + int64_t(i));
        }
        i = j;
    }
}

}  // namespace

std::shared_ptr<Dimension> textDimension(const Column& c, size_t rows, const Parallel& par) {
    auto d = std::make_shared<Dimension>();
    unsigned parts = par.partsFor(rows);
    std::vector<std::vector<uint8_t>> usedIn(parts);
    inParts(rows, parts, [&](unsigned p, size_t b, size_t e) {
        auto& used = usedIn[p];
        used.assign(c.dict.size(), 0);
        for (size_t r = b; r < e; ++r) used[c.code[r]] = 1;
    });
    std::vector<uint8_t> used(c.dict.size(), 0);
    for (auto& u : usedIn)
        for (size_t i = 0; i < u.size(); ++i) used[i] |= u[i];
    std::vector<uint32_t> order;
    for (uint32_t i = 1; i < c.dict.size(); ++i)
        if (used[i]) order.push_back(i);
    // Text that is all numbers (a year the driver hands as text) sorts as numbers; the first
    // text that is none settles it without the others read.
    bool allNumbers =
        std::all_of(order.begin(), order.end(), [&](uint32_t i) { return !isNull(parseNumber(c.dict[i])); });
    unsigned sorters = par.partsFor(order.size() * 64);
    if (allNumbers) {
        const auto& nums = c.dictNumbers();
        parallelSort(order.data(), order.size(), sorters, [&](uint32_t a, uint32_t b) {
            return nums[a] != nums[b] ? nums[a] < nums[b] : compareGerman(c.dict[a], c.dict[b]) < 0;
        });
    } else {
        germanOrder(c.dict, order, par);
    }
    std::vector<uint32_t> rank(c.dict.size(), 0);
    uint32_t base = used[0] ? 1 : 0;
    d->items.reserve(order.size() + base);
    if (used[0]) d->items.push_back({kNullItem, true});
    for (uint32_t i = 0; i < order.size(); ++i) {
        rank[order[i]] = base + i;
        d->items.push_back({c.dict[order[i]], false});
    }
    d->rowItem.resize(rows);
    inParts(rows, parts, [&](unsigned, size_t b, size_t e) {
        for (size_t r = b; r < e; ++r) d->rowItem[r] = rank[c.code[r]];
    });
    return d;
}

}  // namespace pivot
