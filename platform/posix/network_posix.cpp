#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/network.h"

namespace corv {

namespace {

// errno as the Windows Sockets number of the same meaning, so callers see one numbering.
long FromErrno(int e) {
    switch (e) {
        case EACCES:
        case EPERM:
            return kSockErrAccess;
        case EINVAL:
            return kSockErrInvalid;
        case ENOBUFS:
        case ENOMEM:
            return kSockErrNoBuffers;
        case ENETUNREACH:
            return kSockErrNetUnreachable;
        case ECONNREFUSED:
            return kSockErrRefused;
        case EHOSTUNREACH:
            return kSockErrHostUnreachable;
        case EAFNOSUPPORT:
            return 10047;
        case EMFILE:
            return 10024;
        case EADDRNOTAVAIL:
            return 10049;
        case ETIMEDOUT:
            return 10060;
        case EBADF:
            return 10038;  // WSAENOTSOCK
        default:
            return 10000 + e;
    }
}

long FromLookupError(int rc) {
    switch (rc) {
        case EAI_NONAME:
            return kSockErrHostNotFound;
        case EAI_AGAIN:
            return kSockErrTryAgain;
        case EAI_FAIL:
            return kSockErrNoRecovery;
        default:
            return kSockErrNoData;
    }
}

bool ToSockaddr(const std::string& address, int port, sockaddr_in* sa) {
    std::memset(sa, 0, sizeof(*sa));
    sa->sin_family = AF_INET;
    sa->sin_port = htons(static_cast<uint16_t>(port));
    return inet_pton(AF_INET, address.c_str(), &sa->sin_addr) == 1;
}

class PosixNetwork : public NetworkBackend {
  public:
    long Startup(int requested, int* offered) override {
        *offered = requested;
        return 0;
    }
    long Cleanup() override { return 0; }

    long HostName(std::string* out) override {
        char buf[256];
        if (gethostname(buf, sizeof(buf)) != 0) return FromErrno(errno);
        buf[sizeof(buf) - 1] = '\0';
        *out = buf;
        return 0;
    }

    long LookupHost(const std::string& name, std::vector<std::string>* addresses) override {
        addrinfo hints = {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        int rc = getaddrinfo(name.c_str(), nullptr, &hints, &list);
        if (rc != 0) return FromLookupError(rc);
        addresses->clear();
        for (addrinfo* ai = list; ai; ai = ai->ai_next) {
            char text[INET_ADDRSTRLEN];
            const auto* sa = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
            if (!inet_ntop(AF_INET, &sa->sin_addr, text, sizeof(text))) continue;
            if (std::find(addresses->begin(), addresses->end(), text) == addresses->end())
                addresses->push_back(text);
        }
        freeaddrinfo(list);
        if (addresses->empty()) return kSockErrNoData;
        return 0;
    }

    long OpenSocket(SocketKind kind, Socket* out) override {
        int fd = kind == SocketKind::Udp ? socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)
                                         : socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (fd < 0) return FromErrno(errno);
        *out = fd;
        return 0;
    }

    long Connect(Socket s, const std::string& address, int port) override {
        sockaddr_in sa;
        if (!ToSockaddr(address, port, &sa)) return kSockErrInvalid;
        int rc;
        do {
            rc = connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
        } while (rc != 0 && errno == EINTR);
        return rc == 0 ? 0 : FromErrno(errno);
    }

    long LocalAddress(Socket s, std::string* dotted) override {
        sockaddr_in sa = {};
        socklen_t len = sizeof(sa);
        if (getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
            return FromErrno(errno);
        char text[INET_ADDRSTRLEN];
        if (!inet_ntop(AF_INET, &sa.sin_addr, text, sizeof(text))) return FromErrno(errno);
        *dotted = text;
        return 0;
    }

    void CloseSocket(Socket s) override { close(static_cast<int>(s)); }
};

}  // namespace

NetworkBackend* SystemNetworkBackend() {
    static PosixNetwork network;
    return &network;
}

std::string SocketErrorText(long code) {
    switch (code) {
        case kSockErrAccess:
            return "An attempt was made to access a socket in a way forbidden by its access "
                   "permissions.";
        case kSockErrInvalid:
            return "An invalid argument was supplied.";
        case kSockErrNetUnreachable:
            return "A socket operation was attempted to an unreachable network.";
        case kSockErrRefused:
            return "No connection could be made because the target machine actively refused it.";
        case kSockErrHostUnreachable:
            return "A socket operation was attempted to an unreachable host.";
        case kSockErrVersion:
            return "The Windows Sockets version requested is not supported.";
        case kSockErrHostNotFound:
            return "No such host is known.";
        case kSockErrTryAgain:
            return "This is usually a temporary error during hostname resolution.";
        case kSockErrNoRecovery:
            return "A non-recoverable error occurred during a database lookup.";
        case kSockErrNoData:
            return "The requested name is valid, but no data of the requested type was found.";
        case 10024:
            return "Too many open sockets.";
        case 10038:
            return "An operation was attempted on something that is not a socket.";
        case 10047:
            return "An address incompatible with the requested protocol was used.";
        case 10049:
            return "The requested address is not valid in its context.";
        case kSockErrNoBuffers:
            return "An operation on a socket could not be performed because the system lacked "
                   "sufficient buffer space or because a queue was full.";
        case 10060:
            return "A connection attempt failed because the connected party did not properly "
                   "respond after a period of time.";
        default:
            if (code > 10000 && code < 11000) return std::strerror(static_cast<int>(code - 10000));
            return "Unknown error " + std::to_string(code);
    }
}

}  // namespace corv
