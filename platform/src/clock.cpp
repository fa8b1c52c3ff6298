#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <mutex>

#include "platform/sync.h"
#include "platform/system.h"

namespace corv {

struct StopSignal::State {
    Mutex mutex;
    ConditionVariable changed;
    bool stopped = false;
};

StopSignal::StopSignal() : state_(new State) {}
StopSignal::~StopSignal() = default;

void StopSignal::Stop() {
    std::lock_guard<Mutex> lock(state_->mutex);
    state_->stopped = true;
    state_->changed.notify_all();
}

void StopSignal::Reset() {
    std::lock_guard<Mutex> lock(state_->mutex);
    state_->stopped = false;
}

bool StopSignal::IsStopped() const {
    std::lock_guard<Mutex> lock(state_->mutex);
    return state_->stopped;
}

bool StopSignal::WaitFor(unsigned ms) const {
    std::unique_lock<Mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::milliseconds(ms),
                                    [this] { return state_->stopped; });
}

namespace {

class SystemTime : public TimeSource {
  public:
    int64_t Now() override { return SystemSecondsSince1970(); }
    bool Sleep(unsigned ms, const StopSignal* stop) override {
        if (stop) return stop->WaitFor(ms);
        SleepMs(ms);
        return false;
    }
};

std::atomic<TimeSource*> g_source{nullptr};

}  // namespace

TimeSource& Clock() {
    static SystemTime system;
    TimeSource* s = g_source.load();
    return s ? *s : system;
}

void SetTimeSource(TimeSource* source) {
    g_source.store(source);
}

}  // namespace corv
