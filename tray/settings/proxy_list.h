// Web proxy settings as the system's Internet settings give them: the "ProxyServer" list and
// the server of a proxy configuration script.
#pragma once

#include <string>

namespace corv {

// The results of the last http proxy sync; the connectivity probes aim at them.
struct ProxyHints {
    std::string m_httpProxyAddr;
    std::string m_httpProxyPort;
    std::string m_httpsProxyAddr;
    std::string m_httpsProxyPort;
    std::string m_configScriptAddr;  // server of the proxy configuration script
    std::string m_configScriptPort;

    void Clear() { *this = ProxyHints(); }
};

// Parses a "ProxyServer" text ("host:port", "scheme=host:port;scheme=host:port", URLs) into
// the http and https pairs of *out; the other fields stay. A pair whose host is empty stays
// empty; a port that is not a number from 1 to 65535 becomes "80" (http) or "443" (https).
void ParseProxyList(const std::string& proxyServer, ProxyHints* out);

// One address: "host[:port]" fills the http pair; "scheme://host[:port][/path]" fills the pair
// of its scheme (http or https), any other scheme nothing.
void ParseProxyAddress(const std::string& address, ProxyHints* out);

// The server of a configuration script URL: its http pair, or its https pair when the http
// pair is empty. false (outputs unchanged) when the URL names no http or https server.
bool ParseScriptServer(const std::string& url, std::string* host, std::string* port);

// A port text that is a decimal number from 1 to 65535 (blanks around it allowed).
bool ParsePort(const std::string& text, int* port);

}  // namespace corv
