#include "tray/clients/xlite.h"

#include "platform/text.h"
#include "tray/clients/client_values.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

const char* const kPlainQuestion =
    "Could not set X-Lite settings automatically.\n\nIf you want to use Corvane for firewall "
    "traversal, you have to set it up manually.\nPlease open X-Lite, and do the "
    "following:\n\nPress the menu icon button, and in the pop-up window:\nSelect System "
    "Settings->Sip Proxy->[Default]\nSet Enabled: Yes, Out Bound Proxy: %s:%d, Use Outbound "
    "Proxy: Always\n\nSelect System Settings->Network\nSet Listen SIP Port: 5061\n\nDo you want "
    "to switch off automatic sync of X-Lite settings?";

const char* const kFwdQuestion =
    "Could not set X-Lite Free World Dialup settings automatically.\n\nIf you want to use Corvane "
    "for firewall traversal, you have to set it up manually.\nPlease open X-Lite Free World "
    "Dialup, and do the following:\n\nPress the menu icon button, and in the pop-up "
    "window:\nSelect System Settings->Sip Proxy->[Default]\nSet Enabled: Yes, Out Bound Proxy: "
    "%s:%d, Use Outbound Proxy: Always\n\nSelect System Settings->Network\nSet Listen SIP Port: "
    "5061\n\nDo you want to switch off automatic sync of X-Lite settings?";

std::vector<ClientBackup::KeySpec> EditionKey(const char* path) {
    return {{RegRoot::CurrentUser,
             path,
             {"general:ProxyServerEnabled", "general:OutboundSIPProxy",
              "general:ShouldUseOutboundSIPProxy", "hosts:ListenSIPPort"}}};
}

}  // namespace

XLite::XLite()
    : editions_{
          {ClientBackup("X-Lite", EditionKey(kXLiteKey)), kPlainQuestion},
          {ClientBackup("X-Lite Free World Dialup", EditionKey(kXLiteFwdKey)), kFwdQuestion}} {}

void XLite::Save() {
    for (Edition& e : editions_) {
        if (e.backup.Saved()) continue;
        RegKey key;
        if (key.Open(RegRoot::CurrentUser, e.backup.Key(0).path, kRegReadWrite) == kOk)
            e.backup.Read(0, key);
    }
}

void XLite::SetSettings(CPreferences& prefs) {
    for (Edition& e : editions_) {
        RegKey key;
        long rc = key.Open(RegRoot::CurrentUser, e.backup.Key(0).path, kRegReadWrite);
        if (rc == kErrFileNotFound || rc == kErrPathNotFound) continue;  // not installed
        bool ok = rc == kOk;
        if (ok) {
            e.backup.BeforeWrite(0, key);
            auto check = [&](long wrc) {
                if (wrc == kOk)
                    modified_ = true;
                else
                    ok = false;
            };
            check(key.SetDword("general:ProxyServerEnabled", 1));
            check(key.SetString(
                "general:OutboundSIPProxy",
                Format("%s:%d", prefs.GetActiveIpAddress().c_str(), prefs.GetSipPort())));
            check(key.SetDword("general:ShouldUseOutboundSIPProxy", 1));
            check(key.SetDword("hosts:ListenSIPPort", 5061));
        }
        if (!ok &&
            AskToSwitchOff(Format(e.question, ShownAddress(prefs.GetActiveIpAddress()).c_str(),
                                  prefs.GetSipPort()))) {
            prefs.SetSyncXLite(false);
            prefs.WriteSyncXLite();
        }
    }
}

void XLite::Restore() {
    for (Edition& e : editions_) e.backup.Restore();
}

}  // namespace corv
