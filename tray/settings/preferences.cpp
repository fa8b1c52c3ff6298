#include "tray/settings/preferences.h"

#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"

namespace corv {

const char* const kPreferencesKey = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char* const kDefaultClassPath =
    "lib\\corvane.client.jar;lib\\nist-sip-1.2.jar;lib\\JainSipApi1.1.jar;lib\\nist-sdp-1.0.jar;"
    "lib\\js.jar;lib\\javax.servlet.jar;lib\\cryptix32.jar;lib\\cryptix-asn1.jar;lib\\gonative.jar";
const char* const kCredentialMask = "********";

namespace {

constexpr size_t kMaxString = 2048;

// Reads a trimmed REG_SZ value into *field; anything unreadable leaves it unchanged.
bool ReadString(const RegKey& key, const char* name, std::string* field, bool trim = true) {
    if (!key.IsOpen()) return false;
    std::string value;
    if (key.QueryString(name, &value, kMaxString) != kOk) return false;
    *field = trim ? Trim(value) : value;
    return true;
}

bool ReadDword(const RegKey& key, const char* name, int* field) {
    return key.IsOpen() && key.QueryInt(name, field) == kOk;
}

// Trailing backslashes go, except a drive root's own: "C:" alone names the drive's current
// folder, not its root.
std::string WithoutTrailingBackslashes(const std::string& folder) {
    size_t end = folder.find_last_not_of('\\');
    std::string out = end == std::string::npos ? std::string() : folder.substr(0, end + 1);
    if (out.size() == 2 && out[1] == ':' && folder.size() > 2) out += '\\';
    return out;
}

std::string HomeValue(const std::string& raw) {
    return WithoutTrailingBackslashes(Trim(raw));
}

std::string Masked(const std::string& credential) {
    return credential.empty() ? std::string() : kCredentialMask;
}

}  // namespace

CPreferences::CPreferences()
    : isAdministrator_(corv::IsAdministrator()),
      home_(ProgramPath()),
      classPath_(kDefaultClassPath) {}

CPreferences::CPreferences(const CPreferences& other) {
    *this = other;
}

CPreferences& CPreferences::operator=(const CPreferences& o) {
    if (this == &o) return *this;
    isAdministrator_ = o.IsAdministrator();
    isInitialized_ = o.IsInitialized();
    isModified_ = o.IsModified();
    installedForAllUsers_ = o.InstalledForAllUsers();
    activeIpAddress_ = o.GetActiveIpAddress();
    fixedSipPort_ = o.GetFixedSipPort();
    sipPort_ = o.GetSipPort();
    fixedSocksPort_ = o.GetFixedSocksPort();
    socksPort_ = o.GetSocksPort();
    alwaysTunnelMedia_ = o.GetAlwaysTunnelMedia();
    home_ = o.GetHome();
    externalSipAddress_ = o.GetExternalSipAddress();
    proxyServerAddresses_ = o.GetProxyServerAddresses();
    proxyServerPort_ = o.GetProxyServerPort();
    launchAtStartup_ = o.GetLaunchAtStartup();
    allowBckgrnd_ = o.GetAllowBckgrnd();
    syncMessenger_ = o.GetSyncMessenger() ? "1" : "0";
    syncMsnMessenger_ = o.GetSyncMsnMessenger() ? "1" : "0";
    syncEconf_ = o.GetSyncEconf() ? "1" : "0";
    syncXLite_ = o.GetSyncXLite() ? "1" : "0";
    doNotSync_ = o.GetDoNotSync() ? "1" : "0";
    userId_ = o.GetUserId();
    passwd_ = o.GetPasswd();
    autoDetection_ = o.GetAutoDetection();
    noProxy_ = o.GetNoProxy();
    useProxyScript_ = o.GetUseProxyScript();
    proxyScript_ = o.GetProxyScript();
    useProxy_ = o.GetUseProxy();
    httpProxyAddress_ = o.GetHttpProxyAddress();
    httpProxyPort_ = o.GetHttpProxyPort();
    httpsProxyAddress_ = o.GetHttpsProxyAddress();
    httpsProxyPort_ = o.GetHttpsProxyPort();
    proxyAuth_ = o.GetProxyAuth();
    url_ = o.GetUrl();
    urlCreateAccount_ = o.GetUrlCreateAccount();
    syncMode_ = o.GetSyncMode();
    localIpAddress_ = o.GetLocalIpAddress();
    mainClass_ = o.GetMainClass();
    classPath_ = o.GetClassPath();
    useSip_ = o.GetUseSip();
    hideBalloons_ = o.GetHideBalloons();
    hideGUI_ = o.GetHideGUI();
    hideAll_ = o.GetHideAll();
    return *this;
}

RegRoot CPreferences::GetRegistryRoot() const {
    return installedForAllUsers_ && isAdministrator_ ? RegRoot::LocalMachine : RegRoot::CurrentUser;
}

const char* CPreferences::GetRegistryRootName() const {
    return RegRootName(GetRegistryRoot());
}

bool CPreferences::IsDynamicMode() const {
    return EqualsNoCase(syncMode_, "dynamic");
}

void CPreferences::Load() {
    RegKey machine;
    if (machine.Open(RegRoot::LocalMachine, kPreferencesKey, kRegRead) == kOk) {
        std::string home;
        if (ReadString(machine, "Home", &home)) home = HomeValue(home);
        if (!home.empty() && PathExists(home)) {
            installedForAllUsers_ = true;
            home_ = home;
            ReadString(machine, "externalSipAddress", &externalSipAddress_);
            ReadString(machine, "proxyServerAddresses", &proxyServerAddresses_);
            ReadString(machine, "proxyServerPort", &proxyServerPort_);
        }
    }
    // The all-users key counts only for an all-users install.
    if (!installedForAllUsers_) machine.Close();

    RegKey user;
    if (user.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead) != kOk && !installedForAllUsers_)
        return;

    if (!installedForAllUsers_) {
        std::string home;
        if (ReadString(user, "Home", &home)) home_ = HomeValue(home);
    }
    ReadString(user, "proxyServerAddresses", &proxyServerAddresses_);

    auto str = [&](const char* name, std::string* field) {
        if (!ReadString(user, name, field)) ReadString(machine, name, field);
    };
    auto num = [&](const char* name, int* field) {
        if (!ReadDword(user, name, field)) ReadDword(machine, name, field);
    };
    num("LaunchAtStartup", &launchAtStartup_);
    num("AllowBckgrnd", &allowBckgrnd_);
    str("SyncMessenger", &syncMessenger_);
    str("SyncMsnMessenger", &syncMsnMessenger_);
    str("SyncEconf", &syncEconf_);
    str("SyncXLite", &syncXLite_);
    str("DoNotSync", &doNotSync_);
    ReadAccount(user, machine);
    num("AutoDetection", &autoDetection_);
    num("NoProxy", &noProxy_);
    num("UseProxyScript", &useProxyScript_);
    str("ProxyScript", &proxyScript_);
    num("UseProxy", &useProxy_);
    str("HttpProxyAddress", &httpProxyAddress_);
    num("HttpProxyPort", &httpProxyPort_);
    str("HttpsProxyAddress", &httpsProxyAddress_);
    num("HttpsProxyPort", &httpsProxyPort_);
    str("ProxyAuth", &proxyAuth_);
    str("Url", &url_);
    str("UrlCreateAccount", &urlCreateAccount_);
    str("SyncMode", &syncMode_);
    str("LocalIpAddress", &localIpAddress_);
    str("MainClass", &mainClass_);
    str("classpath", &classPath_);
    num("UseSip", &useSip_);
    num("HideBalloons", &hideBalloons_);
    num("HideGUI", &hideGUI_);
    num("HideAll", &hideAll_);

    user.Close();
    machine.Close();
    isInitialized_ = true;
    Dump();
}

// The all-users account is used only while the per-user one left the field empty.
void CPreferences::ReadAccount(RegKey& user, RegKey& machine) {
    ReadString(user, "UserId", &userId_);
    if (userId_.empty()) ReadString(machine, "UserId", &userId_);
    ReadString(user, "Passwd", &passwd_, false);
    if (passwd_.empty()) ReadString(machine, "Passwd", &passwd_, false);
}

void CPreferences::ReloadAccount() {
    RegKey user, machine;
    user.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead);
    if (installedForAllUsers_) machine.Open(RegRoot::LocalMachine, kPreferencesKey, kRegRead);
    ReadAccount(user, machine);
}

void CPreferences::ReloadSyncSettings() {
    RegKey user, machine;
    user.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead);
    if (installedForAllUsers_) machine.Open(RegRoot::LocalMachine, kPreferencesKey, kRegRead);
    auto str = [&](const char* name, std::string* field) {
        if (!ReadString(user, name, field)) ReadString(machine, name, field);
    };
    str("SyncMessenger", &syncMessenger_);
    str("SyncMsnMessenger", &syncMsnMessenger_);
    str("SyncEconf", &syncEconf_);
    str("SyncXLite", &syncXLite_);
    str("DoNotSync", &doNotSync_);
    if (!ReadDword(user, "UseSip", &useSip_)) ReadDword(machine, "UseSip", &useSip_);
}

void CPreferences::Save() {
    if (!isInitialized_ || !isModified_) return;
    RegKey key;
    if (key.Create(GetRegistryRoot(), kPreferencesKey, kRegReadWrite) != kOk) return;
    key.SetDword("LaunchAtStartup", static_cast<uint32_t>(launchAtStartup_));
    key.SetDword("AllowBckgrnd", static_cast<uint32_t>(allowBckgrnd_));
    key.SetString("SyncMessenger", syncMessenger_);
    key.SetString("SyncMsnMessenger", syncMsnMessenger_);
    key.SetString("SyncEconf", syncEconf_);
    key.SetString("SyncXLite", syncXLite_);
    key.SetString("DoNotSync", doNotSync_);
    if (!userId_.empty()) {
        TheLog().Log("Saving userid: %s\n", userId_.c_str());
        key.SetString("UserId", userId_);
    }
    if (!passwd_.empty()) {
        TheLog().Log("Saving password: %s\n", kCredentialMask);
        key.SetString("Passwd", passwd_);
    }
    key.SetDword("AutoDetection", static_cast<uint32_t>(autoDetection_));
    key.SetDword("NoProxy", static_cast<uint32_t>(noProxy_));
    key.SetDword("UseProxyScript", static_cast<uint32_t>(useProxyScript_));
    key.SetString("ProxyScript", proxyScript_);
    key.SetDword("UseProxy", static_cast<uint32_t>(useProxy_));
    key.SetString("HttpProxyAddress", httpProxyAddress_);
    key.SetDword("HttpProxyPort", static_cast<uint32_t>(httpProxyPort_));
    key.SetString("HttpsProxyAddress", httpsProxyAddress_);
    key.SetDword("HttpsProxyPort", static_cast<uint32_t>(httpsProxyPort_));
    key.SetString("ProxyAuth", proxyAuth_);
    key.SetDword("UseSip", static_cast<uint32_t>(useSip_));
}

std::vector<std::string> CPreferences::DumpLines() const {
    const char* s = "--- %-21s = %s\n";
    const char* d = "--- %-21s = %d\n";
    auto S = [&](const char* label, const std::string& v) { return Format(s, label, v.c_str()); };
    auto D = [&](const char* label, int v) { return Format(d, label, v); };
    return {
        "Preferences:\n",
        D("IsInitialized", isInitialized_),
        D("IsModified", isModified_),
        S("Installed for", installedForAllUsers_ ? "AllUsers" : "OnlyForMe"),
        S("Registry root", GetRegistryRootName()),
        D("LaunchAtStartup", launchAtStartup_),
        D("AllowRunInBackground", allowBckgrnd_),
        S("SyncMessenger", syncMessenger_),
        S("SyncMsnMessenger", syncMsnMessenger_),
        S("SyncEconf", syncEconf_),
        S("SyncXLite", syncXLite_),
        S("DoNotSync", doNotSync_),
        D("UseSip", useSip_),
        S("ExternalSipServer", externalSipAddress_),
        S("ProxyServerAddresses", proxyServerAddresses_),
        S("ProxyServerPort", proxyServerPort_),
        S("UserId", userId_),
        S("Passwd", Masked(passwd_)),
        D("AutoDetection", autoDetection_),
        D("NoProxy", noProxy_),
        D("UseProxyScript", useProxyScript_),
        S("ProxyScript", proxyScript_),
        D("UseProxy", useProxy_),
        S("HttpProxyAddress", httpProxyAddress_),
        D("HttpProxyPort", httpProxyPort_),
        S("HttpsProxyAddress", httpsProxyAddress_),
        D("HttpsProxyPort", httpsProxyPort_),
        S("ProxyAuth", Masked(proxyAuth_)),
        S("Home", home_),
        S("Url", url_),
        S("UrlCreateAccount", urlCreateAccount_),
        S("MainClass", mainClass_),
        S("classpath", classPath_),
        D("HideBalloons", hideBalloons_),
        D("HideGUI", hideGUI_),
        D("HideAll", hideAll_),
        D("AlwaysTunnelMedia", alwaysTunnelMedia_),
    };
}

void CPreferences::Dump() const {
    // Values from the registry may hold line ends: each dump line stays one log line.
    for (const auto& line : DumpLines()) {
        if (!line.empty() && line.back() == '\n')
            TheLog().Log("%s\n", line.substr(0, line.size() - 1).c_str());
        else
            TheLog().Log("%s", line.c_str());
    }
}

void CPreferences::WriteOne(const char* name, const std::string& value, bool create,
                            RegRoot root) const {
    RegKey key;
    long rc = create ? key.Create(root, kPreferencesKey, kRegReadWrite)
                     : key.Open(root, kPreferencesKey, kRegReadWrite);
    if (rc == kOk) key.SetString(name, value);
}

void CPreferences::WriteSyncMessenger() const {
    WriteOne("SyncMessenger", syncMessenger_, false, GetRegistryRoot());
}
void CPreferences::WriteSyncMsnMessenger() const {
    WriteOne("SyncMsnMessenger", syncMsnMessenger_, false, GetRegistryRoot());
}
void CPreferences::WriteSyncEconf() const {
    WriteOne("SyncEconf", syncEconf_, false, GetRegistryRoot());
}
void CPreferences::WriteSyncXLite() const {
    WriteOne("SyncXLite", syncXLite_, false, GetRegistryRoot());
}
void CPreferences::WriteLocalIpAddress() const {
    WriteOne("LocalIpAddress", localIpAddress_, false, GetRegistryRoot());
}
void CPreferences::WriteSyncMode() const {
    WriteOne("SyncMode", syncMode_, true, GetRegistryRoot());
}
void CPreferences::WriteExternalSipAddress() const {
    WriteOne("externalSipAddress", externalSipAddress_, false, RegRoot::LocalMachine);
}

#define CORV_MARKING_SETTER(Name, Type, field) \
    void CPreferences::Set##Name(Type v) {     \
        field = v;                             \
        isModified_ = true;                    \
    }
CORV_MARKING_SETTER(Home, const std::string&, home_)
CORV_MARKING_SETTER(LaunchAtStartup, int, launchAtStartup_)
CORV_MARKING_SETTER(AllowBckgrnd, int, allowBckgrnd_)
CORV_MARKING_SETTER(UserId, const std::string&, userId_)
CORV_MARKING_SETTER(Passwd, const std::string&, passwd_)
CORV_MARKING_SETTER(AutoDetection, int, autoDetection_)
CORV_MARKING_SETTER(NoProxy, int, noProxy_)
CORV_MARKING_SETTER(UseProxyScript, int, useProxyScript_)
CORV_MARKING_SETTER(ProxyScript, const std::string&, proxyScript_)
CORV_MARKING_SETTER(UseProxy, int, useProxy_)
CORV_MARKING_SETTER(HttpProxyAddress, const std::string&, httpProxyAddress_)
CORV_MARKING_SETTER(HttpProxyPort, int, httpProxyPort_)
CORV_MARKING_SETTER(HttpsProxyAddress, const std::string&, httpsProxyAddress_)
CORV_MARKING_SETTER(HttpsProxyPort, int, httpsProxyPort_)
CORV_MARKING_SETTER(ProxyAuth, const std::string&, proxyAuth_)
CORV_MARKING_SETTER(UseSip, int, useSip_)
#undef CORV_MARKING_SETTER

void CPreferences::SetSyncMessenger(bool on) {
    syncMessenger_ = on ? "1" : "0";
    isModified_ = true;
}
void CPreferences::SetSyncMsnMessenger(bool on) {
    syncMsnMessenger_ = on ? "1" : "0";
    isModified_ = true;
}
void CPreferences::SetSyncEconf(bool on) {
    syncEconf_ = on ? "1" : "0";
    isModified_ = true;
}

}  // namespace corv
