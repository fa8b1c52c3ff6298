#include <windows.h>

#include <new>

#include "platform/sync.h"

namespace corv {

namespace {

CRITICAL_SECTION* Section(detail::SyncStorage& s) {
    return reinterpret_cast<CRITICAL_SECTION*>(s.bytes);
}

// One event per waiting thread, queued in the order they began to wait: nothing here needs the
// condition variables that Windows gained later.
struct Waiter {
    HANDLE event = nullptr;
    Waiter* next = nullptr;
    bool woken = false;
};

struct CondState {
    CRITICAL_SECTION section;  // guards the queue
    Waiter* head = nullptr;
    Waiter* tail = nullptr;
};
static_assert(sizeof(CondState) <= sizeof(detail::SyncStorage), "condition state too large");
static_assert(alignof(CondState) <= alignof(detail::SyncStorage), "condition state misaligned");

CondState* State(detail::SyncStorage& s) {
    return reinterpret_cast<CondState*>(s.bytes);
}

// Caller holds the queue's section. The event is set under it, so the waiter cannot close it
// (and leave with its stack) in between.
void Wake(Waiter* w) {
    w->woken = true;
    SetEvent(w->event);
}

}  // namespace

Mutex::Mutex() {
    InitializeCriticalSection(new (storage_.bytes) CRITICAL_SECTION);
}
Mutex::~Mutex() {
    DeleteCriticalSection(Section(storage_));
}
void Mutex::lock() {
    EnterCriticalSection(Section(storage_));
}
void Mutex::unlock() {
    LeaveCriticalSection(Section(storage_));
}

RecursiveMutex::RecursiveMutex() {
    InitializeCriticalSection(new (storage_.bytes) CRITICAL_SECTION);
}
RecursiveMutex::~RecursiveMutex() {
    DeleteCriticalSection(Section(storage_));
}
void RecursiveMutex::lock() {
    EnterCriticalSection(Section(storage_));
}
void RecursiveMutex::unlock() {
    LeaveCriticalSection(Section(storage_));
}

ConditionVariable::ConditionVariable() {
    CondState* s = new (storage_.bytes) CondState;
    InitializeCriticalSection(&s->section);
}

ConditionVariable::~ConditionVariable() {
    DeleteCriticalSection(&State(storage_)->section);
}

void ConditionVariable::notify_one() {
    CondState* s = State(storage_);
    EnterCriticalSection(&s->section);
    if (Waiter* w = s->head) {
        s->head = w->next;
        if (!s->head) s->tail = nullptr;
        Wake(w);
    }
    LeaveCriticalSection(&s->section);
}

void ConditionVariable::notify_all() {
    CondState* s = State(storage_);
    EnterCriticalSection(&s->section);
    for (Waiter* w = s->head; w;) {
        Waiter* next = w->next;
        Wake(w);
        w = next;
    }
    s->head = s->tail = nullptr;
    LeaveCriticalSection(&s->section);
}

bool ConditionVariable::WaitMs(std::unique_lock<Mutex>& lock, unsigned ms) {
    CondState* s = State(storage_);
    Waiter self;
    self.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!self.event) {
        // Out of handles: wake up soon instead, which callers must allow for anyway.
        lock.unlock();
        Sleep(ms < 10 ? ms : 10);
        lock.lock();
        return true;
    }
    // Queued before the caller's lock is let go, so a notification after that finds it.
    EnterCriticalSection(&s->section);
    if (s->tail)
        s->tail->next = &self;
    else
        s->head = &self;
    s->tail = &self;
    LeaveCriticalSection(&s->section);

    lock.unlock();
    WaitForSingleObject(self.event, ms);

    EnterCriticalSection(&s->section);
    bool woken = self.woken;
    if (!woken) {
        // Timed out: leave the queue.
        Waiter* prev = nullptr;
        for (Waiter* w = s->head; w; prev = w, w = w->next) {
            if (w != &self) continue;
            if (prev)
                prev->next = w->next;
            else
                s->head = w->next;
            if (s->tail == w) s->tail = prev;
            break;
        }
    }
    LeaveCriticalSection(&s->section);
    CloseHandle(self.event);
    lock.lock();
    return woken;
}

}  // namespace corv
