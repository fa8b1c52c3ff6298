#include <windows.h>
#include <winsock2.h>

#include "platform/loopback_listener.h"

namespace corv {

LoopbackListener::LoopbackListener(int port) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return;
    started_ = true;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(static_cast<u_short>(port));
    int len = sizeof(sa);
    if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 || listen(s, 16) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        closesocket(s);
        return;
    }
    socket_ = static_cast<intptr_t>(s);
    port_ = ntohs(sa.sin_port);
}

LoopbackListener::~LoopbackListener() {
    if (socket_ != -1) closesocket(static_cast<SOCKET>(socket_));
    if (started_) WSACleanup();
}

}  // namespace corv
