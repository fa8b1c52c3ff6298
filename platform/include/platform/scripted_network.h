// A sockets backend for tests: a host table, routes and failures that the test sets up, and a
// record of every connect attempt. Nothing reaches the real network.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/network.h"
#include "platform/sync.h"

namespace corv {

class ScriptedNetwork : public NetworkBackend {
  public:
    ScriptedNetwork();

    void SetStartup(long result, int offered = kSocketsVersion20);
    void SetCleanupResult(long result);
    void SetHostName(const std::string& name, long error = 0);
    // Host entries; names ignore case. A dotted address that is not in the table resolves to
    // itself, as the system's lookup does.
    void AddHost(const std::string& name, const std::vector<std::string>& addresses);
    void FailLookup(const std::string& name, long error);
    void FailSocket(SocketKind kind, long error);
    // A connect of this kind to address:port (port 0: any port) succeeds, and the socket's local
    // address then is `local`. Any other connect fails with `ConnectError`.
    void Route(SocketKind kind, const std::string& address, int port, const std::string& local);
    void SetConnectError(SocketKind kind, long error);
    // Reading the local name of a socket connected to `address` fails with `error`.
    void FailLocalName(const std::string& address, long error);

    // "udp 10.0.0.1:80" and "tcp ...", in order.
    std::vector<std::string> Attempts();
    void ClearAttempts();
    int OpenSockets();
    int StartupCalls();
    int CleanupCalls();
    int LastRequestedVersion();

    long Startup(int requested, int* offered) override;
    long Cleanup() override;
    long HostName(std::string* out) override;
    long LookupHost(const std::string& name, std::vector<std::string>* addresses) override;
    long OpenSocket(SocketKind kind, Socket* out) override;
    long Connect(Socket s, const std::string& address, int port) override;
    long LocalAddress(Socket s, std::string* dotted) override;
    void CloseSocket(Socket s) override;

  private:
    struct SocketState {
        SocketKind kind;
        std::string peer;
        std::string local;
    };
    struct RouteKey {
        SocketKind kind;
        std::string address;
        int port;
        bool operator<(const RouteKey& o) const;
    };

    Mutex mutex_;
    long startupResult_ = 0;
    int startupOffered_ = kSocketsVersion20;
    long cleanupResult_ = 0;
    std::string hostName_ = "testhost";
    long hostNameError_ = 0;
    std::map<std::string, std::vector<std::string>> hosts_;  // lower-case name
    std::map<std::string, long> lookupErrors_;
    long socketError_[2] = {0, 0};
    long connectError_[2] = {kSockErrNetUnreachable, kSockErrRefused};
    std::map<RouteKey, std::string> routes_;
    std::map<std::string, long> localNameErrors_;
    std::map<Socket, SocketState> sockets_;
    Socket nextSocket_ = 100;
    std::vector<std::string> attempts_;
    int startupCalls_ = 0;
    int cleanupCalls_ = 0;
    int requested_ = 0;
};

// Installs a ScriptedNetwork as the process backend for the lifetime of the object.
class ScopedScriptedNetwork : public ScriptedNetwork {
  public:
    ScopedScriptedNetwork();
    ~ScopedScriptedNetwork() override;
};

}  // namespace corv
