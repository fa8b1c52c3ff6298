// The sockets layer and the local host's entry for one use on one thread: starts Windows
// Sockets 2.0 on construction, learns the host name and primary address, releases on
// destruction.
#pragma once

#include <string>
#include <vector>

namespace corv {

class CLocalHost {
  public:
    static constexpr const char* kNotAvailable = "Not available";

    CLocalHost();
    ~CLocalHost();
    CLocalHost(const CLocalHost&) = delete;
    CLocalHost& operator=(const CLocalHost&) = delete;

    // The sockets layer started with exactly version 2.0.
    bool IsStarted() const { return started_; }
    // 0, or the start-up error (the version-not-supported error for another version).
    long StartupError() const { return startupError_; }
    // The machine's name, or "Not available".
    const std::string& GetHostName() const { return hostName_; }
    // The first address of the host's own entry, dotted; empty when unknown.
    const std::string& GetPrimaryAddress() const { return primaryAddress_; }

    // Logs every address of the host's entry as "ipaddr[i] = a".
    void LogLocalAddresses(const std::string& hostName) const;
    // One of the host entry's addresses equals `address` exactly.
    bool IsInLocalHostTable(const std::string& hostName, const std::string& address) const;
    // The first address that is neither 127.0.0.1 nor 0.x, else the last one looked at;
    // empty when the lookup fails or the entry is empty.
    std::string GetFirstLocalAddress(const std::string& hostName) const;
    // The first address of any host's entry, dotted; empty when the name cannot be resolved.
    std::string ResolveAddress(const std::string& host) const;

  private:
    // The host entry; false (logged) when the lookup fails.
    bool Lookup(const std::string& hostName, std::vector<std::string>* addresses) const;

    bool started_ = false;
    long startupError_ = 0;
    std::string hostName_ = kNotAvailable;
    std::string primaryAddress_;
};

}  // namespace corv
