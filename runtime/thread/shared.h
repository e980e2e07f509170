#pragma once
// Values shared by all program threads (the program's globals). Every read hands out a copy and
// every write takes one, under the value's own lock, so threads never see a half-written value.

#include <mutex>
#include <utility>

namespace rt {

template <class T>
class Shared {
public:
    Shared() = default;
    explicit Shared(T initial) : value_(std::move(initial)) {}
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    T get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

    void set(T value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }

    Shared& operator=(T value) {
        set(std::move(value));
        return *this;
    }

    // Read-modify-write in one step: f gets the value by reference; its result is returned.
    template <class F>
    decltype(auto) update(F&& f) {
        std::lock_guard lock(mutex_);
        return std::forward<F>(f)(value_);
    }

private:
    mutable std::mutex mutex_;
    T value_{};
};

}  // namespace rt
