// Every user-visible setting of the tray client, loaded from the Preferences key of the
// all-users install (HKLM) and of the user (HKCU, winning). The values are one table of rows
// (PrefRows); load, save, dump, copy and the group comparisons are loops over it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace corv {

extern const char* const kPreferencesKey;  // "SOFTWARE\Velmora\Corvane\Preferences"
extern const char* const kDefaultClassPath;
extern const char* const kCredentialMask;  // shown instead of credentials in the log

class CPreferences;

// One per row, in the order Load reads the stored values and Save writes them.
enum class PrefId : unsigned char {
    Home,
    ExternalSipAddress,
    ProxyServerAddresses,
    ProxyServerPort,
    LaunchAtStartup,
    AllowBckgrnd,
    SyncMessenger,
    SyncMsnMessenger,
    SyncEconf,
    SyncXLite,
    DoNotSync,
    UserId,
    Passwd,
    AutoDetection,
    NoProxy,
    UseProxyScript,
    ProxyScript,
    UseProxy,
    HttpProxyAddress,
    HttpProxyPort,
    HttpsProxyAddress,
    HttpsProxyPort,
    ProxyAuth,
    Url,
    UrlCreateAccount,
    SyncMode,
    LocalIpAddress,
    MainClass,
    ClassPath,
    UseSip,
    HideBalloons,
    HideGUI,
    HideAll,
    // Fed by other parts at run time; never read from or written to the Preferences key.
    ActiveIpAddress,
    FixedSipPort,
    SipPort,
    FixedSocksPort,
    SocksPort,
    AlwaysTunnelMedia,
    Count
};
constexpr size_t kPrefCount = static_cast<size_t>(PrefId::Count);

enum class PrefKind : unsigned char {
    Text,    // REG_SZ
    Number,  // REG_DWORD
    Flag,    // REG_SZ, on only for exactly "1"; setters and copies store "1" or "0"
};

// Where Load takes a value from. "All-users" counts only for an all-users install.
enum class PrefScope : unsigned char {
    Install,           // Home: all-users, else per-user (named rule in Load)
    AllUsers,          // all-users key only
    AllUsersThenUser,  // all-users, replaced by a per-user value
    UserThenAllUsers,  // per-user when readable, else all-users
    UserThenIfEmpty,   // per-user; all-users only while the field is still empty
    RunTime,           // never read or written by this store
};

enum PrefFlags : unsigned {
    kPrefSaved = 1,    // written by Save
    kPrefMarks = 2,    // its setter sets IsModified
    kPrefTrimmed = 4,  // white space trimmed on load
    kPrefMasked = 8,   // a credential: dumps show the mask
};

// Values that handlers compare or re-read together.
enum class PrefGroup : unsigned {
    Restart = 1,       // handed to the Java client at start: a change restarts it
    Account = 2,       // the account pair
    ClientChoice = 4,  // which messenger or SIP client is kept configured
    ClientReload = 8,  // re-read when another program changed the client choice
    AddressMode = 16,  // local address and ports, dynamic or fixed
    HideFlags = 32,    // the frame's display switches
};
enum class PrefComparison { Exact, NoCase };  // numbers always compare as numbers
PrefComparison ComparisonOf(PrefGroup group);

struct PrefRow {
    PrefId id;
    const char* name;  // the registry value (run-time rows: the field's name)
    PrefKind kind;
    PrefScope scope;
    unsigned flags;   // PrefFlags
    unsigned groups;  // PrefGroup bits
    const char* textDefault;
    int numberDefault;
    int dumpLine;  // index in DumpLines, 0 = not dumped
    const char* dumpLabel;
    std::string CPreferences::*text;  // Text and Flag rows
    int CPreferences::*number;        // Number rows

    bool In(PrefGroup g) const { return (groups & static_cast<unsigned>(g)) != 0; }
};

const std::array<PrefRow, kPrefCount>& PrefRows();
const PrefRow& PrefRowOf(PrefId id);
inline const char* PrefName(PrefId id) {
    return PrefRowOf(id).name;
}

// Whether any value of the group differs, compared as the group says.
bool DiffersIn(PrefGroup group, const CPreferences& a, const CPreferences& b);

class CPreferences {
  public:
    CPreferences();  // defaults; computes IsAdministrator
    // The dialog's working copy: every value, with the flags normalised to "1"/"0".
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

    // Any row by its id; the setters set IsModified where the row says so.
    const std::string& Text(PrefId id) const;  // Text and Flag rows
    int Number(PrefId id) const;
    bool Flag(PrefId id) const { return Text(id) == "1"; }
    void SetText(PrefId id, const std::string& v);
    void SetNumber(PrefId id, int v);
    void SetFlag(PrefId id, bool on) { SetText(id, on ? "1" : "0"); }

    // Run-time values fed by other parts.
    const std::string& GetActiveIpAddress() const { return Text(PrefId::ActiveIpAddress); }
    void SetActiveIpAddress(const std::string& v) { SetText(PrefId::ActiveIpAddress, v); }
    int GetFixedSipPort() const { return Number(PrefId::FixedSipPort); }
    void SetFixedSipPort(int v) { SetNumber(PrefId::FixedSipPort, v); }
    int GetSipPort() const { return Number(PrefId::SipPort); }
    void SetSipPort(int v) { SetNumber(PrefId::SipPort, v); }
    int GetFixedSocksPort() const { return Number(PrefId::FixedSocksPort); }
    void SetFixedSocksPort(int v) { SetNumber(PrefId::FixedSocksPort, v); }
    int GetSocksPort() const { return Number(PrefId::SocksPort); }
    void SetSocksPort(int v) { SetNumber(PrefId::SocksPort, v); }
    bool GetAlwaysTunnelMedia() const { return Number(PrefId::AlwaysTunnelMedia) != 0; }
    void SetAlwaysTunnelMedia(bool v) { SetNumber(PrefId::AlwaysTunnelMedia, v ? 1 : 0); }

    // Stored values.
    const std::string& GetHome() const { return Text(PrefId::Home); }
    void SetHome(const std::string& v) { SetText(PrefId::Home, v); }
    const std::string& GetExternalSipAddress() const { return Text(PrefId::ExternalSipAddress); }
    void SetExternalSipAddress(const std::string& v) { SetText(PrefId::ExternalSipAddress, v); }
    const std::string& GetProxyServerAddresses() const {
        return Text(PrefId::ProxyServerAddresses);
    }
    void SetProxyServerAddresses(const std::string& v) { SetText(PrefId::ProxyServerAddresses, v); }
    const std::string& GetProxyServerPort() const { return Text(PrefId::ProxyServerPort); }
    void SetProxyServerPort(const std::string& v) { SetText(PrefId::ProxyServerPort, v); }
    int GetLaunchAtStartup() const { return Number(PrefId::LaunchAtStartup); }
    void SetLaunchAtStartup(int v) { SetNumber(PrefId::LaunchAtStartup, v); }
    int GetAllowBckgrnd() const { return Number(PrefId::AllowBckgrnd); }
    void SetAllowBckgrnd(int v) { SetNumber(PrefId::AllowBckgrnd, v); }

    bool GetSyncMessenger() const { return Flag(PrefId::SyncMessenger); }
    void SetSyncMessenger(bool on) { SetFlag(PrefId::SyncMessenger, on); }
    bool GetSyncMsnMessenger() const { return Flag(PrefId::SyncMsnMessenger); }
    void SetSyncMsnMessenger(bool on) { SetFlag(PrefId::SyncMsnMessenger, on); }
    bool GetSyncEconf() const { return Flag(PrefId::SyncEconf); }
    void SetSyncEconf(bool on) { SetFlag(PrefId::SyncEconf, on); }
    bool GetSyncXLite() const { return Flag(PrefId::SyncXLite); }
    void SetSyncXLite(bool on) { SetFlag(PrefId::SyncXLite, on); }
    bool GetDoNotSync() const { return Flag(PrefId::DoNotSync); }
    void SetDoNotSync(bool on) { SetFlag(PrefId::DoNotSync, on); }
    // The stored strings, as the dump shows them.
    const std::string& SyncMessengerText() const { return Text(PrefId::SyncMessenger); }
    const std::string& SyncMsnMessengerText() const { return Text(PrefId::SyncMsnMessenger); }
    const std::string& SyncEconfText() const { return Text(PrefId::SyncEconf); }
    const std::string& SyncXLiteText() const { return Text(PrefId::SyncXLite); }
    const std::string& DoNotSyncText() const { return Text(PrefId::DoNotSync); }

    const std::string& GetUserId() const { return Text(PrefId::UserId); }
    void SetUserId(const std::string& v) { SetText(PrefId::UserId, v); }
    const std::string& GetPasswd() const { return Text(PrefId::Passwd); }
    void SetPasswd(const std::string& v) { SetText(PrefId::Passwd, v); }
    int GetAutoDetection() const { return Number(PrefId::AutoDetection); }
    void SetAutoDetection(int v) { SetNumber(PrefId::AutoDetection, v); }
    int GetNoProxy() const { return Number(PrefId::NoProxy); }
    void SetNoProxy(int v) { SetNumber(PrefId::NoProxy, v); }
    int GetUseProxyScript() const { return Number(PrefId::UseProxyScript); }
    void SetUseProxyScript(int v) { SetNumber(PrefId::UseProxyScript, v); }
    const std::string& GetProxyScript() const { return Text(PrefId::ProxyScript); }
    void SetProxyScript(const std::string& v) { SetText(PrefId::ProxyScript, v); }
    int GetUseProxy() const { return Number(PrefId::UseProxy); }
    void SetUseProxy(int v) { SetNumber(PrefId::UseProxy, v); }
    const std::string& GetHttpProxyAddress() const { return Text(PrefId::HttpProxyAddress); }
    void SetHttpProxyAddress(const std::string& v) { SetText(PrefId::HttpProxyAddress, v); }
    int GetHttpProxyPort() const { return Number(PrefId::HttpProxyPort); }
    void SetHttpProxyPort(int v) { SetNumber(PrefId::HttpProxyPort, v); }
    const std::string& GetHttpsProxyAddress() const { return Text(PrefId::HttpsProxyAddress); }
    void SetHttpsProxyAddress(const std::string& v) { SetText(PrefId::HttpsProxyAddress, v); }
    int GetHttpsProxyPort() const { return Number(PrefId::HttpsProxyPort); }
    void SetHttpsProxyPort(int v) { SetNumber(PrefId::HttpsProxyPort, v); }
    const std::string& GetProxyAuth() const { return Text(PrefId::ProxyAuth); }
    void SetProxyAuth(const std::string& v) { SetText(PrefId::ProxyAuth, v); }
    const std::string& GetUrl() const { return Text(PrefId::Url); }
    void SetUrl(const std::string& v) { SetText(PrefId::Url, v); }
    const std::string& GetUrlCreateAccount() const { return Text(PrefId::UrlCreateAccount); }
    void SetUrlCreateAccount(const std::string& v) { SetText(PrefId::UrlCreateAccount, v); }
    const std::string& GetSyncMode() const { return Text(PrefId::SyncMode); }
    void SetSyncMode(const std::string& v) { SetText(PrefId::SyncMode, v); }
    bool IsDynamicMode() const;  // SyncMode "dynamic", case ignored
    const std::string& GetLocalIpAddress() const { return Text(PrefId::LocalIpAddress); }
    void SetLocalIpAddress(const std::string& v) { SetText(PrefId::LocalIpAddress, v); }
    const std::string& GetMainClass() const { return Text(PrefId::MainClass); }
    void SetMainClass(const std::string& v) { SetText(PrefId::MainClass, v); }
    const std::string& GetClassPath() const { return Text(PrefId::ClassPath); }
    void SetClassPath(const std::string& v) { SetText(PrefId::ClassPath, v); }
    int GetUseSip() const { return Number(PrefId::UseSip); }
    void SetUseSip(int v) { SetNumber(PrefId::UseSip, v); }
    int GetHideBalloons() const { return Number(PrefId::HideBalloons); }
    void SetHideBalloons(int v) { SetNumber(PrefId::HideBalloons, v); }
    int GetHideGUI() const { return Number(PrefId::HideGUI); }
    void SetHideGUI(int v) { SetNumber(PrefId::HideGUI, v); }
    int GetHideAll() const { return Number(PrefId::HideAll); }
    void SetHideAll(int v) { SetNumber(PrefId::HideAll, v); }

    // Single-value writers (REG_SZ under GetRegistryRoot; a key that cannot be opened: nothing).
    void WriteSyncMessenger() const;
    void WriteSyncMsnMessenger() const;
    void WriteSyncEconf() const;
    void WriteSyncXLite() const;
    void WriteLocalIpAddress() const;      // the key must exist
    void WriteSyncMode() const;            // creates the key if missing
    void WriteExternalSipAddress() const;  // always HKLM

    struct Table;  // the rows, which name the members below

  private:
    void WriteOne(PrefId id, bool create, RegRoot root) const;
    bool ReadRow(const RegKey& key, const PrefRow& row);
    void ReadUserFirst(const PrefRow& row, const RegKey& user, const RegKey& machine);
    std::string DumpValue(const PrefRow& row) const;

    bool isAdministrator_ = false;
    bool isInitialized_ = false;
    bool isModified_ = false;
    bool installedForAllUsers_ = false;

    // One member per row; defaults come from the table.
    std::string home_;
    std::string externalSipAddress_;
    std::string proxyServerAddresses_;
    std::string proxyServerPort_;
    int launchAtStartup_;
    int allowBckgrnd_;
    std::string syncMessenger_;
    std::string syncMsnMessenger_;
    std::string syncEconf_;
    std::string syncXLite_;
    std::string doNotSync_;
    std::string userId_;
    std::string passwd_;
    int autoDetection_;
    int noProxy_;
    int useProxyScript_;
    std::string proxyScript_;
    int useProxy_;
    std::string httpProxyAddress_;
    int httpProxyPort_;
    std::string httpsProxyAddress_;
    int httpsProxyPort_;
    std::string proxyAuth_;
    std::string url_;
    std::string urlCreateAccount_;
    std::string syncMode_;
    std::string localIpAddress_;
    std::string mainClass_;
    std::string classPath_;
    int useSip_;
    int hideBalloons_;
    int hideGUI_;
    int hideAll_;
    std::string activeIpAddress_;
    int fixedSipPort_;
    int sipPort_;
    int fixedSocksPort_;
    int socksPort_;
    int alwaysTunnelMedia_;
};

}  // namespace corv
