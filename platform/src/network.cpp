#include "platform/network.h"

#include <atomic>

namespace corv {

NetworkBackend* SystemNetworkBackend();  // per platform

namespace {
std::atomic<NetworkBackend*> g_network{nullptr};
}

NetworkBackend& Network() {
    NetworkBackend* b = g_network.load();
    return b ? *b : *SystemNetworkBackend();
}

void SetNetworkBackend(NetworkBackend* backend) {
    g_network.store(backend);
}

}  // namespace corv
