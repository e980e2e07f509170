#pragma once
// What a cell holds: the count of its raw rows, then per value source only what its fields'
// aggregates need (a sum pays for no spread). A cell is a run of doubles, so cells are added,
// merged and kept in flat arrays.

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "pivot/column_store.h"

namespace pivot {

// Where a measure reads a raw row's value.
struct Source {
    enum Kind : uint8_t { None, Number, Text, Present, Values } kind = None;
    const double* num = nullptr;
    const uint32_t* code = nullptr;
    const double* dictNum = nullptr;
    std::shared_ptr<const Buffer<double>> values;
    const double* vals = nullptr;  // values->data()
    double at(size_t r) const {
        switch (kind) {
        case Number: return num[r];
        case Text: return dictNum[code[r]];
        case Present: return code[r] ? 1.0 : kNull;  // a count of text: whether there is one
        case Values: return vals[r];
        default: return kNull;
        }
    }
};

enum Need : uint8_t { NeedSum = 1, NeedMin = 2, NeedMax = 4, NeedMoments = 8 };
uint8_t needOf(int aggregate);

// The values of one source in a cell, from slot `at`: the count of non-NULL values, then the
// sum, the minimum, the maximum, or the sums of the values and of their squares each to twice a
// double's precision (the rounding error of every addition carried), so the spread of large
// values that differ in their last digits is as exact as the doubles allow however cells merge.
struct Bundle {
    Source src;
    uint8_t need = 0;
    uint32_t at = 0;
    uint32_t sumAt = 0, minAt = 0, maxAt = 0, momAt = 0;  // offsets from `at`
};

class CellLayout {
public:
    // The bundle of a source key (one per distinct source and way of counting), its needs widened.
    int bundle(const std::string& key, Source src, uint8_t need);
    void finish();  // lays out the slots
    // Once the cells are made: the sources let go (a computed field's values among them).
    void dropSources() {
        for (Bundle& b : bundles_) b.src = Source{};
    }
    // The same layout reading its sources elsewhere (one per bundle, in order).
    CellLayout withSources(std::vector<Source> sources) const {
        CellLayout c = *this;
        for (size_t i = 0; i < c.bundles_.size(); ++i) c.bundles_[i].src = std::move(sources[i]);
        return c;
    }
    uint32_t width() const { return width_; }
    const std::vector<Bundle>& bundles() const { return bundles_; }

    void add(double* cell, size_t row) const {
        cell[0] += 1;
        for (const Bundle& b : bundles_) {
            double v = b.src.at(row);
            if (isNull(v)) continue;
            double* s = cell + b.at;
            double n = s[0];
            s[0] = n + 1;
            if (b.need & NeedSum) s[b.sumAt] += v;
            if (b.need & NeedMin)
                if (n == 0 || v < s[b.minAt]) s[b.minAt] = v;
            if (b.need & NeedMax)
                if (n == 0 || v > s[b.maxAt]) s[b.maxAt] = v;
            if (b.need & NeedMoments) addSquares(s + b.momAt, v);
        }
    }
    void merge(double* dst, const double* src) const;
    // The aggregate of a bundle in a cell; none where it has no value.
    std::optional<double> aggregate(const double* cell, int bundle, int aggregate) const;
    // The sum of a bundle's values; NaN when the cell has none.
    double sum(const double* cell, int bundle) const;

private:
    static void twoSum(double a, double b, double& s, double& e) {
        s = a + b;
        double bb = s - a;
        e = (a - (s - bb)) + (b - bb);
    }
    static void addExact(double* hiLo, double v, double vLo) {
        double s, e;
        twoSum(hiLo[0], v, s, e);
        hiLo[0] = s;
        hiLo[1] += e + vLo;
    }
    static void addSquares(double* m, double v) {
        addExact(m, v, 0);
        double p = v * v;
        addExact(m + 2, p, std::fma(v, v, -p));
    }
    static double m2(const double* m, double n);

    std::vector<Bundle> bundles_;
    std::vector<std::string> keys_;
    uint32_t width_ = 1;
};

}  // namespace pivot
