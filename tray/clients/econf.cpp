#include "tray/clients/econf.h"

#include "platform/prompt.h"
#include "platform/text.h"
#include "tray/clients/client_values.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

const char* const kQuestion =
    "Could not set eConf settings automatically.\n\nIf you want to use Corvane for firewall "
    "traversal, you have to set it up manually.\nPlease open eConf window, and switch on "
    "Outbound Proxy in the\nSIP Settings tab in the eConf configuration dialog box (Tools, eConf "
    "Settings...).\nDo the following:\nClick the Advanced... button, and in the pop-up "
    "window:\nEnable Use Outbound Proxy, set Address: %s, Port: %d\n\nDo you want to switch off "
    "automatic sync of eConf settings?";

const char* const kRightsNotice =
    "You do not have sufficient rights to set eConf settings automatically.\n\nA user with admin "
    "rights must configure eConf to use Corvane as an Outbound Proxy\nin the SIP Settings tab in "
    "the eConf configuration dialog box (Tools, eConf Settings...).\nDo the following:\nOpen "
    "eConf, click the Advanced... button, and in the pop-up window:\nEnable \"Use Outbound "
    "Proxy\", set Address: %s, Port: %d\n\n";

constexpr uint32_t kSoftphonePort = 5061;  // one above the standard SIP port

void SwitchOff(CPreferences& prefs) {
    prefs.SetSyncEconf(false);
    prefs.WriteSyncEconf();
}

}  // namespace

Econf::Econf()
    : backup_("eConf",
              {{RegRoot::LocalMachine,
                kEconfKey,
                {"LocalPort", "UseDefaultLocalPort", "OutboundProxyAddr", "OutboundProxyPort",
                 "UseOutboundProxyInfo", "UseDefaultOutboundProxyPort"}}}) {}

void Econf::Save() {
    if (backup_.Saved()) return;
    RegKey key;
    if (key.Open(RegRoot::LocalMachine, kEconfKey, kRegRead) == kOk) backup_.Read(0, key);
}

bool Econf::AlreadyPointsAt(const CPreferences& prefs) const {
    const ClientBackup& b = backup_;
    return b.Saved() && IsDword(b.Find(0, "LocalPort"), kSoftphonePort) &&
           IsDword(b.Find(0, "UseDefaultLocalPort"), 0) &&
           IsStringNoCase(b.Find(0, "OutboundProxyAddr"), prefs.GetActiveIpAddress()) &&
           IsDword(b.Find(0, "OutboundProxyPort"), static_cast<uint32_t>(prefs.GetSipPort())) &&
           IsDword(b.Find(0, "UseOutboundProxyInfo"), 1) &&
           IsDword(b.Find(0, "UseDefaultOutboundProxyPort"), 0);
}

void Econf::SetSettings(CPreferences& prefs) {
    bool ok = false;
    RegKey key;
    if (key.Open(RegRoot::LocalMachine, kEconfKey, kRegReadWrite) == kOk) {
        backup_.BeforeWrite(0, key);
        ok = true;
        auto check = [&](long rc) {
            if (rc == kOk)
                modified_ = true;
            else
                ok = false;
        };
        check(key.SetDword("LocalPort", kSoftphonePort));
        check(key.SetDword("UseDefaultLocalPort", 0));
        check(key.SetString("OutboundProxyAddr", prefs.GetActiveIpAddress()));
        check(key.SetDword("OutboundProxyPort", static_cast<uint32_t>(prefs.GetSipPort())));
        check(key.SetDword("UseOutboundProxyInfo", 1));
        check(key.SetDword("UseDefaultOutboundProxyPort", 0));
    }
    if (ok) return;
    std::string shown = ShownAddress(prefs.GetActiveIpAddress());
    if (prefs.IsAdministrator()) {
        if (AskToSwitchOff(Format(kQuestion, shown.c_str(), prefs.GetSipPort()))) SwitchOff(prefs);
        return;
    }
    if (AlreadyPointsAt(prefs)) return;
    // Without the rights the notice would come at every sync: it comes once, and sync stops.
    ShowPrompt(Format(kRightsNotice, shown.c_str(), prefs.GetSipPort()), "Corvane", PromptKind::Ok,
               PromptIcon::None);
    SwitchOff(prefs);
}

void Econf::Restore() {
    backup_.Restore();
}

}  // namespace corv
