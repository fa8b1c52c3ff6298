// Time: the local wall-clock time for time stamps, the calendar time in seconds, and the waits of
// worker threads, which a test clock replaces so that no test waits.
#pragma once

#include <cstdint>
#include <memory>

namespace corv {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

LocalTime LocalTimeNow();

// Seconds since 1 January 1970 UTC, from the system's clock.
int64_t SystemSecondsSince1970();

// Set by the thread that wants a worker to end; the worker's waits return at once once it is set.
class StopSignal {
  public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Stop();
    void Reset();
    bool IsStopped() const;
    // Waits at most ms; true when the signal is (or becomes) set.
    bool WaitFor(unsigned ms) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Where the monitors take the time and do their waiting.
class TimeSource {
  public:
    virtual ~TimeSource() = default;
    // Seconds since 1 January 1970 UTC.
    virtual int64_t Now() = 0;
    // Waits ms, or less when stop (may be null) is set; true when stopped.
    virtual bool Sleep(unsigned ms, const StopSignal* stop) = 0;
};

// The process-wide source: the system's clock unless a test installed another.
TimeSource& Clock();
void SetTimeSource(TimeSource* source);  // not owned; nullptr restores the system's

}  // namespace corv
