// Worker threads and the hand-over of events to the main window's thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/sync.h"

namespace corv {

constexpr unsigned kStillActive = 259;

// A thread with a start hook, a body and an end hook, run in that order on the new thread.
// ExitCode() is kStillActive until Run has returned.
class WorkerThread {
  public:
    WorkerThread();
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool Start();
    bool IsRunning() const;
    unsigned ExitCode() const;
    // Waits for the thread to end; true when it ended within the time.
    bool Join(unsigned timeoutMs);
    // Forced end; only for teardown when the thread does not stop by its flag.
    void Terminate();

  protected:
    virtual void OnThreadStart() {}
    virtual unsigned Run() = 0;
    virtual void OnThreadEnd() {}

  private:
    struct Impl;
    static void Body(WorkerThread* self);
    std::unique_ptr<Impl> impl_;
};

// Where worker threads post their messages for the main window.
class MessagePoster {
  public:
    virtual ~MessagePoster() = default;
    virtual bool Post(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
};

void SetMainPoster(MessagePoster* poster);  // not owned
// Posts to the main window; false when there is none or the post failed.
bool PostToMain(unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0);

// A poster that keeps the messages until the owner pumps them (native tests).
class QueuedPoster : public MessagePoster {
  public:
    struct Message {
        unsigned message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    bool Post(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    // Hands each queued message to the handler in order; returns how many.
    size_t Pump(const std::function<void(const Message&)>& handler);
    size_t Size();
    // The number of every message posted so far, pumped ones included, in order.
    std::vector<unsigned> History();
    // Waits until `count` messages with this number were posted; false when the time passed.
    bool WaitForPosts(unsigned message, size_t count, unsigned timeoutMs);

  private:
    Mutex mutex_;
    ConditionVariable posted_;
    std::deque<Message> queue_;
    std::vector<unsigned> history_;
};

}  // namespace corv
