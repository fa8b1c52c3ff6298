// The controller's synchronisation of the Java preferences tree with the preferences, and
// the registry write check made once at start-up. CConfigMgr owns one CJavaPrefsSync and
// forwards to it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tray/settings/proxy_list.h"

namespace corv {

class CPreferences;

extern const char* const kInternetSettingsKey;  // "Software\Microsoft\...\Internet Settings"

// Sets the process status text; by default the shared status buffer's SetStatusText.
using StatusTextSetter = std::function<void(const std::string&)>;
// Repairs the access list of a key under HKEY_CURRENT_USER; true when the key is writable now.
using PermissionRepair = std::function<bool(const std::string& keyPath)>;
// A repair that never repairs: every refused key is listed.
bool NoPermissionRepair(const std::string& keyPath);

// Every entry of the new list (split at commas, empty pieces skipped, not trimmed) is in the
// old list, case ignored. The old list may hold more.
bool ProxyListsEquivalent(const std::string& newList, const std::string& oldList);

// HKEY_LOCAL_MACHINE when its Internet settings name a configuration script, or a proxy with a
// readable ProxyEnable; HKEY_CURRENT_USER otherwise.
RegRoot ChooseInternetSettingsRoot();

class CJavaPrefsSync {
  public:
    explicit CJavaPrefsSync(StatusTextSetter setStatusText = nullptr);

    void SetStatusTextSetter(StatusTextSetter setter) { setStatusText_ = std::move(setter); }
    const std::string& LastStatusText() const { return lastStatusText_; }

    // After accepted preference changes: externalSipAddress and alwaysTunnelMedia.
    void syncSip(const CPreferences& prefs);
    // In the start sequence: externalSipAddress and the tunnel server list from the all-users
    // preferences, unless the stored list already holds every server.
    void syncAllUsersCommonSettings(const CPreferences& prefs);
    // user/Id and hashed/Password; false (with a status text) when /User cannot be written.
    bool syncUser(const CPreferences& prefs);
    // The web proxy values of /Tunnel; remembers them as probe targets (Hints()).
    bool syncHttpProxy(const CPreferences& prefs);
    // SyncMode, LocalIpAddress and the fixed or dynamic ports.
    void SyncLocalPorts(const CPreferences& prefs);

    // Checks once at start that every key this program writes under HKEY_CURRENT_USER is
    // writable, repairing access-denied keys; lists the rest in a message box. Returns the
    // listed key paths (empty when all is well or the system needs no check).
    std::vector<std::string> CheckRegistryWriteAccess(const std::string& osName,
                                                      const PermissionRepair& repair);

    const ProxyHints& Hints() const { return hints_; }

  private:
    void SetStatusText(const std::string& text);
    // The AutoDetection branch of syncHttpProxy; false when the settings cannot be read.
    bool SyncSystemProxy(class JavaKey& tunnel, bool* configured);

    StatusTextSetter setStatusText_;
    std::string lastStatusText_;
    ProxyHints hints_;
};

}  // namespace corv
