// The system's thread under WorkerThread (one implementation per system).
#pragma once

#include <cstdint>

namespace corv {
namespace detail {

class NativeThread {
  public:
    using Entry = void (*)(void* arg);
    // false when the system refused to start it.
    bool Start(Entry entry, void* arg);
    bool Joinable() const { return started_; }
    // Waits for the thread to end and lets it go.
    void Join();
    // Lets the thread run on by itself.
    void Detach();
    // Ends the thread where it stands and lets it go; false where the system cannot.
    bool Terminate();

  private:
    uintptr_t handle_ = 0;
    bool started_ = false;
};

}  // namespace detail
}  // namespace corv
