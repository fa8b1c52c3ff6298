#include "platform/scripted_network.h"

#include <cstdio>

#include "platform/text.h"

namespace corv {

namespace {
int Index(SocketKind kind) {
    return kind == SocketKind::Udp ? 0 : 1;
}

bool IsDotted(const std::string& s) {
    unsigned a, b, c, d;
    char extra;
    return std::sscanf(s.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) == 4 && a < 256 &&
           b < 256 && c < 256 && d < 256;
}
}  // namespace

bool ScriptedNetwork::RouteKey::operator<(const RouteKey& o) const {
    if (kind != o.kind) return Index(kind) < Index(o.kind);
    if (address != o.address) return address < o.address;
    return port < o.port;
}

ScriptedNetwork::ScriptedNetwork() = default;

void ScriptedNetwork::SetStartup(long result, int offered) {
    std::lock_guard<Mutex> lock(mutex_);
    startupResult_ = result;
    startupOffered_ = offered;
}

void ScriptedNetwork::SetCleanupResult(long result) {
    std::lock_guard<Mutex> lock(mutex_);
    cleanupResult_ = result;
}

void ScriptedNetwork::SetHostName(const std::string& name, long error) {
    std::lock_guard<Mutex> lock(mutex_);
    hostName_ = name;
    hostNameError_ = error;
}

void ScriptedNetwork::AddHost(const std::string& name, const std::vector<std::string>& addresses) {
    std::lock_guard<Mutex> lock(mutex_);
    hosts_[ToLower(name)] = addresses;
}

void ScriptedNetwork::FailLookup(const std::string& name, long error) {
    std::lock_guard<Mutex> lock(mutex_);
    lookupErrors_[ToLower(name)] = error;
}

void ScriptedNetwork::FailSocket(SocketKind kind, long error) {
    std::lock_guard<Mutex> lock(mutex_);
    socketError_[Index(kind)] = error;
}

void ScriptedNetwork::Route(SocketKind kind, const std::string& address, int port,
                            const std::string& local) {
    std::lock_guard<Mutex> lock(mutex_);
    routes_[RouteKey{kind, address, port}] = local;
}

void ScriptedNetwork::SetConnectError(SocketKind kind, long error) {
    std::lock_guard<Mutex> lock(mutex_);
    connectError_[Index(kind)] = error;
}

void ScriptedNetwork::FailLocalName(const std::string& address, long error) {
    std::lock_guard<Mutex> lock(mutex_);
    localNameErrors_[address] = error;
}

std::vector<std::string> ScriptedNetwork::Attempts() {
    std::lock_guard<Mutex> lock(mutex_);
    return attempts_;
}

void ScriptedNetwork::ClearAttempts() {
    std::lock_guard<Mutex> lock(mutex_);
    attempts_.clear();
}

int ScriptedNetwork::OpenSockets() {
    std::lock_guard<Mutex> lock(mutex_);
    return static_cast<int>(sockets_.size());
}

int ScriptedNetwork::StartupCalls() {
    std::lock_guard<Mutex> lock(mutex_);
    return startupCalls_;
}

int ScriptedNetwork::CleanupCalls() {
    std::lock_guard<Mutex> lock(mutex_);
    return cleanupCalls_;
}

int ScriptedNetwork::LastRequestedVersion() {
    std::lock_guard<Mutex> lock(mutex_);
    return requested_;
}

long ScriptedNetwork::Startup(int requested, int* offered) {
    std::lock_guard<Mutex> lock(mutex_);
    ++startupCalls_;
    requested_ = requested;
    if (startupResult_ != 0) return startupResult_;
    *offered = startupOffered_;
    return 0;
}

long ScriptedNetwork::Cleanup() {
    std::lock_guard<Mutex> lock(mutex_);
    ++cleanupCalls_;
    return cleanupResult_;
}

long ScriptedNetwork::HostName(std::string* out) {
    std::lock_guard<Mutex> lock(mutex_);
    if (hostNameError_ != 0) return hostNameError_;
    *out = hostName_;
    return 0;
}

long ScriptedNetwork::LookupHost(const std::string& name, std::vector<std::string>* addresses) {
    std::lock_guard<Mutex> lock(mutex_);
    std::string key = ToLower(name);
    auto err = lookupErrors_.find(key);
    if (err != lookupErrors_.end()) return err->second;
    auto it = hosts_.find(key);
    if (it != hosts_.end()) {
        *addresses = it->second;
        return 0;
    }
    if (IsDotted(name)) {
        *addresses = {name};
        return 0;
    }
    return kSockErrHostNotFound;
}

long ScriptedNetwork::OpenSocket(SocketKind kind, Socket* out) {
    std::lock_guard<Mutex> lock(mutex_);
    if (socketError_[Index(kind)] != 0) return socketError_[Index(kind)];
    Socket s = nextSocket_++;
    sockets_[s] = SocketState{kind, std::string(), std::string()};
    *out = s;
    return 0;
}

long ScriptedNetwork::Connect(Socket s, const std::string& address, int port) {
    std::lock_guard<Mutex> lock(mutex_);
    auto it = sockets_.find(s);
    if (it == sockets_.end()) return 10038;  // WSAENOTSOCK
    SocketKind kind = it->second.kind;
    attempts_.push_back(
        Format("%s %s:%d", kind == SocketKind::Udp ? "udp" : "tcp", address.c_str(), port));
    auto route = routes_.find(RouteKey{kind, address, port});
    if (route == routes_.end()) route = routes_.find(RouteKey{kind, address, 0});
    if (route == routes_.end()) return connectError_[Index(kind)];
    it->second.peer = address;
    it->second.local = route->second;
    return 0;
}

long ScriptedNetwork::LocalAddress(Socket s, std::string* dotted) {
    std::lock_guard<Mutex> lock(mutex_);
    auto it = sockets_.find(s);
    if (it == sockets_.end()) return 10038;
    auto err = localNameErrors_.find(it->second.peer);
    if (err != localNameErrors_.end()) return err->second;
    *dotted = it->second.local.empty() ? "0.0.0.0" : it->second.local;
    return 0;
}

void ScriptedNetwork::CloseSocket(Socket s) {
    std::lock_guard<Mutex> lock(mutex_);
    sockets_.erase(s);
}

ScopedScriptedNetwork::ScopedScriptedNetwork() {
    SetNetworkBackend(this);
}
ScopedScriptedNetwork::~ScopedScriptedNetwork() {
    SetNetworkBackend(nullptr);
}

}  // namespace corv
