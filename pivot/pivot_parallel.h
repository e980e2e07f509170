#pragma once
// The pivot's work split over the cores: contiguous ranges, one thread each.

#include <algorithm>
#include <cstddef>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace pivot {

struct Parallel {
    unsigned threads = 0;               // 0: one per core
    size_t minRowsPerThread = 1 << 15;  // below this a range is not worth a thread
    unsigned partsFor(size_t n) const {
        unsigned t = threads ? threads : std::max(1u, std::thread::hardware_concurrency());
        size_t byWork = std::max<size_t>(1, n / std::max<size_t>(1, minRowsPerThread));
        return unsigned(std::min<size_t>(t, byWork));
    }
};

// Runs job(1) .. job(parts - 1) on the pivot's worker threads, which are started once and then
// wait for work, and job(0) on the calling thread; returns when all have ended. False (nothing
// run) when the workers are busy with another caller's parts, or this is one of them.
bool onWorkers(unsigned parts, const std::function<void(unsigned)>& job);

// Runs fn(part, begin, end) for `parts` contiguous ranges of [0, n), the first on the calling
// thread; an exception of any part (memory exhausted) is thrown again once all have ended.
template <typename F>
void inParts(size_t n, unsigned parts, F&& fn) {
    parts = unsigned(std::max<size_t>(1, std::min<size_t>(parts, n)));
    if (parts == 1) {
        fn(0u, size_t(0), n);
        return;
    }
    std::vector<std::exception_ptr> errors(parts);
    auto run = [&](unsigned p) {
        try {
            fn(p, n * p / parts, n * (p + 1) / parts);
        } catch (...) {
            errors[p] = std::current_exception();
        }
    };
    if (!onWorkers(parts, run)) {
        // Threads of its own for a caller that finds the workers taken.
        std::vector<std::thread> pool;
        pool.reserve(parts - 1);
        for (unsigned p = 1; p < parts; ++p) pool.emplace_back(run, p);
        run(0);
        for (auto& t : pool) t.join();
    }
    for (auto& e : errors)
        if (e) std::rethrow_exception(e);
}

// Sorts [first, first + n) with the cores: ranges sorted side by side, then merged pairwise.
template <typename T, typename Less>
void parallelSort(T* first, size_t n, unsigned parts, Less less) {
    parts = unsigned(std::max<size_t>(1, std::min<size_t>(parts, n / 1024)));
    std::vector<size_t> cut(parts + 1);
    for (unsigned p = 0; p <= parts; ++p) cut[p] = n * p / parts;
    inParts(parts, parts, [&](unsigned p, size_t, size_t) { std::sort(first + cut[p], first + cut[p + 1], less); });
    for (size_t width = 1; width < parts; width *= 2) {
        size_t pairs = (parts + 2 * width - 1) / (2 * width);
        inParts(pairs, unsigned(pairs), [&](unsigned q, size_t, size_t) {
            size_t a = cut[q * 2 * width], m = cut[std::min<size_t>(parts, q * 2 * width + width)],
                   e = cut[std::min<size_t>(parts, q * 2 * width + 2 * width)];
            if (m < e) std::inplace_merge(first + a, first + m, first + e, less);
        });
    }
}

}  // namespace pivot
