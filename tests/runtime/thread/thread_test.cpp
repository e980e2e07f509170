#include "runtime/thread/thread.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Holds threads until the test lets them go.
class Gate {
public:
    void wait() {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return open_; });
    }
    void open() {
        std::lock_guard lock(m_);
        open_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = false;
};

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rt::waitAllThreads(5s)); }
    void TearDown() override { EXPECT_TRUE(rt::waitAllThreads(5s)); }
};

TEST_F(ThreadTest, NumbersRunFromOneToSixtyFourAndTheNextStartFails) {
    Gate gate;
    std::mutex m;
    std::vector<int> seen;
    std::vector<int> started;
    for (int i = 0; i < rt::MaxProgramThreads; ++i) {
        started.push_back(rt::startThread([&] {
            {
                std::lock_guard lock(m);
                seen.push_back(rt::threadNumber());
            }
            gate.wait();
        }));
    }
    for (int i = 0; i < rt::MaxProgramThreads; ++i) EXPECT_EQ(started[i], i + 1);
    EXPECT_EQ(rt::runningThreadCount(), 64);

    bool ran = false;
    EXPECT_EQ(rt::startThread([&] { ran = true; }), 0);

    gate.open();
    ASSERT_TRUE(rt::waitAllThreads(5s));
    EXPECT_FALSE(ran);
    std::set<int> numbers(seen.begin(), seen.end());
    ASSERT_EQ(numbers.size(), 64u);
    EXPECT_EQ(*numbers.begin(), 1);
    EXPECT_EQ(*numbers.rbegin(), 64);
}

TEST_F(ThreadTest, NumbersComeBackIntoUseAfterTheThreadEnds) {
    Gate holdFirst, holdSecond;
    int a = rt::startThread([&] { holdFirst.wait(); });
    int b = rt::startThread([&] { holdSecond.wait(); });
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    holdFirst.open();
    rt::waitThread(a);
    EXPECT_FALSE(rt::threadRunning(a));
    EXPECT_TRUE(rt::threadRunning(b));
    int c = rt::startThread([] {});
    EXPECT_EQ(c, 1);
    holdSecond.open();
    rt::waitThread(c);
    rt::waitThread(b);
}

// The system threads of this process, as the kernel lists them.
long systemThreads() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator());
}

// Its destructor runs in the last steps of a thread, after the thread's number is free again.
struct SlowToGo {
    bool used = false;
    ~SlowToGo() {
        if (used) std::this_thread::sleep_for(300ms);
    }
};
thread_local SlowToGo slowToGo;

TEST_F(ThreadTest, AfterWaitingForAllNoEndedThreadIsStillTearingItselfDown) {
    const long before = systemThreads();
    for (int i = 0; i < 3; ++i) ASSERT_NE(rt::startThread([] { slowToGo.used = true; }), 0);
    ASSERT_TRUE(rt::waitAllThreads(5s));
    // A leak check or the process's end right now must find no thread half gone.
    EXPECT_EQ(systemThreads(), before);
    // A number taken again waits for the last steps of its former thread.
    int n = rt::startThread([] { slowToGo.used = true; });
    rt::waitThread(n);
    int again = rt::startThread([] {});
    EXPECT_EQ(again, n);
    rt::waitThread(again);
    ASSERT_TRUE(rt::waitAllThreads(5s));
    EXPECT_EQ(systemThreads(), before);
}

TEST_F(ThreadTest, WaitWithTimeLimitReportsAThreadThatStillRuns) {
    Gate gate;
    int n = rt::startThread([&] { gate.wait(); });
    EXPECT_FALSE(rt::waitThread(n, 20ms));
    gate.open();
    EXPECT_TRUE(rt::waitThread(n, 5s));
    EXPECT_TRUE(rt::waitThread(n, 0ms));  // not running: at once
}

TEST_F(ThreadTest, ProcedureGetsItsHandOverValueAndTheTestBodyIsNoProgramThread) {
    EXPECT_EQ(rt::threadNumber(), 0);
    std::string got;
    int number = 0;
    int n = rt::startThread(
        [&](const std::string& v) {
            got = v;
            number = rt::threadNumber();
        },
        "0");
    rt::waitThread(n);
    EXPECT_EQ(got, "0");
    EXPECT_EQ(number, n);
}

TEST_F(ThreadTest, HooksRunOnTheNewThreadAroundTheProcedure) {
    std::mutex m;
    std::vector<std::string> log;
    auto note = [&](std::string s) {
        std::lock_guard lock(m);
        log.push_back(std::move(s) + "@" + std::to_string(rt::threadNumber()));
    };
    int s1 = rt::addThreadStartHook([&] { note(rt::ThreadRequest == 0 ? "start1" : "start1-dirty"); });
    int s2 = rt::addThreadStartHook([&] { note("start2"); });
    int e1 = rt::addThreadEndHook([&] { note("end1"); });
    int e2 = rt::addThreadEndHook([&] { note("end2"); });
    int n = rt::startThread([&] { note("proc"); });
    rt::waitThread(n);
    rt::removeThreadHook(s1);
    rt::removeThreadHook(s2);
    rt::removeThreadHook(e1);
    rt::removeThreadHook(e2);
    std::string at = "@" + std::to_string(n);
    EXPECT_EQ(log, (std::vector<std::string>{"start1" + at, "start2" + at, "proc" + at, "end2" + at, "end1" + at}));

    log.clear();
    rt::waitThread(rt::startThread([] {}));
    EXPECT_TRUE(log.empty());  // removed hooks stay silent
}

TEST_F(ThreadTest, ProcedureEndedByAnExceptionStillRunsEndHooksAndFreesItsNumber) {
    std::atomic<int> ends{0};
    int e = rt::addThreadEndHook([&] { ++ends; });
    int n = rt::startThread([] { throw std::runtime_error("boom"); });
    ASSERT_TRUE(rt::waitThread(n, 5s));
    rt::removeThreadHook(e);
    EXPECT_EQ(ends.load(), 1);
    EXPECT_FALSE(rt::threadRunning(n));
}

TEST_F(ThreadTest, TheFailureHandlerHearsOfEveryProcedureEndedByAnException) {
    struct Failure {
        int thread;
        int reportedOn;
        std::string what;
        bool endHookRan;
    };
    std::mutex m;
    std::vector<Failure> failures;
    std::atomic<int> ends{0};
    int e = rt::addThreadEndHook([&] { ++ends; });
    auto previous = rt::setProcedureFailureHandler([&](int thread, const std::string& what) {
        std::lock_guard lock(m);
        failures.push_back({thread, rt::threadNumber(), what, ends.load() > 0});
    });
    int a = rt::startThread([] { throw std::runtime_error("Datei nicht gefunden"); });
    ASSERT_TRUE(rt::waitThread(a, 5s));
    int b = rt::startThread([] { throw 42; });
    ASSERT_TRUE(rt::waitThread(b, 5s));
    int c = rt::startThread([] {});  // ends normally: not reported
    ASSERT_TRUE(rt::waitThread(c, 5s));
    EXPECT_EQ(ends.load(), 3);

    // A handler that fails itself does not take the thread's end with it.
    rt::setProcedureFailureHandler([](int, const std::string&) { throw std::logic_error("handler"); });
    int d = rt::startThread([] { throw std::runtime_error("again"); });
    ASSERT_TRUE(rt::waitThread(d, 5s));
    EXPECT_EQ(ends.load(), 4);

    rt::setProcedureFailureHandler(std::move(previous));
    rt::removeThreadHook(e);
    std::lock_guard lock(m);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].thread, a);
    EXPECT_EQ(failures[0].reportedOn, a);
    EXPECT_EQ(failures[0].what, "Datei nicht gefunden");
    EXPECT_FALSE(failures[0].endHookRan);
    EXPECT_EQ(failures[1].thread, b);
    EXPECT_EQ(failures[1].what, "");
}

TEST_F(ThreadTest, PerThreadStateIsSeparateAndStartsCleared) {
    rt::ThreadRequest = 4;  // the test body's own copy
    rt::setError(33, "Record Not Available");
    Gate aSet, bDone;
    int seenRequest = -1, seenError = -1;
    int a = rt::startThread([&] {
        rt::ThreadRequest = 2;
        rt::ThreadVcrRequest = 7;
        rt::setFileError(90, "File System Error", "42S02", "no such table");
        rt::pushProcedureName("BrowseWerte");
        aSet.open();
        bDone.wait();
        EXPECT_EQ(rt::ThreadRequest, 2);
        EXPECT_EQ(rt::ThreadVcrRequest, 7);
        EXPECT_EQ(rt::errorCode(), 90);
        EXPECT_EQ(rt::fileErrorText(), "no such table");
        EXPECT_EQ(rt::currentProcedureName(), "BrowseWerte");
    });
    aSet.wait();
    int b = rt::startThread([&] {
        seenRequest = rt::ThreadRequest + rt::ThreadResponse + rt::ThreadVcrRequest;
        seenError = rt::errorCode();
        EXPECT_EQ(rt::currentProcedureName(), "");
        bDone.open();
    });
    rt::waitThread(b);
    rt::waitThread(a);
    EXPECT_EQ(seenRequest, 0);
    EXPECT_EQ(seenError, 0);
    EXPECT_EQ(rt::ThreadRequest, 4);
    EXPECT_EQ(rt::errorCode(), 33);
    rt::resetThreadState();
    EXPECT_EQ(rt::ThreadRequest, 0);
    EXPECT_EQ(rt::errorText(), "");
}

TEST_F(ThreadTest, SharedValuesStayWholeUnderConcurrentWriters) {
    rt::Shared<std::string> text(std::string(500, 'a'));
    rt::Shared<long> counter(0);
    std::atomic<int> torn{0};
    std::vector<int> ts;
    for (int w = 0; w < 8; ++w) {
        ts.push_back(rt::startThread([&, w] {
            std::string mine(500 + w, static_cast<char>('a' + w));
            for (int i = 0; i < 2000; ++i) {
                text.set(mine);
                std::string got = text.get();
                // Whatever writer won, the value is one writer's value, whole.
                if (got.size() < 500 || got.find_first_not_of(got[0]) != std::string::npos ||
                    got.size() != 500 + static_cast<std::size_t>(got[0] - 'a'))
                    ++torn;
                counter.update([](long& c) { ++c; });
            }
        }));
    }
    for (int t : ts) rt::waitThread(t);
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(counter.get(), 8 * 2000);
}

TEST_F(ThreadTest, ThreadLockIsRecursiveAndExcludesOtherThreads) {
    std::atomic<bool> inside{false};
    rt::lockThread();
    {
        rt::ThreadLockGuard again;  // same thread: no dead lock
    }
    int n = rt::startThread([&] {
        rt::ThreadLockGuard guard;
        inside = true;
    });
    EXPECT_FALSE(rt::waitThread(n, 30ms));
    EXPECT_FALSE(inside.load());
    rt::unlockThread();
    rt::waitThread(n);
    EXPECT_TRUE(inside.load());
}

}  // namespace
