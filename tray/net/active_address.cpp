#include "tray/net/active_address.h"

#include "platform/clock.h"
#include "platform/network.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/net/local_host.h"
#include "tray/net/probe_servers.h"
#include "tray/settings/java_prefs.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

// Closes the probe socket on every path.
class ProbeSocket {
  public:
    long Open(SocketKind kind) { return Network().OpenSocket(kind, &socket_); }
    NetworkBackend::Socket Get() const { return socket_; }
    ~ProbeSocket() {
        if (socket_ != NetworkBackend::kNoSocket) Network().CloseSocket(socket_);
    }

  private:
    NetworkBackend::Socket socket_ = NetworkBackend::kNoSocket;
};

// The first address of the host's entry; 0 or the lookup error.
long ResolveFirst(const std::string& host, std::string* address) {
    std::vector<std::string> addresses;
    long rc = Network().LookupHost(host, &addresses);
    if (rc == 0 && addresses.empty()) rc = kSockErrNoData;
    if (rc == 0) *address = addresses.front();
    return rc;
}

std::string ProbeUdpUnguarded(const std::string& host, int port) {
    CLogFile& log = TheLog();
    log.Log("Probing address %s:%d using UDP\n", host.c_str(), port);
    std::string address;
    if (long rc = ResolveFirst(host, &address)) {
        log.Log("Probing %s:%d failed, reason: Could not resolve ip-address, reason: %d\n",
                host.c_str(), port, static_cast<int>(rc));
        return std::string();
    }
    ProbeSocket s;
    if (long rc = s.Open(SocketKind::Udp)) {
        log.Log("Failed to create socket, reason: (%d) %s\n", static_cast<int>(rc),
                SocketErrorText(rc).c_str());
        return std::string();
    }
    if (long rc = Network().Connect(s.Get(), address, port)) {
        log.Log("Cannot connect to: %s:%i, reason: %d!\n", host.c_str(), port,
                static_cast<int>(rc));
        return std::string();
    }
    std::string local;
    if (long rc = Network().LocalAddress(s.Get(), &local)) {
        log.Log("Probing %s:%d failed, reason: getsockname failed (%d)\n", host.c_str(), port,
                static_cast<int>(rc));
        return std::string();
    }
    log.Log("Local active address is %s\n", local.c_str());
    return local;
}

std::string ProbeTcpUnguarded(const std::string& host, int port) {
    CLogFile& log = TheLog();
    log.Log("Probing address %s:%d using TCP\n", host.c_str(), port);
    std::string address;
    if (ResolveFirst(host, &address) != 0) {
        log.Log("Probing %s failed, reason: Could not resolve ip-address\n", host.c_str());
        return std::string();
    }
    ProbeSocket s;
    if (long rc = s.Open(SocketKind::Tcp)) {
        log.Log("Probing %s failed, reason: Allocating socket failed (%d)\n", host.c_str(),
                static_cast<int>(rc));
        return std::string();
    }
    if (long rc = Network().Connect(s.Get(), address, port)) {
        log.Log("Probing %s failed, reason: Connecting to the server failed (%d)\n", host.c_str(),
                static_cast<int>(rc));
        return std::string();
    }
    std::string local;
    if (long rc = Network().LocalAddress(s.Get(), &local)) {
        log.Log("Probing %s failed, reason: getsockname failed (%d)\n", host.c_str(),
                static_cast<int>(rc));
        return std::string();
    }
    log.Log("Local active address is %s\n", local.c_str());
    return local;
}

bool BeginsWithZero(const std::string& address) {
    return address.compare(0, 2, "0.") == 0;
}

bool IsUsable(const CLocalHost& host, const std::string& address) {
    return !address.empty() && !BeginsWithZero(address) && !EqualsNoCase(address, "127.0.0.1") &&
           host.IsInLocalHostTable(host.GetHostName(), address);
}

// UDP first, TCP when UDP gave nothing usable.
std::string ProbeBoth(const CLocalHost& local, const ProxyHints& hints, const std::string& host,
                      const std::string& fallback) {
    std::string r = ProbeAll(ProbeProtocol::Udp, hints, host, fallback);
    TheLog().Log("probeUDP returned: %s\n", r.c_str());
    if (IsUsable(local, r)) return r;
    r = ProbeAll(ProbeProtocol::Tcp, hints, host, fallback);
    TheLog().Log("probeTCP returned: %s\n", r.c_str());
    return r;
}

}  // namespace

std::string probeUDP(const std::string& host, int port) {
    try {
        return ProbeUdpUnguarded(host, port);
    } catch (...) {
        TheLog().Log("Probing %s failed, reason: Caught unknown exception!\n", host.c_str());
        return std::string();
    }
}

std::string probeTCP(const std::string& host, int port) {
    try {
        return ProbeTcpUnguarded(host, port);
    } catch (...) {
        TheLog().Log("Probing %s failed, reason: Caught unknown exception!\n", host.c_str());
        return std::string();
    }
}

int ProbePort(const std::string& portText) {
    int port = 0;
    return ParsePort(portText, &port) ? port : 80;
}

std::string ProbeAll(ProbeProtocol protocol, const ProxyHints& hints, const std::string& host,
                     const std::string& fallbackAddress) {
    CLocalHost local;
    auto probe = protocol == ProbeProtocol::Udp ? probeUDP : probeTCP;
    const std::pair<const std::string*, int> targets[] = {
        {&hints.m_httpsProxyAddr, ProbePort(hints.m_httpsProxyPort)},
        {&hints.m_httpProxyAddr, ProbePort(hints.m_httpProxyPort)},
        {&hints.m_configScriptAddr, ProbePort(hints.m_configScriptPort)},
        {&fallbackAddress, 80},
        {&fallbackAddress, 443},
        {&host, 80},
    };
    for (const auto& target : targets) {
        if (target.first->empty()) continue;
        std::string r = probe(*target.first, target.second);
        if (!r.empty()) return r;
    }
    return std::string();
}

std::string GetActiveAddress(const CPreferences& prefs, const ProxyHints& hints, unsigned waitMs,
                             const AddressChoiceOptions& options) {
    CLogFile& log = TheLog();
    if (EqualsNoCase(prefs.GetSyncMode(), "fixed") && !prefs.GetLocalIpAddress().empty()) {
        log.Log("Using fixed addr: \n");
        return prefs.GetLocalIpAddress();
    }

    CLocalHost local;
    const ProbeServers& servers = options.servers;
    std::string host = servers.first.host;
    std::string fallback = servers.first.address;
    log.Log("GetActiveAddress: Local addresses are: \n");
    local.LogLocalAddresses(local.GetHostName());

    JavaKey tunnel;
    if (tunnel.Open(prefs.GetRegistryRoot(), kJavaTunnelNode, kRegRead) == kOk) {
        // Stored encoded; the probes need the host name as it was written.
        std::string list;
        tunnel.QueryDecodedStringValue("proxyServerAddresses", &list);
        list = Trim(list);
        size_t begin = list.find_first_not_of(", ");
        if (begin != std::string::npos) {
            size_t end = list.find_first_of(", ", begin);
            host = list.substr(begin, end == std::string::npos ? end : end - begin);
            if (EqualsNoCase(host, servers.second.host)) fallback = servers.second.address;
        }
    }

    std::string r = ProbeBoth(local, hints, host, fallback);
    if (!IsUsable(local, r)) {
        log.Log("No connectivity, waiting %dms before probing again\n", static_cast<int>(waitMs));
        if (options.wait)
            options.wait(waitMs);
        else
            Clock().Sleep(waitMs, nullptr);
        r = ProbeBoth(local, hints, host, fallback);
        if (!IsUsable(local, r)) r = local.GetFirstLocalAddress(local.GetHostName());
    }

    if (!r.empty() && !BeginsWithZero(r)) {
        if (local.IsInLocalHostTable(local.GetHostName(), r)) return r;
        log.Log("\nIP address %s not in local hostentry table, using 127.0.0.1\n", r.c_str());
        return "127.0.0.1";
    }
    log.Log("\nFound no local ip addr, using 127.0.0.1\n");
    return "127.0.0.1";
}

}  // namespace corv
