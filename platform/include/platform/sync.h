// Locks and condition variables for every supported system. The 32-bit Windows runtime has no
// std::mutex, std::thread or std::condition_variable, and the condition variables of newer
// Windows are not available on the oldest ones we run on, so these are built from critical
// sections and events there (pthreads elsewhere). Use them with std::lock_guard and
// std::unique_lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/system.h"

namespace corv {

namespace detail {
// Room for the system's lock or condition object, so that no system header leaks out.
struct alignas(8) SyncStorage {
    unsigned char bytes[64];
};
}  // namespace detail

// Not recursive: a thread must not lock it twice.
class Mutex {
  public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock();
    void unlock();

  private:
    friend class ConditionVariable;
    detail::SyncStorage storage_;
};

// The owning thread may lock it again; each lock needs its unlock.
class RecursiveMutex {
  public:
    RecursiveMutex();
    ~RecursiveMutex();
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;
    void lock();
    void unlock();

  private:
    detail::SyncStorage storage_;
};

// Waits on a Mutex held by a std::unique_lock. As with std::condition_variable, a wait may wake
// without a notification: wait with a predicate, or check the state after waking.
class ConditionVariable {
  public:
    ConditionVariable();
    ~ConditionVariable();
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;

    void notify_one();
    void notify_all();

    void wait(std::unique_lock<Mutex>& lock) { WaitMs(lock, kForever); }
    template <class Pred>
    void wait(std::unique_lock<Mutex>& lock, Pred pred) {
        while (!pred()) WaitMs(lock, kForever);
    }
    // false when the time ran out.
    template <class Rep, class Period>
    bool wait_for(std::unique_lock<Mutex>& lock, const std::chrono::duration<Rep, Period>& time) {
        return WaitMs(lock, ToMs(time));
    }
    // The predicate's value at the end.
    template <class Rep, class Period, class Pred>
    bool wait_for(std::unique_lock<Mutex>& lock, const std::chrono::duration<Rep, Period>& time,
                  Pred pred) {
        const unsigned total = ToMs(time);
        const uint64_t start = TickCountMs();
        while (!pred()) {
            uint64_t spent = TickCountMs() - start;
            if (spent >= total) return false;
            WaitMs(lock, static_cast<unsigned>(total - spent));
        }
        return true;
    }

  private:
    static constexpr unsigned kForever = 0xFFFFFFFFu;
    // Longest finite wait, in whole milliseconds rounded up.
    template <class Rep, class Period>
    static unsigned ToMs(const std::chrono::duration<Rep, Period>& time) {
        if (time <= time.zero()) return 0;
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(time).count();
        return ms >= static_cast<decltype(ms)>(kForever) ? kForever - 1 : static_cast<unsigned>(ms);
    }
    // false when the time ran out; kForever waits without end.
    bool WaitMs(std::unique_lock<Mutex>& lock, unsigned ms);

    detail::SyncStorage storage_;
};

}  // namespace corv
