#include "tray/settings/active_settings.h"

#include "platform/registry.h"
#include "platform/system.h"
#include "tray/core/log_file.h"
#include "tray/settings/preferences.h"

namespace corv {

const char* const kSettingsKeyPath = "SOFTWARE\\Velmora\\Corvane\\Settings";

std::string SettingsKeyFor(const std::string& clientId) {
    return clientId.empty() ? std::string(kSettingsKeyPath)
                            : std::string(kSettingsKeyPath) + "\\" + clientId;
}

void SetActiveSettings(const CPreferences& prefs, const std::string& clientId) {
    CLogFile& log = TheLog();
    RegKey key;
    if (long rc = key.Open(RegRoot::CurrentUser, SettingsKeyFor(clientId), kRegReadWrite)) {
        log.Log(
            "SetActiveSettings: Failed to open HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\Corvane\\"
            "Settings, reason: %s\n",
            ErrorWithText(rc).c_str());
        return;
    }
    if (long rc = key.SetString("ActiveIpAddress", prefs.GetActiveIpAddress()))
        log.Log("Failed to set active ip address, reason: %s\n", ErrorWithText(rc).c_str());
    else
        log.Log("Set active ip address to %s\n", prefs.GetActiveIpAddress().c_str());
    if (long rc = key.SetDword("ActiveSipPort", static_cast<uint32_t>(prefs.GetSipPort())))
        log.Log("Failed to set active SIP port, reason: %s\n", ErrorWithText(rc).c_str());
    else
        log.Log("Set active SIP port to %d\n", prefs.GetSipPort());
    if (long rc = key.SetDword("ActiveSocksPort", static_cast<uint32_t>(prefs.GetSocksPort())))
        log.Log("Failed to set active SOCKS port, reason: %s\n", ErrorWithText(rc).c_str());
    else
        log.Log("Set active SOCKS port to %d\n", prefs.GetSocksPort());
}

void DeleteActiveSettings(const std::string& clientId) {
    if (!clientId.empty()) return;
    CLogFile& log = TheLog();
    RegKey key;
    if (long rc = key.Open(RegRoot::CurrentUser, kSettingsKeyPath, kRegReadWrite)) {
        log.Log(
            "DeleteActiveSettings: Failed to open HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\Corvane\\"
            "Settings, reason: %s\n",
            ErrorWithText(rc).c_str());
        return;
    }
    const struct {
        const char* value;
        const char* what;
    } values[] = {{"ActiveIpAddress", "active ip address"},
                  {"ActiveSipPort", "active SIP port"},
                  {"ActiveSocksPort", "active SOCKS port"}};
    for (const auto& v : values) {
        long rc = key.DeleteValue(v.value);
        if (rc == kOk)
            log.Log("Deleted %s\n", v.what);
        else if (rc != kErrFileNotFound)
            log.Log("Failed to delete %s, reason: %s\n", v.what, ErrorWithText(rc).c_str());
    }
}

}  // namespace corv
