// Test support: whether the machine's name is answered by the hosts file, so that looking it up
// never asks a name server (tests send nothing beyond the loopback range).
#pragma once

#include <sstream>
#include <string>

#include "platform/files.h"
#include "platform/network.h"
#include "platform/text.h"

namespace corv {

inline bool HostNameIsInHostsFile() {
    int offered = 0;
    if (Network().Startup(kSocketsVersion20, &offered) != 0) return false;
    std::string name;
    long rc = Network().HostName(&name);
    Network().Cleanup();
    if (rc != 0 || name.empty()) return false;
#ifdef _WIN32
    const char* hostsFile = "Z:\\etc\\hosts";  // Wine's view of the host's file
#else
    const char* hostsFile = "/etc/hosts";
#endif
    std::string text;
    if (!ReadFileText(hostsFile, &text)) return false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string address, alias;
        words >> address;
        if (address.compare(0, 4, "127.") != 0) continue;
        while (words >> alias) {
            if (EqualsNoCase(alias, name)) return true;
        }
    }
    return false;
}

}  // namespace corv
