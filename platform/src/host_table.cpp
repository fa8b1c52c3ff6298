// The host-table stand-in: the machine's own host entry from a file, for tests and the demo.
#include "platform/host_table.h"

#include "platform/files.h"
#include "platform/text.h"

namespace corv {

const char* const kHostTableVariable = "CORVANE_HOST_TABLE";

namespace {

// Four decimal numbers of 0 to 255 joined by dots; *first gets the first.
bool IsDottedAddress(const std::string& s, unsigned* first = nullptr) {
    unsigned parts[4] = {0, 0, 0, 0};
    size_t part = 0, digits = 0;
    for (char c : s) {
        if (c == '.') {
            if (digits == 0 || ++part == 4) return false;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 3) {
            parts[part] = parts[part] * 10 + static_cast<unsigned>(c - '0');
            if (parts[part] > 255) return false;
            ++digits;
        } else {
            return false;
        }
    }
    if (part != 3 || digits == 0) return false;
    if (first) *first = parts[0];
    return true;
}

bool IsLoopbackAddress(const std::string& s) {
    unsigned first = 0;
    return IsDottedAddress(s, &first) && first == 127;
}

}  // namespace

bool ParseHostTable(const std::string& text, HostTable* out) {
    HostTable table;
    bool comment = false;
    std::string word;
    auto take = [&] {
        if (word.empty()) return;
        if (table.name.empty())
            table.name = word;
        else if (IsLoopbackAddress(word))
            table.addresses.push_back(word);
        word.clear();
    };
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            take();
            comment = false;
        } else if (comment) {
            continue;
        } else if (c == '#') {
            take();
            comment = true;
        } else if (c == ' ' || c == '\t') {
            take();
        } else {
            word += c;
        }
    }
    take();
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
