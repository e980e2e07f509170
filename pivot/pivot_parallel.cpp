#include "pivot/pivot_parallel.h"

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace pivot {

namespace {

// Threads that live as long as the program and take one round of parts at a time: starting
// threads for every step of a pivot costs more than many steps themselves.
class Workers {
public:
    // False in a forked child: the threads, and whatever waits on the locks, are its parent's.
    bool ownedHere() const {
        const pid_t owner = owner_.load(std::memory_order_acquire);
        return owner == 0 || owner == getpid();
    }
    ~Workers() {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        start_.notify_all();
        for (auto& t : threads_) t.join();
    }

    bool run(unsigned parts, const std::function<void(unsigned)>& job) {
        // A part that splits its work again runs it on threads of its own; so does a child
        // process forked from this one, which has none of the workers.
        if (inRound_ || !ownedHere()) return false;
        std::unique_lock<std::mutex> caller(use_, std::try_to_lock);
        if (!caller.owns_lock()) return false;
        inRound_ = true;
        {
            std::lock_guard<std::mutex> lock(m_);
            try {
                if (threads_.empty()) owner_.store(getpid(), std::memory_order_release);
                while (threads_.size() + 1 < parts) {
                    unsigned index = unsigned(threads_.size()) + 1;
                    threads_.emplace_back([this, index] { loop(index); });
                }
            } catch (...) {
                inRound_ = false;  // no more threads to be had: the caller's own way
                return false;
            }
            job_ = &job;
            parts_ = parts;
            pending_ = parts - 1;
            ++round_;
        }
        start_.notify_all();
        job(0);
        std::unique_lock<std::mutex> lock(m_);
        done_.wait(lock, [&] { return pending_ == 0; });
        job_ = nullptr;
        inRound_ = false;
        return true;
    }

private:
    void loop(unsigned index) {
        inRound_ = true;
        uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            start_.wait(lock, [&] { return stop_ || round_ != seen; });
            if (stop_) return;
            seen = round_;
            if (index >= parts_) continue;
            const std::function<void(unsigned)>* job = job_;
            lock.unlock();
            (*job)(index);  // the job catches what its part throws
            lock.lock();
            if (--pending_ == 0) done_.notify_one();
        }
    }

    std::mutex use_;  // one caller's round at a time
    std::mutex m_;
    std::condition_variable start_, done_;
    std::vector<std::thread> threads_;
    const std::function<void(unsigned)>* job_ = nullptr;
    unsigned parts_ = 0, pending_ = 0;
    uint64_t round_ = 0;
    std::atomic<pid_t> owner_{0};  // the process the workers run in
    bool stop_ = false;
    static thread_local bool inRound_;  // a worker, or a caller while its round runs
};

thread_local bool Workers::inRound_ = false;

}  // namespace

bool onWorkers(unsigned parts, const std::function<void(unsigned)>& job) {
    static Workers* workers = new Workers;
    // Ended with the program, in the process that started them; a forked child leaves them be.
    static const struct End {
        ~End() {
            if (workers->ownedHere()) delete workers;
        }
    } end;
    return workers->run(parts, job);
}

}  // namespace pivot
