// Sockets: Windows Sockets on Win32, BSD sockets elsewhere, behind a process-wide backend so
// the address choice can be tested with a host table and routes the test controls.
// Every error is a Windows Sockets error number on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corv {

constexpr int kSocketsVersion20 = 0x0002;  // MAKEWORD(2, 0)

enum : long {
    kSockErrAccess = 10013,          // WSAEACCES
    kSockErrInvalid = 10022,         // WSAEINVAL
    kSockErrNoBuffers = 10055,       // WSAENOBUFS
    kSockErrNetDown = 10050,         // WSAENETDOWN
    kSockErrNetUnreachable = 10051,  // WSAENETUNREACH
    kSockErrRefused = 10061,         // WSAECONNREFUSED
    kSockErrHostUnreachable = 10065,
    kSockErrNotInitialised = 10093,  // WSANOTINITIALISED
    kSockErrVersion = 10092,         // WSAVERNOTSUPPORTED
    kSockErrHostNotFound = 11001,    // WSAHOST_NOT_FOUND
    kSockErrTryAgain = 11002,        // WSATRY_AGAIN
    kSockErrNoRecovery = 11003,      // WSANO_RECOVERY
    kSockErrNoData = 11004,          // WSANO_DATA
};

enum class SocketKind { Udp, Tcp };

class NetworkBackend {
  public:
    using Socket = intptr_t;
    static constexpr Socket kNoSocket = -1;
    virtual ~NetworkBackend() = default;

    // Starts the sockets layer for this use, asking for `requested`; *offered gets the version
    // the library offers (low byte major, high byte minor). 0 or an error.
    virtual long Startup(int requested, int* offered) = 0;
    virtual long Cleanup() = 0;
    virtual long HostName(std::string* out) = 0;
    // The IPv4 addresses of a host entry, dotted, in the entry's order. 0 or a lookup error.
    virtual long LookupHost(const std::string& name, std::vector<std::string>* addresses) = 0;
    virtual long OpenSocket(SocketKind kind, Socket* out) = 0;
    // A blocking connect to a dotted IPv4 address; a datagram socket only fixes its route.
    virtual long Connect(Socket s, const std::string& address, int port) = 0;
    // The socket's local address, dotted.
    virtual long LocalAddress(Socket s, std::string* dotted) = 0;
    virtual void CloseSocket(Socket s) = 0;
};

// The process-wide backend: the system's sockets unless a test installed another; with
// CORVANE_HOST_TABLE set, the system's sockets with the host entry of that file (host_table.h).
NetworkBackend& Network();
void SetNetworkBackend(NetworkBackend* backend);  // not owned; nullptr restores the system's

// The system's text for a socket error number.
std::string SocketErrorText(long code);

}  // namespace corv
