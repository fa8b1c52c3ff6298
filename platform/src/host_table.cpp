// The host-table stand-in: the machine's own host entry from a file, for tests and the demo.
#include "platform/host_table.h"

#include <cstdio>
#include <sstream>

#include "platform/files.h"
#include "platform/text.h"

namespace corv {

const char* const kHostTableVariable = "CORVANE_HOST_TABLE";

namespace {

bool IsLoopbackAddress(const std::string& s) {
    unsigned a, b, c, d;
    char extra;
    return std::sscanf(s.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) == 4 && a == 127 &&
           b < 256 && c < 256 && d < 256;
}

bool IsDottedAddress(const std::string& s) {
    unsigned a, b, c, d;
    char extra;
    return std::sscanf(s.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) == 4 && a < 256 &&
           b < 256 && c < 256 && d < 256;
}

}  // namespace

bool ParseHostTable(const std::string& text, HostTable* out) {
    HostTable table;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        while (words >> word) {
            if (table.name.empty())
                table.name = word;
            else if (IsLoopbackAddress(word))
                table.addresses.push_back(word);
        }
    }
    if (table.name.empty()) return false;
    *out = table;
    return true;
}

HostTableNetwork::HostTableNetwork(NetworkBackend& system, std::string path)
    : system_(system), path_(std::move(path)) {}

bool HostTableNetwork::Read(HostTable* table) {
    std::string text;
    return ReadFileText(path_, &text) && ParseHostTable(text, table);
}

long HostTableNetwork::Startup(int requested, int* offered) {
    return system_.Startup(requested, offered);
}

long HostTableNetwork::Cleanup() {
    return system_.Cleanup();
}

long HostTableNetwork::HostName(std::string* out) {
    HostTable table;
    if (!Read(&table)) return kSockErrNetDown;
    *out = table.name;
    return 0;
}

long HostTableNetwork::LookupHost(const std::string& name, std::vector<std::string>* addresses) {
    HostTable table;
    if (Read(&table) && EqualsNoCase(name, table.name)) {
        if (table.addresses.empty()) return kSockErrNoData;
        *addresses = table.addresses;
        return 0;
    }
    if (IsDottedAddress(name)) {
        *addresses = {name};
        return 0;
    }
    if (EqualsNoCase(name, "localhost")) {
        *addresses = {"127.0.0.1"};
        return 0;
    }
    return kSockErrHostNotFound;  // never asks a name server
}

long HostTableNetwork::OpenSocket(SocketKind kind, Socket* out) {
    return system_.OpenSocket(kind, out);
}

long HostTableNetwork::Connect(Socket s, const std::string& address, int port) {
    if (!IsLoopbackAddress(address)) return kSockErrNetUnreachable;
    return system_.Connect(s, address, port);
}

long HostTableNetwork::LocalAddress(Socket s, std::string* dotted) {
    return system_.LocalAddress(s, dotted);
}

void HostTableNetwork::CloseSocket(Socket s) {
    system_.CloseSocket(s);
}

}  // namespace corv
