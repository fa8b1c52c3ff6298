#include "tray/settings/config_sync.h"

#include <cstdio>

#include "platform/prompt.h"
#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/core/status_text.h"
#include "tray/settings/java_prefs.h"
#include "tray/settings/preferences.h"

namespace corv {

const char* const kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

namespace {

const size_t kRootChoiceBytes = 260;
const size_t kInternetValueBytes = 256;

// Ports outside 0..65535 (an unset fixed port is -1) would hand the Java client a port it
// cannot bind; "0" lets it choose, as in dynamic mode.
std::string PortText(int port) {
    return port >= 0 && port <= 65535 ? Format("%d", port) : std::string("0");
}

std::string Masked(const std::string& credential) {
    return credential.empty() ? credential : std::string(kCredentialMask);
}

}  // namespace

bool NoPermissionRepair(const std::string&) {
    return false;
}

bool ProxyListsEquivalent(const std::string& newList, const std::string& oldList) {
    std::vector<std::string> wanted = Split(newList, ',');
    std::vector<std::string> stored = Split(oldList, ',');
    size_t found = 0;
    for (const std::string& entry : wanted) {
        for (const std::string& old : stored) {
            if (EqualsNoCase(entry, old)) {
                ++found;
                break;
            }
        }
    }
    return found == wanted.size();
}

RegRoot ChooseInternetSettingsRoot() {
    RegKey key;
    if (key.Open(RegRoot::LocalMachine, kInternetSettingsKey, kRegRead) == kOk) {
        std::string text;
        if (key.QueryString("AutoConfigURL", &text, kRootChoiceBytes) == kOk && !text.empty())
            return RegRoot::LocalMachine;
        uint32_t enable = 0;
        text.clear();
        if (key.QueryDword("ProxyEnable", &enable) == kOk &&
            key.QueryString("ProxyServer", &text, kRootChoiceBytes) == kOk && !text.empty())
            return RegRoot::LocalMachine;
    }
    return RegRoot::CurrentUser;
}

CJavaPrefsSync::CJavaPrefsSync(StatusTextSetter setStatusText)
    : setStatusText_(std::move(setStatusText)) {}

void CJavaPrefsSync::SetStatusText(const std::string& text) {
    lastStatusText_ = text;
    if (setStatusText_)
        setStatusText_(text);
    else
        corv::SetStatusText(text);
}

void CJavaPrefsSync::syncSip(const CPreferences& prefs) {
    JavaKey sip;
    if (sip.Create(RegRoot::CurrentUser, kJavaSipNode) == kOk) {
        sip.SetStringValue("externalSipAddress", prefs.GetExternalSipAddress());
        if (prefs.GetAlwaysTunnelMedia())
            sip.SetStringValue("alwaysTunnelMedia", "true");
        else
            sip.DeleteValue("alwaysTunnelMedia");
        sip.Close();
    }
    if (prefs.InstalledForAllUsers() && prefs.IsAdministrator()) prefs.WriteExternalSipAddress();
}

void CJavaPrefsSync::syncAllUsersCommonSettings(const CPreferences& prefs) {
    CLogFile& log = TheLog();
    log.Log("syncAllUsersCommonSettings\n");
    if (!prefs.GetExternalSipAddress().empty()) {
        JavaKey sip;
        if (sip.Create(RegRoot::CurrentUser, kJavaSipNode) == kOk)
            sip.SetStringValue("externalSipAddress", prefs.GetExternalSipAddress());
    }
    const std::string& newList = prefs.GetProxyServerAddresses();
    if (newList.empty() && prefs.GetProxyServerPort().empty()) {
        log.Log("not syncing proxyServerAddresses, addr and port are empty\n");
        return;
    }
    JavaKey tunnel;
    if (tunnel.Create(RegRoot::CurrentUser, kJavaTunnelNode) != kOk) {
        log.Log(
            "not syncing proxyServerAddresses, could not open/create "
            "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Tunnel\n");
        return;
    }
    if (newList.empty()) {
        log.Log("not syncing proxyServerAddresses, addr is empty\n");
        return;
    }
    // The list was stored encoded; compare it as it was written.
    std::string oldList;
    tunnel.QueryDecodedStringValue("proxyServerAddresses", &oldList);
    if (!oldList.empty() && ProxyListsEquivalent(newList, oldList)) {
        log.Log(
            "ignoring sync of proxyServerAddresses from HKLM to HKCU JavaSoft, Equivalent "
            "lists: \nnew %s\nold %s\n",
            newList.c_str(), oldList.c_str());
        return;
    }
    tunnel.SetStringValue("proxyServerAddresses", newList);
    log.Log("syncing proxyServerAddresses from HKLM to HKCU JavaSoft: \nnew %s\nold %s\n",
            newList.c_str(), oldList.c_str());
}

bool CJavaPrefsSync::syncUser(const CPreferences& prefs) {
    RegKey user;
    if (user.Create(RegRoot::CurrentUser, kJavaUserNode, kRegReadWrite) != kOk) {
        SetStatusText("Disabled: could not set user parameters");
        return false;
    }
    // Stored names as the Java client reads them; the values go unencoded.
    user.SetString("user/Id", prefs.GetUserId());
    user.SetString("hashed/Password", prefs.GetPasswd());
    return true;
}

bool CJavaPrefsSync::SyncSystemProxy(JavaKey& tunnel, bool* configured) {
    CLogFile& log = TheLog();
    RegKey settings;
    if (settings.Open(ChooseInternetSettingsRoot(), kInternetSettingsKey, kRegRead) != kOk) {
        SetStatusText("Could not read default internet settings");
        return false;
    }
    std::string url;
    if (settings.QueryString("AutoConfigURL", &url, kInternetValueBytes) == kOk && !url.empty()) {
        tunnel.SetStringValue("proxyConfigurationUrl", url);
        ParseScriptServer(url, &hints_.m_configScriptAddr, &hints_.m_configScriptPort);
        *configured = true;
    }
    uint32_t enable = 0;
    std::string proxyList;
    if (settings.QueryDword("ProxyEnable", &enable) == kOk && enable == 1 &&
        settings.QueryString("ProxyServer", &proxyList, kInternetValueBytes) == kOk &&
        !proxyList.empty()) {
        ParseProxyList(proxyList, &hints_);
        log.Log("proxyList:     %s\n", proxyList.c_str());
        log.Log("m_httpProxyAddr:      %s\n", hints_.m_httpProxyAddr.c_str());
        log.Log("m_httpProxyPort:      %s\n", hints_.m_httpProxyPort.c_str());
        log.Log("m_httpsProxyAddr:     %s\n", hints_.m_httpsProxyAddr.c_str());
        log.Log("m_httpsProxyPort:     %s\n", hints_.m_httpsProxyPort.c_str());
        const std::pair<const char*, const std::string*> values[] = {
            {"httpProxyAddress", &hints_.m_httpProxyAddr},
            {"httpProxyPort", &hints_.m_httpProxyPort},
            {"httpsProxyAddress", &hints_.m_httpsProxyAddr},
            {"httpsProxyPort", &hints_.m_httpsProxyPort},
        };
        for (const auto& v : values) {
            if (v.second->empty()) continue;
            tunnel.SetStringValue(v.first, *v.second);
            *configured = true;
        }
    }
    return true;
}

bool CJavaPrefsSync::syncHttpProxy(const CPreferences& prefs) {
    JavaKey tunnel;
    if (tunnel.Create(RegRoot::CurrentUser, kJavaTunnelNode) != kOk) {
        SetStatusText("Disabled: could not set http proxy parameters");
        return false;
    }
    for (const char* name : {"proxyConfigurationUrl", "httpProxyAddress", "httpProxyPort",
                             "httpsProxyAddress", "httpsProxyPort", "proxyAuth"})
        tunnel.DeleteValue(name);
    hints_.Clear();
    bool configured = false;

    if (prefs.GetAutoDetection()) {
        if (!SyncSystemProxy(tunnel, &configured)) return false;
    } else if (prefs.GetNoProxy()) {
        // the Java client connects directly
    } else if (prefs.GetUseProxyScript()) {
        const std::string& script = prefs.GetProxyScript();
        if (!script.empty()) {
            tunnel.SetStringValue("proxyConfigurationUrl", script);
            ParseScriptServer(script, &hints_.m_configScriptAddr, &hints_.m_configScriptPort);
            configured = true;
        }
    } else if (prefs.GetUseProxy()) {
        if (!prefs.GetHttpProxyAddress().empty()) {
            hints_.m_httpProxyAddr = prefs.GetHttpProxyAddress();
            tunnel.SetStringValue("httpProxyAddress", hints_.m_httpProxyAddr);
            configured = true;
        }
        if (prefs.GetHttpProxyPort() > 0) {
            hints_.m_httpProxyPort = Format("%d", prefs.GetHttpProxyPort());
            tunnel.SetStringValue("httpProxyPort", hints_.m_httpProxyPort);
        }
        if (!prefs.GetHttpsProxyAddress().empty()) {
            hints_.m_httpsProxyAddr = prefs.GetHttpsProxyAddress();
            tunnel.SetStringValue("httpsProxyAddress", hints_.m_httpsProxyAddr);
            configured = true;
        }
        if (prefs.GetHttpsProxyPort() > 0) {
            hints_.m_httpsProxyPort = Format("%d", prefs.GetHttpsProxyPort());
            tunnel.SetStringValue("httpsProxyPort", hints_.m_httpsProxyPort);
        }
    }

    if (configured) {
        const std::string& auth = prefs.GetProxyAuth();
        TheLog().Log("syncHttpProxy, proxyAuth: %s\n", Masked(auth).c_str());
        if (!auth.empty()) tunnel.SetStringValue("proxyAuth", auth);
    }
    return true;
}

void CJavaPrefsSync::SyncLocalPorts(const CPreferences& prefs) {
    prefs.WriteSyncMode();
    if (prefs.IsDynamicMode()) {
        RegKey preferences;
        if (preferences.Open(prefs.GetRegistryRoot(), kPreferencesKey, kRegReadWrite) == kOk)
            preferences.DeleteValue(PrefName(PrefId::LocalIpAddress));
        JavaKey sip;
        if (sip.Open(RegRoot::CurrentUser, kJavaSipNode, kRegReadWrite) == kOk) {
            sip.SetStringValue("udpPort", "0");
            sip.SetStringValue("tcpPort", "0");
        }
        JavaKey socks;
        if (socks.Open(RegRoot::CurrentUser, kJavaSocksNode, kRegReadWrite) == kOk)
            socks.SetStringValue("socksPort", "0");
        return;
    }
    prefs.WriteLocalIpAddress();
    JavaKey sip;
    if (sip.Create(RegRoot::CurrentUser, kJavaSipNode) == kOk) {
        std::string port = PortText(prefs.GetFixedSipPort());
        sip.SetStringValue("udpPort", port);
        sip.SetStringValue("tcpPort", port);
    }
    JavaKey socks;
    if (socks.Create(RegRoot::CurrentUser, kJavaSocksNode) == kOk)
        socks.SetStringValue("socksPort", PortText(prefs.GetFixedSocksPort()));
}

std::vector<std::string> CJavaPrefsSync::CheckRegistryWriteAccess(const std::string& osName,
                                                                  const PermissionRepair& repair) {
    std::vector<std::string> listed;
    for (const char* skip : {"Windows 98", "Windows 98 SP1", "Windows 98 SE", "Windows ME"}) {
        if (EqualsNoCase(osName, skip)) return listed;
    }
    const std::string root = kJavaPrefsKey;
    const std::string keys[] = {
        "Software\\Velmora",
        "Software\\Velmora\\Corvane",
        "Software\\Velmora\\Corvane\\Preferences",
        "Software\\Velmora\\Corvane\\Settings",
        "Software\\JavaSoft\\Prefs\\corvane",
        root,
        root + "\\/Logger",
        root + "\\/Msnp",
        root + "\\/Oa/M",
        root + "\\/Server",
        root + "\\/Sip",
        root + "\\/Socks",
        root + "\\/Test",
        root + "\\/Tunnel",
        root + "\\/User",
    };
    for (const std::string& path : keys) {
        RegKey key;
        // Only a refusal counts; a key that does not exist yet will be created writable.
        if (key.Open(RegRoot::CurrentUser, path, kRegReadWrite) != kErrAccessDenied) continue;
        key.Close();
        bool repaired = repair ? repair(path) : false;
        if (!repaired) listed.push_back(path);
    }
    if (listed.empty()) return listed;

    std::string paths;
    for (const std::string& path : listed) paths += path + "\n";
    std::string text = Format(
        "You do not have permissions for writing to the Windows Registry!\n\nPlease contact your "
        "system administrator to give you appropriate access.\n\nLocation: "
        "HKEY_CURRENT_USER\nPaths:\n%s",
        paths.c_str());
    std::printf("\n%s\n", text.c_str());
    std::fflush(stdout);
    ShowPrompt(text, "Corvane", PromptKind::Ok, PromptIcon::Warning);
    return listed;
}

}  // namespace corv
