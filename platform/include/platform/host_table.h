// A stand-in for the machine's own host entry, so that tests and the demo can change the
// address the program sees without touching the machine. When the environment variable
// CORVANE_HOST_TABLE names a file, the process's network answers the host name and its
// addresses from that file, read again at every lookup: its first word is the host name, the
// words after it are the addresses ("#" starts a comment). Only 127.x.y.z addresses count, no
// name ever reaches a name server, and connects outside 127.0.0.0/8 fail without sending.
#pragma once

#include <string>
#include <vector>

#include "platform/network.h"

namespace corv {

extern const char* const kHostTableVariable;  // "CORVANE_HOST_TABLE"

struct HostTable {
    std::string name;
    std::vector<std::string> addresses;
};

// false when the text names no host.
bool ParseHostTable(const std::string& text, HostTable* out);

class HostTableNetwork : public NetworkBackend {
  public:
    HostTableNetwork(NetworkBackend& system, std::string path);

    long Startup(int requested, int* offered) override;
    long Cleanup() override;
    // The file's host name; kSockErrNetDown when it cannot be read.
    long HostName(std::string* out) override;
    // The host's addresses from the file (kSockErrNoData when it lists none); "localhost" and
    // dotted addresses as the system answers them; any other name is not found.
    long LookupHost(const std::string& name, std::vector<std::string>* addresses) override;
    long OpenSocket(SocketKind kind, Socket* out) override;
    long Connect(Socket s, const std::string& address, int port) override;
    long LocalAddress(Socket s, std::string* dotted) override;
    void CloseSocket(Socket s) override;

  private:
    bool Read(HostTable* table);

    NetworkBackend& system_;
    std::string path_;
};

}  // namespace corv
