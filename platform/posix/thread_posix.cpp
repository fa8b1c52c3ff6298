#include <pthread.h>

#include "../src/native_thread.h"

namespace corv {
namespace detail {

namespace {

struct StartArgs {
    NativeThread::Entry entry;
    void* arg;
};

void* Trampoline(void* p) {
    StartArgs args = *static_cast<StartArgs*>(p);
    delete static_cast<StartArgs*>(p);
    args.entry(args.arg);
    return nullptr;
}

static_assert(sizeof(pthread_t) <= sizeof(uintptr_t), "pthread_t does not fit");

}  // namespace

bool NativeThread::Start(Entry entry, void* arg) {
    if (started_) return false;
    auto* args = new StartArgs{entry, arg};
    pthread_t t;
    if (pthread_create(&t, nullptr, &Trampoline, args) != 0) {
        delete args;
        return false;
    }
    handle_ = static_cast<uintptr_t>(t);
    started_ = true;
    return true;
}

void NativeThread::Join() {
    if (!started_) return;
    pthread_join(static_cast<pthread_t>(handle_), nullptr);
    handle_ = 0;
    started_ = false;
}

void NativeThread::Detach() {
    if (!started_) return;
    pthread_detach(static_cast<pthread_t>(handle_));
    handle_ = 0;
    started_ = false;
}

// A thread cannot be ended safely from outside here; it is left to run on.
bool NativeThread::Terminate() {
    Detach();
    return false;
}

}  // namespace detail
}  // namespace corv
