// libFuzzer target: the web proxy texts of the Internet settings, the tunnel server lists and
// the Java preferences name encoding, all read from outside the program.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tray/settings/config_sync.h"
#include "tray/settings/java_prefs.h"
#include "tray/settings/proxy_list.h"

namespace {

void CheckPair(const std::string& host, const std::string& port) {
    if (host.empty() != port.empty()) std::abort();  // a pair is filled whole or not at all
    int value = 0;
    if (!port.empty() && !corv::ParsePort(port, &value)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    corv::ProxyHints hints;
    corv::ParseProxyList(text, &hints);
    CheckPair(hints.m_httpProxyAddr, hints.m_httpProxyPort);
    CheckPair(hints.m_httpsProxyAddr, hints.m_httpsProxyPort);

    std::string host, port;
    if (corv::ParseScriptServer(text, &host, &port)) CheckPair(host, port);

    if (corv::DecodeJavaPrefsName(corv::EncodeJavaPrefsName(text)) != text) std::abort();
    corv::DecodeJavaPrefsName(text);

    size_t cut = text.find('|');
    std::string newList = text.substr(0, cut);
    std::string oldList = cut == std::string::npos ? std::string() : text.substr(cut + 1);
    corv::ProxyListsEquivalent(newList, oldList);
    if (!corv::ProxyListsEquivalent(newList, newList)) std::abort();
    return 0;
}
