#include "platform/thread.h"

#include <atomic>
#include <chrono>

#include "native_thread.h"
#include "platform/sync.h"

namespace corv {

struct WorkerThread::Impl {
    detail::NativeThread thread;
    std::atomic<unsigned> exitCode{kStillActive};
    Mutex mutex;
    ConditionVariable ended;
    bool running = false;
};

WorkerThread::WorkerThread() : impl_(new Impl) {}

WorkerThread::~WorkerThread() {
    // A thread still running at destruction is left to end with the process.
    if (impl_->thread.Joinable()) {
        if (IsRunning())
            impl_->thread.Detach();
        else
            impl_->thread.Join();
    }
}

void WorkerThread::Body(WorkerThread* self) {
    self->OnThreadStart();
    unsigned code = self->Run();
    self->OnThreadEnd();
    std::lock_guard<Mutex> lock(self->impl_->mutex);
    self->impl_->exitCode = code;
    self->impl_->running = false;
    self->impl_->ended.notify_all();
}

bool WorkerThread::Start() {
    if (IsRunning()) return false;
    if (impl_->thread.Joinable()) impl_->thread.Join();
    {
        std::lock_guard<Mutex> lock(impl_->mutex);
        impl_->running = true;
        impl_->exitCode = kStillActive;
    }
    auto entry = [](void* self) { Body(static_cast<WorkerThread*>(self)); };
    if (!impl_->thread.Start(entry, this)) {
        std::lock_guard<Mutex> lock(impl_->mutex);
        impl_->running = false;
        return false;
    }
    return true;
}

bool WorkerThread::IsRunning() const {
    std::lock_guard<Mutex> lock(impl_->mutex);
    return impl_->running;
}

unsigned WorkerThread::ExitCode() const {
    return impl_->exitCode;
}

bool WorkerThread::Join(unsigned timeoutMs) {
    {
        std::unique_lock<Mutex> lock(impl_->mutex);
        if (!impl_->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return !impl_->running; }))
            return false;
    }
    if (impl_->thread.Joinable()) impl_->thread.Join();
    return true;
}

void WorkerThread::Terminate() {
    if (!IsRunning() || !impl_->thread.Joinable()) return;
    if (!impl_->thread.Terminate()) return;
    std::lock_guard<Mutex> lock(impl_->mutex);
    impl_->running = false;
    impl_->exitCode = 1;
    impl_->ended.notify_all();
}

}  // namespace corv
