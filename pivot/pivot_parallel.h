#pragma once
// The pivot's work split over the cores: contiguous ranges, one thread each.

#include <algorithm>
#include <cstddef>
#include <exception>
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
    std::vector<std::thread> pool;
    pool.reserve(parts - 1);
    for (unsigned p = 1; p < parts; ++p) pool.emplace_back(run, p);
    run(0);
    for (auto& t : pool) t.join();
    for (auto& e : errors)
        if (e) std::rethrow_exception(e);
}

}  // namespace pivot
