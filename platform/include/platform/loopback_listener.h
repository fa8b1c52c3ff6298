// A TCP listener on 127.0.0.1 for tests and demos that need a reachable peer without leaving
// the machine. Connections are left in the backlog; nothing is read or sent.
#pragma once

#include <cstdint>

namespace corv {

class LoopbackListener {
  public:
    // port 0: a free port chosen by the system.
    explicit LoopbackListener(int port = 0);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool IsListening() const { return socket_ != -1; }
    int Port() const { return port_; }

  private:
    intptr_t socket_ = -1;
    int port_ = 0;
    [[maybe_unused]] bool started_ = false;  // Windows: the sockets layer was started here
};

}  // namespace corv
