#include "tray/net/probe_servers.h"

#include "platform/system.h"
#include "platform/text.h"

namespace corv {

const char* const kProbeServersVariable = "CORVANE_PROBE_SERVERS";

namespace {

// Deployment constants: the service's tunnel endpoints. A build for a live service puts its
// endpoints here; until then they are reserved names and documentation addresses, which reach
// nobody.
const ProbeServer kFirstProbeServer = {"tunnel1.corvane.example", "192.0.2.21"};
const ProbeServer kSecondProbeServer = {"tunnel2.corvane.example", "192.0.2.22"};

const ProbeServer kLoopbackProbeServer = {"localhost", "127.0.0.1"};

bool ParseEntry(const std::string& entry, ProbeServer* out) {
    size_t comma = entry.find(',');
    if (comma == std::string::npos) return false;
    ProbeServer s{Trim(entry.substr(0, comma)), Trim(entry.substr(comma + 1))};
    if (s.host.empty() || s.address.empty()) return false;
    *out = s;
    return true;
}

}  // namespace

ProbeServers ParseProbeServers(const std::string& text) {
    size_t semi = text.find(';');
    std::string firstText = text.substr(0, semi);
    std::string secondText = semi == std::string::npos ? std::string() : text.substr(semi + 1);

    ProbeServers servers{kLoopbackProbeServer, kLoopbackProbeServer};
    if (!ParseEntry(firstText, &servers.first)) servers.first = kLoopbackProbeServer;
    if (!ParseEntry(secondText, &servers.second)) servers.second = servers.first;
    return servers;
}

ProbeServers BuiltInProbeServers() {
    std::string text = GetEnv(kProbeServersVariable);
    if (text.empty()) return ProbeServers{kFirstProbeServer, kSecondProbeServer};
    return ParseProbeServers(text);
}

}  // namespace corv
