// Locks, condition variables and worker threads on the system's own primitives.
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/thread.h"

namespace corv {
namespace {

// Reached only when a wake-up was lost.
constexpr auto kLost = std::chrono::seconds(30);

struct NotifyCase {
    const char* name;
    int waiters;
    bool all;            // notify_all, else one notify_one per waiter
    bool timedOutFirst;  // a wait that timed out came before them
};

TEST(ConditionVariableTest, ANotificationReachesTheThreadsWaiting) {
    const NotifyCase cases[] = {
        {"one waiter", 1, false, false},
        {"one waiter after a timed-out wait", 1, false, true},
        {"three waiters, one by one", 3, false, false},
        {"three waiters, all at once, after a timed-out wait", 3, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mutex mutex;
        ConditionVariable cv, announced;
        int waiting = 0;
        int returned = 0;
        std::vector<int> woken(c.waiters, -1);
        if (c.timedOutFirst) {
            std::unique_lock<Mutex> lock(mutex);
            EXPECT_FALSE(cv.wait_for(lock, std::chrono::milliseconds(2), [] { return false; }));
        }
        std::vector<std::thread> threads;
        for (int i = 0; i < c.waiters; ++i) {
            threads.emplace_back([&, i] {
                std::unique_lock<Mutex> lock(mutex);
                ++waiting;
                announced.notify_all();
                // Whether a notification, not the clock, ended the wait.
                woken[i] = cv.wait_for(lock, kLost) ? 1 : 0;
                ++returned;
                announced.notify_all();
            });
        }
        {
            // The lock is free only once every waiter is inside its wait.
            std::unique_lock<Mutex> lock(mutex);
            EXPECT_TRUE(announced.wait_for(lock, kLost, [&] { return waiting == c.waiters; }));
        }
        for (int n = 0; n < c.waiters; ++n) {
            std::unique_lock<Mutex> lock(mutex);
            if (c.all) {
                cv.notify_all();
                break;
            }
            cv.notify_one();
            EXPECT_TRUE(announced.wait_for(lock, kLost, [&] { return returned == n + 1; }));
        }
        for (auto& t : threads) t.join();
        for (int i = 0; i < c.waiters; ++i) EXPECT_EQ(woken[i], 1) << "waiter " << i;
    }
}

TEST(ConditionVariableTest, ManyHandOversLoseNoWakeUp) {
    Mutex mutex;
    ConditionVariable cv;
    int turn = 0;  // even: the main thread's, odd: the other's
    const int kRounds = 2000;
    bool lost = false;
    std::thread other([&] {
        std::unique_lock<Mutex> lock(mutex);
        for (int i = 0; i < kRounds && !lost; ++i) {
            if (!cv.wait_for(lock, kLost, [&] { return turn % 2 == 1; })) lost = true;
            ++turn;
            cv.notify_one();
        }
    });
    {
        std::unique_lock<Mutex> lock(mutex);
        for (int i = 0; i < kRounds && !lost; ++i) {
            ++turn;
            cv.notify_one();
            if (!cv.wait_for(lock, kLost, [&] { return turn % 2 == 0; })) lost = true;
        }
    }
    other.join();
    EXPECT_FALSE(lost);
    EXPECT_EQ(turn, 2 * kRounds);
}

template <class Lock>
int CountUnderLock(bool nested) {
    Lock lock;
    int count = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            std::lock_guard<Lock> outer(lock);
            if (nested) {
                std::lock_guard<Lock> inner(lock);
                ++count;
            } else {
                ++count;
            }
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    return count;
}

TEST(MutexTest, OneThreadAtATimeAndTheOwnerMayRelockARecursiveOne) {
    EXPECT_EQ(CountUnderLock<Mutex>(false), 40000);
    EXPECT_EQ(CountUnderLock<RecursiveMutex>(false), 40000);
    EXPECT_EQ(CountUnderLock<RecursiveMutex>(true), 40000);
}

class GatedThread : public WorkerThread {
  public:
    void Open(unsigned code) {
        std::lock_guard<Mutex> lock(mutex_);
        code_ = code;
        open_ = true;
        cv_.notify_all();
    }
    std::vector<std::string> Steps() {
        std::lock_guard<Mutex> lock(mutex_);
        return steps_;
    }
    bool RanElsewhere() {
        std::lock_guard<Mutex> lock(mutex_);
        return ranOn_ != std::this_thread::get_id();
    }

  protected:
    void OnThreadStart() override { Step("start"); }
    unsigned Run() override {
        Step("run");
        std::unique_lock<Mutex> lock(mutex_);
        ranOn_ = std::this_thread::get_id();
        cv_.wait(lock, [&] { return open_; });
        open_ = false;
        return code_;
    }
    void OnThreadEnd() override { Step("end"); }

  private:
    void Step(const char* s) {
        std::lock_guard<Mutex> lock(mutex_);
        steps_.push_back(s);
    }
    Mutex mutex_;
    ConditionVariable cv_;
    bool open_ = false;
    unsigned code_ = 0;
    std::thread::id ranOn_;
    std::vector<std::string> steps_;
};

TEST(WorkerThreadTest, HooksRunInOrderOnTheirOwnThreadAndTheExitCodeFollowsRun) {
    GatedThread t;
    for (unsigned code : {7u, 0u}) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(t.Start());
        EXPECT_FALSE(t.Start()) << "a running thread is not started twice";
        EXPECT_TRUE(t.IsRunning());
        EXPECT_EQ(t.ExitCode(), kStillActive);
        EXPECT_FALSE(t.Join(0));
        t.Open(code);
        ASSERT_TRUE(t.Join(30000));
        EXPECT_FALSE(t.IsRunning());
        EXPECT_EQ(t.ExitCode(), code);
        EXPECT_TRUE(t.RanElsewhere());
    }
    EXPECT_EQ(t.Steps(), (std::vector<std::string>{"start", "run", "end", "start", "run", "end"}));
}

}  // namespace
}  // namespace corv
