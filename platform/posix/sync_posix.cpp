#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <new>

#include "platform/sync.h"

namespace corv {

namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(detail::SyncStorage), "mutex too large");
static_assert(sizeof(pthread_cond_t) <= sizeof(detail::SyncStorage), "condition too large");

pthread_mutex_t* MutexOf(detail::SyncStorage& s) {
    return reinterpret_cast<pthread_mutex_t*>(s.bytes);
}
pthread_cond_t* CondOf(detail::SyncStorage& s) {
    return reinterpret_cast<pthread_cond_t*>(s.bytes);
}

}  // namespace

Mutex::Mutex() {
    pthread_mutex_init(new (storage_.bytes) pthread_mutex_t, nullptr);
}
Mutex::~Mutex() {
    pthread_mutex_destroy(MutexOf(storage_));
}
void Mutex::lock() {
    pthread_mutex_lock(MutexOf(storage_));
}
void Mutex::unlock() {
    pthread_mutex_unlock(MutexOf(storage_));
}

RecursiveMutex::RecursiveMutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (storage_.bytes) pthread_mutex_t, &attr);
    pthread_mutexattr_destroy(&attr);
}
RecursiveMutex::~RecursiveMutex() {
    pthread_mutex_destroy(MutexOf(storage_));
}
void RecursiveMutex::lock() {
    pthread_mutex_lock(MutexOf(storage_));
}
void RecursiveMutex::unlock() {
    pthread_mutex_unlock(MutexOf(storage_));
}

ConditionVariable::ConditionVariable() {
    // Timed waits count on the monotonic clock: a change of the wall clock must not cut or
    // stretch them.
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(new (storage_.bytes) pthread_cond_t, &attr);
    pthread_condattr_destroy(&attr);
}
ConditionVariable::~ConditionVariable() {
    pthread_cond_destroy(CondOf(storage_));
}
void ConditionVariable::notify_one() {
    pthread_cond_signal(CondOf(storage_));
}
void ConditionVariable::notify_all() {
    pthread_cond_broadcast(CondOf(storage_));
}

bool ConditionVariable::WaitMs(std::unique_lock<Mutex>& lock, unsigned ms) {
    pthread_mutex_t* m = MutexOf(lock.mutex()->storage_);
    if (ms == kForever) {
        pthread_cond_wait(CondOf(storage_), m);
        return true;
    }
    struct timespec at;
    clock_gettime(CLOCK_MONOTONIC, &at);
    at.tv_sec += ms / 1000;
    at.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (at.tv_nsec >= 1000000000L) {
        at.tv_sec += 1;
        at.tv_nsec -= 1000000000L;
    }
    return pthread_cond_timedwait(CondOf(storage_), m, &at) != ETIMEDOUT;
}

}  // namespace corv
