#include "pivot/load_progress.h"

#include "runtime/thread/thread.h"
#include "runtime/ui/display.h"
#include "runtime/ui/window.h"

namespace pivot {

namespace {

// A load shorter than this shows nothing; the text follows at most this often.
constexpr auto kShowAfter = std::chrono::milliseconds(300);
constexpr auto kUpdateEvery = std::chrono::milliseconds(100);
constexpr int kText = 1;

}  // namespace

LoadProgress::LoadProgress() : start_(std::chrono::steady_clock::now()) {}

LoadProgress::~LoadProgress() {
    if (window_) window_->close();
}

std::string LoadProgress::text(size_t count) {
    std::string digits = std::to_string(count), grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += '.';
        grouped += digits[i];
    }
    return grouped + " Zeilen gelesen";
}

void LoadProgress::rows(size_t count) {
    const auto now = std::chrono::steady_clock::now();
    if (!window_) {
        if (now - start_ < kShowAfter || rt::threadNumber() == 0 || !rt::hasDisplay()) return;
        window_ = std::make_unique<rt::Window>("PivotLoad", "Cube wird geladen");
        window_->setPosition(0, 0, 190, 24);
        window_->edit().centered = true;
        window_->add(kText, rt::ControlKind::String).setPosition(8, 7, 174, 10).setText(text(count));
        window_->open();
        window_->flush();
        shownAt_ = now;
        return;
    }
    if (now - shownAt_ < kUpdateEvery) return;
    shownAt_ = now;
    (*window_)[kText].setText(text(count));
    window_->flush();
}

}  // namespace pivot
