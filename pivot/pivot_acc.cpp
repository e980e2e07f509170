#include "pivot/pivot_acc.h"

#include <algorithm>

#include "pivot/pivot_engine.h"

namespace pivot {

uint8_t needOf(int aggregate) {
    switch (aggregate) {
    case Count: return 0;
    case Sum:
    case Average: return NeedSum;
    case Max: return NeedMax;
    case Min: return NeedMin;
    case StDev:
    case StDevP:
    case Var:
    case VarP: return NeedMoments;
    default: return 0;
    }
}

int CellLayout::bundle(const std::string& key, Source src, uint8_t need) {
    for (size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key) {
            bundles_[i].need |= need;
            return int(i);
        }
    keys_.push_back(key);
    Bundle b;
    b.src = std::move(src);
    b.need = need;
    bundles_.push_back(std::move(b));
    return int(bundles_.size() - 1);
}

void CellLayout::finish() {
    width_ = 1;
    for (Bundle& b : bundles_) {
        // With the squares kept, their sum stands for the plain sum.
        if (b.need & NeedMoments) b.need &= uint8_t(~NeedSum);
        uint32_t o = 1;
        b.at = width_;
        if (b.need & NeedSum) b.sumAt = o++;
        if (b.need & NeedMin) b.minAt = o++;
        if (b.need & NeedMax) b.maxAt = o++;
        if (b.need & NeedMoments) b.momAt = o, o += 4;
        width_ += o;
    }
}

void CellLayout::merge(double* dst, const double* src) const {
    dst[0] += src[0];
    for (const Bundle& b : bundles_) {
        const double* s = src + b.at;
        double* d = dst + b.at;
        if (s[0] == 0) continue;
        bool first = d[0] == 0;
        d[0] += s[0];
        if (b.need & NeedSum) d[b.sumAt] += s[b.sumAt];
        if (b.need & NeedMin)
            if (first || s[b.minAt] < d[b.minAt]) d[b.minAt] = s[b.minAt];
        if (b.need & NeedMax)
            if (first || s[b.maxAt] > d[b.maxAt]) d[b.maxAt] = s[b.maxAt];
        if (b.need & NeedMoments) {
            addExact(d + b.momAt, s[b.momAt], s[b.momAt + 1]);
            addExact(d + b.momAt + 2, s[b.momAt + 2], s[b.momAt + 3]);
        }
    }
}

double CellLayout::m2(const double* m, double n) {
    // squares - sum^2 / n on the pairs: the square of the sum exact to its error term, then
    // divided by n with the remainder carried.
    double s = m[0] + m[1], sLo = m[1] - (s - m[0]);
    double p = s * s, pLo = std::fma(s, s, -p) + 2 * s * sLo;
    double q = p / n, qLo = (std::fma(-q, n, p) + pLo) / n;
    double d, e;
    twoSum(m[2], -q, d, e);
    return std::max(0.0, d + (e + m[3] - qLo));
}

double CellLayout::sum(const double* cell, int bundle) const {
    const Bundle& b = bundles_[size_t(bundle)];
    const double* s = cell + b.at;
    if (s[0] == 0) return kNull;
    if (b.need & NeedMoments) return s[b.momAt] + s[b.momAt + 1];
    return (b.need & NeedSum) ? s[b.sumAt] : kNull;
}

std::optional<double> CellLayout::aggregate(const double* cell, int bundle, int aggregate) const {
    if (cell[0] == 0) return std::nullopt;
    if (bundle < 0) return aggregate == Count ? std::optional<double>(0) : std::nullopt;
    const Bundle& b = bundles_[size_t(bundle)];
    const double* s = cell + b.at;
    double n = s[0];
    if (aggregate == Count) return n;
    if (n == 0) return std::nullopt;
    switch (aggregate) {
    case Sum: return sum(cell, bundle);
    case Average: return sum(cell, bundle) / n;
    case Max: return s[b.maxAt];
    case Min: return s[b.minAt];
    // Sample statistics need two values; the population ones one.
    case StDev:
        if (n > 1) return std::sqrt(m2(s + b.momAt, n) / (n - 1));
        break;
    case StDevP: return std::sqrt(m2(s + b.momAt, n) / n);
    case Var:
        if (n > 1) return m2(s + b.momAt, n) / (n - 1);
        break;
    case VarP: return m2(s + b.momAt, n) / n;
    default: break;
    }
    return std::nullopt;
}

}  // namespace pivot
