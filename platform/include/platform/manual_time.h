// A clock for tests: the time moves only when the test sets it or a worker sleeps, and no sleep
// waits. Each sleep is recorded, and a hook the test gives runs after it on the sleeping thread,
// so the test can change the world (or stop the worker) at a chosen step.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/clock.h"

namespace corv {

class ManualTime : public TimeSource {
  public:
    // Runs after the sleep with its length and its number (from 0).
    using SleepHook = std::function<void(unsigned ms, size_t index)>;

    explicit ManualTime(int64_t now = 1700000000);
    ~ManualTime() override;

    void SetNow(int64_t secondsSince1970);
    void OnSleep(SleepHook hook);
    // The recorded sleeps, in order.
    std::vector<unsigned> Sleeps() const;

    int64_t Now() override;
    // Records the sleep, moves the clock on by ms and runs the hook; never blocks.
    bool Sleep(unsigned ms, const StopSignal* stop) override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Installs a ManualTime as the process's clock for the lifetime of the object.
class ScopedManualTime : public ManualTime {
  public:
    explicit ScopedManualTime(int64_t now = 1700000000);
    ~ScopedManualTime() override;
};

}  // namespace corv
