#include "tray/net/local_host.h"

#include "platform/network.h"
#include "platform/text.h"
#include "tray/core/log_file.h"

namespace corv {

CLocalHost::CLocalHost() {
    CLogFile& log = TheLog();
    int offered = 0;
    startupError_ = Network().Startup(kSocketsVersion20, &offered);
    if (startupError_ == 0 && offered != kSocketsVersion20) {
        Network().Cleanup();
        startupError_ = kSockErrVersion;
    }
    if (startupError_ != 0) {
        log.Log("Error: Could not initialize winsock\n");
        return;
    }
    started_ = true;

    std::string name;
    if (Network().HostName(&name) != 0) {
        log.Log("Error: Could not get local host name\n");
        // An unknown name is never looked up: the lookup would ask the name servers.
        log.Log("Error: Could not get local ip-address\n");
        return;
    }
    hostName_ = name;
    std::vector<std::string> addresses;
    if (Network().LookupHost(hostName_, &addresses) != 0 || addresses.empty()) {
        log.Log("Error: Could not get local ip-address\n");
        return;
    }
    primaryAddress_ = addresses.front();
}

CLocalHost::~CLocalHost() {
    // Only a layer this object started is released.
    if (started_ && Network().Cleanup() != 0) TheLog().Log("Error: Clean up of winsock failed\n");
}

bool CLocalHost::Lookup(const std::string& hostName, std::vector<std::string>* addresses) const {
    long rc = Network().LookupHost(hostName, addresses);
    if (rc != 0) {
        TheLog().Log("gethostbyname failed, WSAGetLastError()=%d\n", static_cast<int>(rc));
        return false;
    }
    return true;
}

void CLocalHost::LogLocalAddresses(const std::string& hostName) const {
    std::vector<std::string> addresses;
    if (!Lookup(hostName, &addresses)) return;
    for (size_t i = 0; i < addresses.size(); ++i)
        TheLog().Log("ipaddr[%d] = %s\n", static_cast<int>(i), addresses[i].c_str());
}

bool CLocalHost::IsInLocalHostTable(const std::string& hostName, const std::string& address) const {
    std::vector<std::string> addresses;
    if (!Lookup(hostName, &addresses)) return false;
    for (const std::string& a : addresses) {
        if (a == address) return true;
    }
    return false;
}

std::string CLocalHost::GetFirstLocalAddress(const std::string& hostName) const {
    std::vector<std::string> addresses;
    if (!Lookup(hostName, &addresses)) return std::string();
    std::string last;
    for (const std::string& a : addresses) {
        last = a;
        if (a != "127.0.0.1" && a.compare(0, 2, "0.") != 0) return a;
    }
    return last;
}

std::string CLocalHost::ResolveAddress(const std::string& host) const {
    std::vector<std::string> addresses;
    if (Network().LookupHost(host, &addresses) != 0 || addresses.empty()) return std::string();
    return addresses.front();
}

}  // namespace corv
