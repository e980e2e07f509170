#pragma once
// One line per measured work in the form scripts/bench collects into its table:
//   BENCH <tab> work <tab> baseline <tab> ours <tab> ratio <tab> target <tab> met
// A benchmark exits non-zero when one of its targets is missed.
#include <cstdio>
#include <string>

namespace bench {

// Ratio ours / baseline (or a time in ms) against an upper bound; gives whether it is met.
inline bool atMost(const std::string& work, const std::string& baseline, const std::string& ours, double value,
                   double limit, const char* unit = "x") {
    const bool met = value <= limit;
    std::printf("BENCH\t%s\t%s\t%s\t%.2f%s\t<= %.2f%s\t%s\n", work.c_str(), baseline.c_str(), ours.c_str(), value, unit,
                limit, unit, met ? "yes" : "NO");
    return met;
}

// Ratio ours / baseline as throughput against a lower bound.
inline bool atLeast(const std::string& work, const std::string& baseline, const std::string& ours, double value,
                    double limit, const char* unit = "x") {
    const bool met = value >= limit;
    std::printf("BENCH\t%s\t%s\t%s\t%.2f%s\t>= %.2f%s\t%s\n", work.c_str(), baseline.c_str(), ours.c_str(), value, unit,
                limit, unit, met ? "yes" : "NO");
    return met;
}

// A figure without a target.
inline void info(const std::string& work, const std::string& ours) {
    std::printf("BENCH\t%s\t-\t%s\t-\t-\t-\n", work.c_str(), ours.c_str());
}

}  // namespace bench
