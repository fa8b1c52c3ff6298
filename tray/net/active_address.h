// The local address the Java client is told to use: the address the system picks to reach a
// proxy or a tunnel server, learnt from a probe socket's local name.
#pragma once

#include <functional>
#include <string>

#include "tray/net/probe_servers.h"
#include "tray/settings/proxy_list.h"

namespace corv {

class CPreferences;

enum class ProbeProtocol { Udp, Tcp };

// The local address of a socket connected to host:port; empty on any failure (logged).
std::string probeUDP(const std::string& host, int port);
std::string probeTCP(const std::string& host, int port);

// Probes, until one gives an address: the https proxy, the http proxy, the configuration
// script's server, the fallback address on 80 and on 443, the host on 80.
std::string ProbeAll(ProbeProtocol protocol, const ProxyHints& hints, const std::string& host,
                     const std::string& fallbackAddress);

// A proxy hint's port: 1 to 65535, else 80.
int ProbePort(const std::string& portText);

struct AddressChoiceOptions {
    ProbeServers servers = BuiltInProbeServers();
    std::function<void(unsigned ms)> wait;  // empty: the process clock's sleep
};

// The address choice: the fixed address in fixed mode; otherwise the probes (UDP, then TCP),
// once more after waiting waitMs, then the first local address, and 127.0.0.1 when nothing
// usable is left.
std::string GetActiveAddress(const CPreferences& prefs, const ProxyHints& hints, unsigned waitMs,
                             const AddressChoiceOptions& options = AddressChoiceOptions());

}  // namespace corv
