#pragma once
// While the control reads its record source, a small window of the calling thread shows the
// rows read so far, so that a long load is seen as one. It appears only when the load takes a
// while, and only on a program thread with a display.
//
//   LoadProgress progress;
//   ReadOptions options;
//   options.progress = [&](size_t rows) { progress.rows(rows); };

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace rt {
class Window;
}

namespace pivot {

class LoadProgress {
public:
    LoadProgress();
    ~LoadProgress();  // the window closes
    LoadProgress(const LoadProgress&) = delete;
    LoadProgress& operator=(const LoadProgress&) = delete;

    void rows(size_t count);
    bool shown() const { return window_ != nullptr; }

    // "1.234.567 Zeilen gelesen"
    static std::string text(size_t count);

private:
    std::chrono::steady_clock::time_point start_, shownAt_;
    std::unique_ptr<rt::Window> window_;
};

}  // namespace pivot
