#include "platform/manual_time.h"

#include <mutex>

#include "platform/sync.h"

namespace corv {

struct ManualTime::State {
    mutable Mutex mutex;
    int64_t nowMs = 0;
    SleepHook hook;
    std::vector<unsigned> sleeps;
};

ManualTime::ManualTime(int64_t now) : state_(new State) {
    state_->nowMs = now * 1000;
}

ManualTime::~ManualTime() = default;

void ManualTime::SetNow(int64_t secondsSince1970) {
    std::lock_guard<Mutex> lock(state_->mutex);
    state_->nowMs = secondsSince1970 * 1000;
}

void ManualTime::OnSleep(SleepHook hook) {
    std::lock_guard<Mutex> lock(state_->mutex);
    state_->hook = std::move(hook);
}

std::vector<unsigned> ManualTime::Sleeps() const {
    std::lock_guard<Mutex> lock(state_->mutex);
    return state_->sleeps;
}

int64_t ManualTime::Now() {
    std::lock_guard<Mutex> lock(state_->mutex);
    return state_->nowMs / 1000;
}

bool ManualTime::Sleep(unsigned ms, const StopSignal* stop) {
    if (stop && stop->IsStopped()) return true;
    SleepHook hook;
    size_t index = 0;
    {
        std::lock_guard<Mutex> lock(state_->mutex);
        index = state_->sleeps.size();
        state_->sleeps.push_back(ms);
        state_->nowMs += ms;
        hook = state_->hook;
    }
    if (hook) hook(ms, index);
    return stop && stop->IsStopped();
}

ScopedManualTime::ScopedManualTime(int64_t now) : ManualTime(now) {
    SetTimeSource(this);
}

ScopedManualTime::~ScopedManualTime() {
    SetTimeSource(nullptr);
}

}  // namespace corv
