#include "platform/network.h"

#include <atomic>

#include "platform/host_table.h"
#include "platform/system.h"

namespace corv {

NetworkBackend* SystemNetworkBackend();  // per platform

namespace {

std::atomic<NetworkBackend*> g_network{nullptr};

NetworkBackend* ProcessNetworkBackend() {
    static NetworkBackend* backend = [] {
        std::string path = GetEnv(kHostTableVariable);
        if (path.empty()) return SystemNetworkBackend();
        static HostTableNetwork table(*SystemNetworkBackend(), path);
        return static_cast<NetworkBackend*>(&table);
    }();
    return backend;
}

}  // namespace

NetworkBackend& Network() {
    NetworkBackend* b = g_network.load();
    return b ? *b : *ProcessNetworkBackend();
}

void SetNetworkBackend(NetworkBackend* backend) {
    g_network.store(backend);
}

}  // namespace corv
