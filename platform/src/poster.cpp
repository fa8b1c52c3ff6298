#include <atomic>
#include <chrono>

#include "platform/thread.h"

namespace corv {

namespace {
std::atomic<MessagePoster*> g_poster{nullptr};
}

void SetMainPoster(MessagePoster* poster) {
    g_poster = poster;
}

bool PostToMain(unsigned message, uintptr_t wParam, intptr_t lParam) {
    MessagePoster* p = g_poster;
    return p && p->Post(message, wParam, lParam);
}

bool QueuedPoster::Post(unsigned message, uintptr_t wParam, intptr_t lParam) {
    std::lock_guard<Mutex> lock(mutex_);
    queue_.push_back({message, wParam, lParam});
    history_.push_back(message);
    posted_.notify_all();
    return true;
}

std::vector<unsigned> QueuedPoster::History() {
    std::lock_guard<Mutex> lock(mutex_);
    return history_;
}

bool QueuedPoster::WaitForPosts(unsigned message, size_t count, unsigned timeoutMs) {
    std::unique_lock<Mutex> lock(mutex_);
    return posted_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        size_t n = 0;
        for (unsigned m : history_) n += m == message;
        return n >= count;
    });
}

size_t QueuedPoster::Pump(const std::function<void(const Message&)>& handler) {
    size_t n = 0;
    for (;;) {
        Message m;
        {
            std::lock_guard<Mutex> lock(mutex_);
            if (queue_.empty()) return n;
            m = queue_.front();
            queue_.pop_front();
        }
        handler(m);
        ++n;
    }
}

size_t QueuedPoster::Size() {
    std::lock_guard<Mutex> lock(mutex_);
    return queue_.size();
}

}  // namespace corv
