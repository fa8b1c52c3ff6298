// The two built-in probe servers: service endpoints reachable on ports 80 and 443, named by
// host and by a fallback IPv4 address for when the name cannot be resolved.
#pragma once

#include <string>

namespace corv {

struct ProbeServer {
    std::string host;
    std::string address;
};

struct ProbeServers {
    ProbeServer first;
    ProbeServer second;
};

// "host1,address1;host2,address2": overrides the deployment's servers (tests and demos point
// them at loopback listeners).
extern const char* const kProbeServersVariable;  // "CORVANE_PROBE_SERVERS"

// The deployment's servers, or those of the environment variable when it is set.
ProbeServers BuiltInProbeServers();

// Parses an override. An entry without a host or an address is taken from the entry before it
// (the first from "localhost,127.0.0.1"), so a malformed override never reaches the deployment's
// servers.
ProbeServers ParseProbeServers(const std::string& text);

}  // namespace corv
