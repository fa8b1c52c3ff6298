// Every user-visible setting of the tray client, loaded from the Preferences key of the
// all-users install (HKLM) and of the user (HKCU, winning).
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace corv {

extern const char* const kPreferencesKey;  // "SOFTWARE\Velmora\Corvane\Preferences"
extern const char* const kDefaultClassPath;
extern const char* const kCredentialMask;  // shown instead of credentials in the log

class CPreferences {
  public:
    CPreferences();  // defaults; computes IsAdministrator
    // The dialog's working copy: every field through its getter, so sync flags become "1"/"0".
    CPreferences(const CPreferences& other);
    CPreferences& operator=(const CPreferences& other);

    void Load();
    void Save();
    void Dump() const;
    std::vector<std::string> DumpLines() const;  // what Dump logs, one entry per line
    void ReloadSyncSettings();
    void ReloadAccount();

    RegRoot GetRegistryRoot() const;
    const char* GetRegistryRootName() const;

    // Flags that are never stored.
    bool IsAdministrator() const { return isAdministrator_; }
    void SetIsAdministrator(bool v) { isAdministrator_ = v; }  // tests and callers that know
    bool IsInitialized() const { return isInitialized_; }
    bool IsModified() const { return isModified_; }
    bool InstalledForAllUsers() const { return installedForAllUsers_; }
    void SetInstalledForAllUsers(bool v) { installedForAllUsers_ = v; }

    // Run-time values fed by other parts; never written to the Preferences key.
    const std::string& GetActiveIpAddress() const { return activeIpAddress_; }
    void SetActiveIpAddress(const std::string& v) { activeIpAddress_ = v; }
    int GetFixedSipPort() const { return fixedSipPort_; }
    void SetFixedSipPort(int v) { fixedSipPort_ = v; }
    int GetSipPort() const { return sipPort_; }
    void SetSipPort(int v) { sipPort_ = v; }
    int GetFixedSocksPort() const { return fixedSocksPort_; }
    void SetFixedSocksPort(int v) { fixedSocksPort_ = v; }
    int GetSocksPort() const { return socksPort_; }
    void SetSocksPort(int v) { socksPort_ = v; }
    bool GetAlwaysTunnelMedia() const { return alwaysTunnelMedia_; }
    void SetAlwaysTunnelMedia(bool v) { alwaysTunnelMedia_ = v; }

    // Stored values. Setters marked (M) set IsModified.
    const std::string& GetHome() const { return home_; }
    void SetHome(const std::string& v);  // (M)
    const std::string& GetExternalSipAddress() const { return externalSipAddress_; }
    void SetExternalSipAddress(const std::string& v) { externalSipAddress_ = v; }
    const std::string& GetProxyServerAddresses() const { return proxyServerAddresses_; }
    void SetProxyServerAddresses(const std::string& v) { proxyServerAddresses_ = v; }
    const std::string& GetProxyServerPort() const { return proxyServerPort_; }
    void SetProxyServerPort(const std::string& v) { proxyServerPort_ = v; }
    int GetLaunchAtStartup() const { return launchAtStartup_; }
    void SetLaunchAtStartup(int v);  // (M)
    int GetAllowBckgrnd() const { return allowBckgrnd_; }
    void SetAllowBckgrnd(int v);  // (M)

    // Sync flags: on only for exactly "1"; setters store "1" or "0".
    bool GetSyncMessenger() const { return syncMessenger_ == "1"; }
    void SetSyncMessenger(bool on);  // (M)
    bool GetSyncMsnMessenger() const { return syncMsnMessenger_ == "1"; }
    void SetSyncMsnMessenger(bool on);  // (M)
    bool GetSyncEconf() const { return syncEconf_ == "1"; }
    void SetSyncEconf(bool on);  // (M)
    bool GetSyncXLite() const { return syncXLite_ == "1"; }
    void SetSyncXLite(bool on) { syncXLite_ = on ? "1" : "0"; }
    bool GetDoNotSync() const { return doNotSync_ == "1"; }
    void SetDoNotSync(bool on) { doNotSync_ = on ? "1" : "0"; }
    // The stored strings, as the dump shows them.
    const std::string& SyncMessengerText() const { return syncMessenger_; }
    const std::string& SyncMsnMessengerText() const { return syncMsnMessenger_; }
    const std::string& SyncEconfText() const { return syncEconf_; }
    const std::string& SyncXLiteText() const { return syncXLite_; }
    const std::string& DoNotSyncText() const { return doNotSync_; }

    const std::string& GetUserId() const { return userId_; }
    void SetUserId(const std::string& v);  // (M)
    const std::string& GetPasswd() const { return passwd_; }
    void SetPasswd(const std::string& v);  // (M)
    int GetAutoDetection() const { return autoDetection_; }
    void SetAutoDetection(int v);  // (M)
    int GetNoProxy() const { return noProxy_; }
    void SetNoProxy(int v);  // (M)
    int GetUseProxyScript() const { return useProxyScript_; }
    void SetUseProxyScript(int v);  // (M)
    const std::string& GetProxyScript() const { return proxyScript_; }
    void SetProxyScript(const std::string& v);  // (M)
    int GetUseProxy() const { return useProxy_; }
    void SetUseProxy(int v);  // (M)
    const std::string& GetHttpProxyAddress() const { return httpProxyAddress_; }
    void SetHttpProxyAddress(const std::string& v);  // (M)
    int GetHttpProxyPort() const { return httpProxyPort_; }
    void SetHttpProxyPort(int v);  // (M)
    const std::string& GetHttpsProxyAddress() const { return httpsProxyAddress_; }
    void SetHttpsProxyAddress(const std::string& v);  // (M)
    int GetHttpsProxyPort() const { return httpsProxyPort_; }
    void SetHttpsProxyPort(int v);  // (M)
    const std::string& GetProxyAuth() const { return proxyAuth_; }
    void SetProxyAuth(const std::string& v);  // (M)
    const std::string& GetUrl() const { return url_; }
    void SetUrl(const std::string& v) { url_ = v; }
    const std::string& GetUrlCreateAccount() const { return urlCreateAccount_; }
    void SetUrlCreateAccount(const std::string& v) { urlCreateAccount_ = v; }
    const std::string& GetSyncMode() const { return syncMode_; }
    void SetSyncMode(const std::string& v) { syncMode_ = v; }
    bool IsDynamicMode() const;  // SyncMode "dynamic", case ignored
    const std::string& GetLocalIpAddress() const { return localIpAddress_; }
    void SetLocalIpAddress(const std::string& v) { localIpAddress_ = v; }
    const std::string& GetMainClass() const { return mainClass_; }
    void SetMainClass(const std::string& v) { mainClass_ = v; }
    const std::string& GetClassPath() const { return classPath_; }
    void SetClassPath(const std::string& v) { classPath_ = v; }
    int GetUseSip() const { return useSip_; }
    void SetUseSip(int v);  // (M)
    int GetHideBalloons() const { return hideBalloons_; }
    void SetHideBalloons(int v) { hideBalloons_ = v; }
    int GetHideGUI() const { return hideGUI_; }
    void SetHideGUI(int v) { hideGUI_ = v; }
    int GetHideAll() const { return hideAll_; }
    void SetHideAll(int v) { hideAll_ = v; }

    // Single-value writers (REG_SZ under GetRegistryRoot; a key that cannot be opened: nothing).
    void WriteSyncMessenger() const;
    void WriteSyncMsnMessenger() const;
    void WriteSyncEconf() const;
    void WriteSyncXLite() const;
    void WriteLocalIpAddress() const;      // the key must exist
    void WriteSyncMode() const;            // creates the key if missing
    void WriteExternalSipAddress() const;  // always HKLM

  private:
    void WriteOne(const char* name, const std::string& value, bool create, RegRoot root) const;
    void ReadAccount(RegKey& user, RegKey& machine);

    bool isAdministrator_ = false;
    bool isInitialized_ = false;
    bool isModified_ = false;
    bool installedForAllUsers_ = false;

    std::string activeIpAddress_;
    int fixedSipPort_ = -1;
    int sipPort_ = 5060;
    int fixedSocksPort_ = -1;
    int socksPort_ = 1080;
    bool alwaysTunnelMedia_ = false;

    std::string home_;
    std::string externalSipAddress_;
    std::string proxyServerAddresses_;
    std::string proxyServerPort_;
    int launchAtStartup_ = 1;
    int allowBckgrnd_ = 1;
    std::string syncMessenger_ = "1";
    std::string syncMsnMessenger_ = "1";
    std::string syncEconf_ = "0";
    std::string syncXLite_ = "0";
    std::string doNotSync_ = "0";
    std::string userId_;
    std::string passwd_;
    int autoDetection_ = 1;
    int noProxy_ = 0;
    int useProxyScript_ = 0;
    std::string proxyScript_;
    int useProxy_ = 0;
    std::string httpProxyAddress_;
    int httpProxyPort_ = -1;
    std::string httpsProxyAddress_;
    int httpsProxyPort_ = -1;
    std::string proxyAuth_;
    std::string url_;
    std::string urlCreateAccount_;
    std::string syncMode_ = "dynamic";
    std::string localIpAddress_;
    std::string mainClass_ = "corvane.proxyclient.ProxyClient";
    std::string classPath_;
    int useSip_ = 0;
    int hideBalloons_ = 0;
    int hideGUI_ = 0;
    int hideAll_ = 0;
};

}  // namespace corv
