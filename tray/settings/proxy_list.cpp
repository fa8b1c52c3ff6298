#include "tray/settings/proxy_list.h"

#include <cctype>

#include "platform/text.h"

namespace corv {

namespace {

enum class Scheme { Http, Https, Other };

Scheme SchemeOf(const std::string& name) {
    std::string s = Trim(name);
    if (EqualsNoCase(s, "http")) return Scheme::Http;
    if (EqualsNoCase(s, "https")) return Scheme::Https;
    return Scheme::Other;
}

std::string PortOrDefault(const std::string& text, Scheme scheme) {
    int port = 0;
    if (ParsePort(text, &port)) return std::to_string(port);
    return scheme == Scheme::Https ? "443" : "80";
}

void Fill(Scheme scheme, const std::string& host, const std::string& portText, ProxyHints* out) {
    std::string h = Trim(host);
    if (h.empty() || scheme == Scheme::Other) return;
    std::string port = PortOrDefault(portText, scheme);
    if (scheme == Scheme::Http) {
        out->m_httpProxyAddr = h;
        out->m_httpProxyPort = port;
    } else {
        out->m_httpsProxyAddr = h;
        out->m_httpsProxyPort = port;
    }
}

// "host[:port][/path]" after the scheme: the host runs to the first ":" or "/", and a port
// follows only a ":" and runs to the next ":" or "/".
void SplitHostPort(const std::string& rest, std::string* host, std::string* port) {
    size_t end = rest.find_first_of(":/");
    *host = rest.substr(0, end);
    port->clear();
    if (end != std::string::npos && rest[end] == ':') {
        size_t portEnd = rest.find_first_of(":/", end + 1);
        *port = rest.substr(end + 1,
                            portEnd == std::string::npos ? std::string::npos : portEnd - end - 1);
    }
}

}  // namespace

bool ParsePort(const std::string& text, int* port) {
    std::string t = Trim(text);
    if (t.empty() || t.size() > 5) return false;
    int value = 0;
    for (char c : t) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    *port = value;
    return true;
}

void ParseProxyAddress(const std::string& address, ProxyHints* out) {
    std::string text = Trim(address);
    size_t sep = text.find("://");
    if (sep == std::string::npos) {
        // A ":" in the first place does not start a port.
        size_t colon = text.size() > 1 ? text.find(':', 1) : std::string::npos;
        std::string port;
        if (colon != std::string::npos) {
            size_t end = text.find_first_of(":/", colon + 1);
            port = text.substr(colon + 1, end == std::string::npos ? end : end - colon - 1);
        }
        Fill(Scheme::Http, text.substr(0, colon), port, out);
        return;
    }
    Scheme scheme = SchemeOf(text.substr(0, sep));
    std::string host, port;
    SplitHostPort(text.substr(sep + 3), &host, &port);
    Fill(scheme, host, port, out);
}

void ParseProxyList(const std::string& proxyServer, ProxyHints* out) {
    std::string text = Trim(proxyServer);
    if (text.find('=') == std::string::npos) {
        ParseProxyAddress(text.substr(0, text.find(';')), out);
        return;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        std::string piece = text.substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? text.size() + 1 : end + 1;

        size_t eq = piece.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        Scheme scheme = SchemeOf(piece.substr(0, eq));
        std::string addr = Trim(piece.substr(eq + 1));
        size_t sep = addr.find("://");
        if (sep != std::string::npos) addr = addr.substr(sep + 3);
        std::string host, port;
        SplitHostPort(addr, &host, &port);
        Fill(scheme, host, port, out);
    }
}

bool ParseScriptServer(const std::string& url, std::string* host, std::string* port) {
    ProxyHints parsed;
    ParseProxyAddress(url, &parsed);
    if (!parsed.m_httpProxyAddr.empty()) {
        *host = parsed.m_httpProxyAddr;
        *port = parsed.m_httpProxyPort;
        return true;
    }
    if (!parsed.m_httpsProxyAddr.empty()) {
        *host = parsed.m_httpsProxyAddr;
        *port = parsed.m_httpsProxyPort;
        return true;
    }
    return false;
}

}  // namespace corv
