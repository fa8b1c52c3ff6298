#include "tray/settings/preference_rules.h"

#include "platform/text.h"
#include "tray/settings/credentials.h"
#include "tray/settings/preferences.h"
#include "tray/settings/proxy_list.h"
#include "tray/settings/service.h"

namespace corv {

const char* const kPasswordPlaceholder = "73914652";

namespace {

// A decimal port text from 0 to 65535; an empty field reads as 0.
bool PortOrZero(const std::string& text, int* port) {
    std::string t = Trim(text);
    if (t.empty()) {
        *port = 0;
        return true;
    }
    if (t == "0") {
        *port = 0;
        return true;
    }
    return ParsePort(t, port);
}

}  // namespace

std::string CheckProxyAddress(const std::string& text, int separatePort, const HostLookup& lookup,
                              ProxyAddress* out) {
    const std::string illegalFormat =
        Format("Illegal format: %s. \n\nPlease write a host name or ip-address!", text.c_str());
    if (text.find_first_of("=;") != std::string::npos) return illegalFormat;

    ProxyAddress address;
    std::string portText;
    bool hasPort = false;
    size_t scheme = text.find("://");
    if (scheme != std::string::npos) {
        address.protocol = text.substr(0, scheme);
        std::string rest = text.substr(scheme + 3);
        size_t end = rest.find_first_of(":/");
        address.host = rest.substr(0, end);
        if (end != std::string::npos && rest[end] == ':') {
            hasPort = true;
            std::string after = rest.substr(end + 1);
            portText = after.substr(0, after.find_first_of(":/"));
        }
    } else {
        size_t colon = text.find(':');
        address.host = text.substr(0, colon);
        if (colon != std::string::npos) {
            hasPort = true;
            portText = text.substr(colon + 1);
        }
    }
    // Without a host there is nothing to look up (an empty name would be this computer).
    if (address.host.empty()) return illegalFormat;

    address.port = separatePort;
    if (hasPort) {
        if (separatePort > 0)
            return Format("Illegal format: %s    %d \n\nYou have specified two ports: %s and %d!",
                          text.c_str(), separatePort, portText.c_str(), separatePort);
        int port = 0;
        if (!ParsePort(portText, &port)) return Format("Illegal port value: %s", portText.c_str());
        address.port = port;
    }
    if (!lookup(address.host))
        return Format("Unknown host: %s \n\nPlease check your internet connection!\n",
                      address.host.c_str());
    *out = address;
    return std::string();
}

bool LaunchAtStartupEditable(const CPreferences& prefs) {
    return !(prefs.InstalledForAllUsers() && !prefs.IsAdministrator());
}

std::string PasswordDisplay(const std::string& stored) {
    return stored.empty() ? std::string() : kPasswordPlaceholder;
}

bool OffersGetPassword(const CPreferences& prefs) {
    return !prefs.GetUrl().empty() || !prefs.GetUrlCreateAccount().empty();
}

std::string AccountWebAddress(const CPreferences& prefs) {
    if (!prefs.GetUrlCreateAccount().empty()) return prefs.GetUrlCreateAccount();
    if (!prefs.GetUrl().empty()) return prefs.GetUrl();
    return ServiceWebAddress();
}

std::string BrowserFailureText(int shellResult, const std::string& address) {
    return Format(
        "Could not open your default Web Browser (Error %d)!\n\nPlease go to the web "
        "page: %s",
        shellResult, address.c_str());
}

std::string CommitAccount(const std::string& userId, const std::string& password,
                          CPreferences& prefs) {
    std::string user = Trim(userId), pass = Trim(password);
    if (user.empty() && pass.empty()) return "User id and password cannot be empty!";
    if (user.empty()) return "User id cannot be empty!";
    if (pass.empty()) return "Password cannot be empty!";
    std::string digest, error;
    if (!MakeAccountDigest(user, pass, &digest, &error)) return error;
    prefs.SetUserId(user);
    prefs.SetPasswd(digest);
    return std::string();
}

ConnectionFields ConnectionFieldsOf(const CPreferences& prefs) {
    ConnectionFields f;
    if (prefs.GetAutoDetection())
        f.mode = ProxyMode::AutoDetection;
    else if (prefs.GetNoProxy())
        f.mode = ProxyMode::NoProxy;
    else if (prefs.GetUseProxyScript())
        f.mode = ProxyMode::ProxyScript;
    else if (prefs.GetUseProxy())
        f.mode = ProxyMode::SecureProxy;
    else
        f.mode = ProxyMode::None;
    f.script = prefs.GetProxyScript();
    f.httpsHost = prefs.GetHttpsProxyAddress();
    int port = prefs.GetHttpsProxyPort();
    f.httpsPort = port == -1 ? std::string() : std::to_string(port);
    std::string user, password;
    if (!prefs.GetProxyAuth().empty() && DecodeProxyAuth(prefs.GetProxyAuth(), &user, &password)) {
        f.authUser = user;
        f.authPassword = PasswordDisplay(password);
    }
    return f;
}

std::string CommitConnection(ConnectionFields* fields, CPreferences& prefs,
                             const HostLookup& lookup, ConnectionField* focus) {
    *focus = ConnectionField::None;
    const ProxyMode mode = fields->mode;
    std::string script = Trim(fields->script);
    ProxyAddress https;
    if (mode == ProxyMode::ProxyScript) {
        *focus = ConnectionField::Script;
        if (script.empty()) return "HTTP configuration script cannot be empty!";
        ProxyAddress checked;
        std::string error = CheckProxyAddress(script, -1, lookup, &checked);
        if (!error.empty()) return error;
    } else if (mode == ProxyMode::SecureProxy) {
        std::string host = Trim(fields->httpsHost);
        *focus = ConnectionField::HttpsHost;
        if (host.empty()) return "HTTPS proxy address cannot be empty!";
        std::string portText = Trim(fields->httpsPort);
        int port = -1;
        if (!portText.empty() && !ParsePort(portText, &port)) {
            *focus = ConnectionField::HttpsPort;
            return "Illegal port value!";
        }
        std::string error = CheckProxyAddress(host, port, lookup, &https);
        if (!error.empty()) return error;
        if (!https.protocol.empty() && !EqualsNoCase(https.protocol, "https"))
            return Format("Illegal protocol: %s \n\nPlease specify an https address!\n",
                          https.protocol.c_str());
    }
    *focus = ConnectionField::None;

    prefs.SetAutoDetection(mode == ProxyMode::AutoDetection ? 1 : 0);
    prefs.SetNoProxy(mode == ProxyMode::NoProxy ? 1 : 0);
    prefs.SetUseProxyScript(mode == ProxyMode::ProxyScript ? 1 : 0);
    prefs.SetUseProxy(mode == ProxyMode::SecureProxy ? 1 : 0);
    if (mode == ProxyMode::ProxyScript) {
        // The script is an address with a path: it is stored whole, never cut to its host.
        prefs.SetProxyScript(script);
        fields->script = script;
    } else if (mode == ProxyMode::SecureProxy) {
        if (!https.protocol.empty()) {
            prefs.SetHttpProxyAddress(std::string());
            prefs.SetHttpProxyPort(-1);
        }
        prefs.SetHttpsProxyAddress(https.host);
        prefs.SetHttpsProxyPort(https.port);
        fields->httpsHost = https.host;
    }
    return std::string();
}

bool ProxyAuthUserOf(const CPreferences& prefs, std::string* userId) {
    userId->clear();
    if (prefs.GetProxyAuth().empty()) return true;
    std::string password;
    return DecodeProxyAuth(prefs.GetProxyAuth(), userId, &password);
}

std::string CommitProxyAuth(const std::string& userId, const std::string& password,
                            CPreferences& prefs, bool* keepOpen) {
    std::string user = Trim(userId), pass = Trim(password);
    *keepOpen = true;
    if (!user.empty() && pass.empty())
        return "You have specified a proxy user id but not a password!";
    if (user.empty() && !pass.empty())
        return "You have specified a proxy password but not a user id!";
    std::string encoded;
    if (!user.empty()) {
        std::string error;
        if (!EncodeProxyAuth(user, pass, &encoded, &error)) return error;
    }
    prefs.SetProxyAuth(encoded);
    *keepOpen = false;
    return std::string();
}

ClientChoiceView ClientChoiceOf(const CPreferences& prefs, const DetectedClients& detected) {
    ClientChoiceView v;
    bool sip = prefs.GetUseSip() != 0;
    v.checked[kMessengers] = !sip && (prefs.GetSyncMsnMessenger() || prefs.GetSyncMessenger());
    v.checked[kWindowsMessengerSip] = prefs.GetSyncMessenger() && sip;
    v.checked[kEconf] = prefs.GetSyncEconf() && sip;
    v.checked[kXLite] = prefs.GetSyncXLite() && sip;
    v.checked[kCustomSip] = prefs.GetDoNotSync();
    v.enabled[kMessengers] = detected.msnMessenger || detected.windowsMessenger;
    v.enabled[kWindowsMessengerSip] = detected.windowsMessenger;
    v.enabled[kEconf] = detected.econf;
    v.enabled[kXLite] = detected.xlite;
    v.enabled[kCustomSip] = true;
    return v;
}

void WriteClientChoice(const bool checked[kClientChoices], CPreferences& prefs) {
    prefs.SetSyncMsnMessenger(checked[kMessengers]);
    prefs.SetSyncMessenger(checked[kMessengers]);
    if (checked[kMessengers]) prefs.SetUseSip(0);
    if (!prefs.GetSyncMessenger()) {
        prefs.SetSyncMessenger(checked[kWindowsMessengerSip]);
        if (checked[kWindowsMessengerSip]) prefs.SetUseSip(1);
    }
    prefs.SetSyncEconf(checked[kEconf]);
    if (checked[kEconf]) prefs.SetUseSip(1);
    prefs.SetSyncXLite(checked[kXLite]);
    if (checked[kXLite]) prefs.SetUseSip(1);
    prefs.SetDoNotSync(checked[kCustomSip]);
}

void CommitExternalSipAddress(const std::string& text, CPreferences& prefs) {
    prefs.SetExternalSipAddress(Trim(text));
    prefs.WriteExternalSipAddress();
}

namespace {
std::string PortOrNotSet(int port) {
    return port < 0 ? std::string("Not set") : std::to_string(port);
}
std::string PortOrEmpty(int port) {
    return port < 0 ? std::string() : std::to_string(port);
}
}  // namespace

std::string AdvancedInfoText(const CPreferences& prefs) {
    return Format("SOCKS port: %s, SIP port: %s, IP: %s",
                  PortOrNotSet(prefs.GetSocksPort()).c_str(),
                  PortOrNotSet(prefs.GetSipPort()).c_str(), prefs.GetActiveIpAddress().c_str());
}

AdvancedFields AdvancedFieldsOf(const CPreferences& prefs) {
    AdvancedFields f;
    f.dynamic = prefs.IsDynamicMode();
    const std::string& ip = prefs.GetLocalIpAddress();
    f.ipAddress = ip == "0.0.0.0" ? std::string() : ip;
    f.sipPort = PortOrEmpty(prefs.GetFixedSipPort());
    f.socksPort = PortOrEmpty(prefs.GetFixedSocksPort());
    return f;
}

std::string CommitAdvanced(const AdvancedFields& fields, CPreferences& prefs,
                           const LocalAddressTest& isLocal, std::string* warning,
                           AdvancedField* focus) {
    warning->clear();
    *focus = AdvancedField::None;
    if (fields.dynamic) {
        prefs.SetSyncMode("dynamic");
        return std::string();
    }
    prefs.SetSyncMode("fixed");
    std::string ip = Trim(fields.ipAddress);
    if (EqualsNoCase(ip, "0.0.0.0")) {
        *focus = AdvancedField::IpAddress;
        return "Illegal local IP address, \n0.0.0.0 is not allowed as a client address!";
    }
    if (!ip.empty() && !isLocal(ip))
        *warning = Format(
            "Warning! Specified address %s is not in local host table\n\nConsider using a "
            "different address\n",
            ip.c_str());
    int sip = 0, socks = 0;
    if (!PortOrZero(fields.sipPort, &sip)) {
        *focus = AdvancedField::SipPort;
        return "Illegal SIP port!";
    }
    if (!PortOrZero(fields.socksPort, &socks)) {
        *focus = AdvancedField::SocksPort;
        return "Illegal SOCKS port!";
    }
    prefs.SetLocalIpAddress(ip);
    prefs.SetFixedSipPort(sip);
    prefs.SetFixedSocksPort(socks);
    return std::string();
}

}  // namespace corv
