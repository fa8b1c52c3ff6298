#include <windows.h>
#include <winsock2.h>

#include "platform/network.h"
#include "platform/system.h"

namespace corv {

namespace {

class Win32Network : public NetworkBackend {
  public:
    long Startup(int requested, int* offered) override {
        WSADATA data;
        int rc = WSAStartup(static_cast<WORD>(requested), &data);
        if (rc != 0) return rc;
        *offered = data.wVersion;
        return 0;
    }

    long Cleanup() override { return WSACleanup() == 0 ? 0 : WSAGetLastError(); }

    long HostName(std::string* out) override {
        char buf[256];
        if (gethostname(buf, sizeof(buf)) != 0) return WSAGetLastError();
        buf[sizeof(buf) - 1] = '\0';
        *out = buf;
        return 0;
    }

    // The host entry as the system gives it (the entry lives in per-thread storage).
    long LookupHost(const std::string& name, std::vector<std::string>* addresses) override {
        hostent* entry = gethostbyname(name.c_str());
        if (!entry) return WSAGetLastError();
        addresses->clear();
        if (entry->h_addrtype == AF_INET && entry->h_length == 4) {
            for (char** a = entry->h_addr_list; *a; ++a) {
                in_addr addr;
                memcpy(&addr, *a, sizeof(addr));
                addresses->push_back(inet_ntoa(addr));
            }
        }
        return 0;
    }

    long OpenSocket(SocketKind kind, Socket* out) override {
        SOCKET s = kind == SocketKind::Udp ? socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)
                                           : socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) return WSAGetLastError();
        *out = static_cast<Socket>(s);
        return 0;
    }

    long Connect(Socket s, const std::string& address, int port) override {
        sockaddr_in sa = {};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<u_short>(port));
        sa.sin_addr.s_addr = inet_addr(address.c_str());
        if (sa.sin_addr.s_addr == INADDR_NONE && address != "255.255.255.255")
            return kSockErrInvalid;
        if (connect(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0)
            return WSAGetLastError();
        return 0;
    }

    long LocalAddress(Socket s, std::string* dotted) override {
        sockaddr_in sa = {};
        int len = sizeof(sa);
        if (getsockname(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
            return WSAGetLastError();
        *dotted = inet_ntoa(sa.sin_addr);
        return 0;
    }

    void CloseSocket(Socket s) override { closesocket(static_cast<SOCKET>(s)); }
};

}  // namespace

NetworkBackend* SystemNetworkBackend() {
    static Win32Network network;
    return &network;
}

std::string SocketErrorText(long code) {
    return ErrorText(code);
}

}  // namespace corv
