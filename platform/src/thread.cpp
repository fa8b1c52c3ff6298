#include "platform/thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

#ifdef _WIN32
#include <pthread.h>
#include <windows.h>
#endif

namespace corv {

struct WorkerThread::Impl {
    std::thread thread;
    std::atomic<unsigned> exitCode{kStillActive};
    std::mutex mutex;
    std::condition_variable ended;
    bool running = false;
};

WorkerThread::WorkerThread() : impl_(new Impl) {}

WorkerThread::~WorkerThread() {
    // A thread still running at destruction is left to end with the process.
    if (impl_->thread.joinable()) {
        if (IsRunning())
            impl_->thread.detach();
        else
            impl_->thread.join();
    }
}

void WorkerThread::Body(WorkerThread* self) {
    self->OnThreadStart();
    unsigned code = self->Run();
    self->OnThreadEnd();
    std::lock_guard<std::mutex> lock(self->impl_->mutex);
    self->impl_->exitCode = code;
    self->impl_->running = false;
    self->impl_->ended.notify_all();
}

bool WorkerThread::Start() {
    if (IsRunning()) return false;
    if (impl_->thread.joinable()) impl_->thread.join();
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->running = true;
        impl_->exitCode = kStillActive;
    }
    try {
        impl_->thread = std::thread(&WorkerThread::Body, this);
    } catch (...) {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->running = false;
        return false;
    }
    return true;
}

bool WorkerThread::IsRunning() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->running;
}

unsigned WorkerThread::ExitCode() const {
    return impl_->exitCode;
}

bool WorkerThread::Join(unsigned timeoutMs) {
    {
        std::unique_lock<std::mutex> lock(impl_->mutex);
        if (!impl_->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return !impl_->running; }))
            return false;
    }
    if (impl_->thread.joinable()) impl_->thread.join();
    return true;
}

void WorkerThread::Terminate() {
    if (!IsRunning() || !impl_->thread.joinable()) return;
#ifdef _WIN32
    TerminateThread(pthread_gethandle(impl_->thread.native_handle()), 1);
    impl_->thread.detach();
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->running = false;
    impl_->exitCode = 1;
    impl_->ended.notify_all();
#else
    impl_->thread.detach();
#endif
}

}  // namespace corv
