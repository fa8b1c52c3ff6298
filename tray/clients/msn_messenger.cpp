#include "tray/clients/msn_messenger.h"

#include "platform/text.h"
#include "tray/clients/client_detection.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

const char* const kQuestion =
    "Could not set MSN Messenger settings automatically.\n\nIf you want to use Corvane for "
    "firewall traversal you have to set it up manually.\nPlease open the MSN Messenger window, "
    "and switch on proxy server in the\nConnection tab of the Options dialog box (Tools, "
    "Options). Set the following\nvalues: SOCKS version 5, Server: %s, Port: %d, leaving the "
    "\nuser id and password fields empty.\n\nDo you want to switch off automatic sync of MSN "
    "Messenger settings?";

}  // namespace

MsnMessenger::MsnMessenger(ClientDetection& detection)
    : detection_(detection),
      backup_("MSN Messenger",
              {{RegRoot::CurrentUser,
                kMsnMessengerKey,
                {"UseTCP", "UseSOCKS4", "UseSOCKS5", "UseHTTP", "ProxyState", "ProxyType",
                 "SOCKS5Port", "SOCKS5Server", "SOCKS5Username", "SOCKS5Password"}}}) {}

// Version 7 and later also keep ProxyState and ProxyType: the messenger switch writes
// ProxyState on every version, and the restore must undo that too.
std::vector<std::string> MsnMessenger::Names(bool sevenOrLater) {
    std::vector<std::string> names;
    if (sevenOrLater) names = {"UseTCP", "UseSOCKS4", "UseSOCKS5", "UseHTTP"};
    for (const char* n : {"ProxyState", "ProxyType", "SOCKS5Port", "SOCKS5Server", "SOCKS5Username",
                          "SOCKS5Password"})
        names.push_back(n);
    return names;
}

void MsnMessenger::Save() {
    if (backup_.Saved()) return;
    RegKey key;
    if (key.Open(RegRoot::CurrentUser, kMsnMessengerKey, kRegReadWrite) == kOk)
        backup_.Read(0, key, Names(detection_.IsMsnMessenger7OrLater()));
}

void MsnMessenger::SetSocks(CPreferences& prefs) {
    modified_ = true;
    RegKey key;
    if (key.Open(RegRoot::CurrentUser, kMsnMessengerKey, kRegReadWrite) != kOk) return;
    bool seven = detection_.IsMsnMessenger7OrLater();
    backup_.BeforeWrite(0, key, Names(seven));
    bool ok = true;
    auto check = [&](long rc) { ok = rc == kOk && ok; };
    uint32_t v = 0;
    if (seven) {
        // Only a value that is missing or says the opposite is changed.
        auto set = [&](const char* name, uint32_t want, uint32_t opposite) {
            uint32_t now = 0;
            if (!QueryBinary4(key, name, &now) || now == opposite)
                check(SetBinary4(key, name, want));
        };
        set("UseTCP", 0, 0xFFFFFFFFu);
        set("UseSOCKS4", 0, 0xFFFFFFFFu);
        set("UseSOCKS5", 0xFFFFFFFFu, 0);
        set("UseHTTP", 0, 0xFFFFFFFFu);
    } else {
        if (!QueryBinary4(key, "ProxyState", &v) || v == 0)
            check(SetBinary4(key, "ProxyState", 0xFFFFFFFFu));
        if (!QueryBinary4(key, "ProxyType", &v) || v != 2) check(SetBinary4(key, "ProxyType", 2));
    }
    if (ok) ok = WriteSocks5Endpoint(key, prefs.GetActiveIpAddress(), prefs.GetSocksPort());
    if (!ok && AskToSwitchOff(Format(kQuestion, ShownAddress(prefs.GetActiveIpAddress()).c_str(),
                                     prefs.GetSocksPort()))) {
        prefs.SetSyncMsnMessenger(false);
        prefs.WriteSyncMsnMessenger();
    }
}

void MsnMessenger::Restore() {
    backup_.Restore();
}

KeyWrite MsnMessenger::SwitchProxy(bool on, const CPreferences& prefs) {
    RegKey key;
    if (key.Open(RegRoot::CurrentUser, kMsnMessengerKey, kRegReadWrite) != kOk)
        return KeyWrite::NoKey;
    if (!backup_.IsRead(0)) backup_.Read(0, key, Names(detection_.IsMsnMessenger7OrLater()));
    backup_.BeforeWrite(0, key);
    modified_ = true;
    bool ok = on ? WriteSocks5Endpoint(key, prefs.GetActiveIpAddress(), prefs.GetSocksPort())
                 : SetBinary4(key, "ProxyState", 0) == kOk;
    return ok ? KeyWrite::Done : KeyWrite::Failed;
}

}  // namespace corv
