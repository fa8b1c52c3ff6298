#include "tray/clients/windows_messenger.h"

#include "platform/text.h"
#include "tray/clients/client_values.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

enum : size_t { kService = 0, kRtc = 1 };

const char* const kSocksQuestion =
    "Could not set Windows Messenger settings automatically.\n\nIf you want to use Corvane for "
    "firewall traversal you have to set it up manually.\nPlease open the Windows Messenger "
    "window, and switch on proxy server in the\nConnection tab of the Options dialog box "
    "(Tools, Options). Set the following\nvalues: SOCKS version 5, Server: %s, Port: %d, "
    "leaving the \nuser id and password fields empty.\n\nDo you want to switch off automatic "
    "sync of Windows Messenger settings?";

const char* const kSipQuestion =
    "Could not set Sip settings in Windows Messenger automatically.\n\nIf you want to use Corvane "
    "for firewall traversal you have to set it up manually.\nPlease open the Windows Messenger "
    "window, and in the Accounst tab\nof the Options dialog box (Tools, Options). Set the "
    "following:\n- Enable Communications Service\n- Clear \"My contacts include users of .Net "
    "Messenger Service\"\n- Set Sign-in name to your Sip user id\n- Click the Advanced... button, "
    "and set IP Address to %s:%d\n\nDo you want to switch off automatic sync of Windows "
    "Messenger settings?";

void SwitchOff(CPreferences& prefs) {
    prefs.SetSyncMessenger(false);
    prefs.WriteSyncMessenger();
}

}  // namespace

WindowsMessenger::WindowsMessenger()
    : backup_("Windows Messenger",
              {{RegRoot::CurrentUser,
                kMessengerServiceKey,
                {"PrimaryService", "MSNState", "RTCState", "ProxyState", "ProxyType", "SOCKS5Port",
                 "SOCKS5Server", "SOCKS5Username", "SOCKS5Password"}},
               {RegRoot::CurrentUser, kRtcImspKey, {"ServerAddress", "Transport"}}}) {}

void WindowsMessenger::Save() {
    if (backup_.Saved()) return;
    for (size_t k : {kService, kRtc}) {
        RegKey key;
        if (key.Open(RegRoot::CurrentUser, backup_.Key(k).path, kRegReadWrite) == kOk)
            backup_.Read(k, key);
    }
}

void WindowsMessenger::SetSocks(CPreferences& prefs) {
    modified_ = true;
    RegKey key;
    if (key.Open(RegRoot::CurrentUser, kMessengerServiceKey, kRegReadWrite) != kOk) return;
    backup_.BeforeWrite(kService, key);
    bool ok = true;
    auto check = [&](long rc) { ok = rc == kOk && ok; };
    check(key.SetString("PrimaryService", ".NET Messenger Service"));
    check(SetBinary4(key, "MSNState", 1));
    check(SetBinary4(key, "RTCState", 0));
    uint32_t v = 0;
    if (!QueryBinary4(key, "ProxyState", &v) || v == 0)
        check(SetBinary4(key, "ProxyState", 0xFFFFFFFFu));
    if (!QueryBinary4(key, "ProxyType", &v) || v != 2) check(SetBinary4(key, "ProxyType", 2));
    if (ok) ok = WriteSocks5Endpoint(key, prefs.GetActiveIpAddress(), prefs.GetSocksPort());
    if (!ok &&
        AskToSwitchOff(Format(kSocksQuestion, ShownAddress(prefs.GetActiveIpAddress()).c_str(),
                              prefs.GetSocksPort())))
        SwitchOff(prefs);
}

void WindowsMessenger::SetSip(CPreferences& prefs) {
    bool ok = true;
    auto check = [&](long rc) {
        if (rc == kOk)
            modified_ = true;
        else
            ok = false;
    };
    RegKey service;
    if (service.Open(RegRoot::CurrentUser, kMessengerServiceKey, kRegReadWrite) == kOk) {
        backup_.BeforeWrite(kService, service);
        check(SetBinary4(service, "ProxyState", 0));
        check(service.SetString("PrimaryService", "Microsoft RTC Instant Messaging"));
        check(SetBinary4(service, "MSNState", 0));
        check(SetBinary4(service, "RTCState", 1));
    }
    RegKey rtc;
    if (rtc.Open(RegRoot::CurrentUser, kRtcImspKey, kRegReadWrite) == kOk) {
        backup_.BeforeWrite(kRtc, rtc);
        check(rtc.SetString("ServerAddress", Format("%s:%d", prefs.GetActiveIpAddress().c_str(),
                                                    prefs.GetSipPort())));
        check(rtc.SetDword("Transport", 1));
    }
    if (!ok && AskToSwitchOff(Format(kSipQuestion, ShownAddress(prefs.GetActiveIpAddress()).c_str(),
                                     prefs.GetSipPort())))
        SwitchOff(prefs);
}

void WindowsMessenger::Restore() {
    backup_.Restore();
}

KeyWrite WindowsMessenger::SwitchProxy(bool on, const CPreferences& prefs) {
    RegKey key;
    if (key.Open(RegRoot::CurrentUser, kMessengerServiceKey, kRegReadWrite) != kOk)
        return KeyWrite::NoKey;
    backup_.BeforeWrite(kService, key);
    modified_ = true;
    bool ok;
    if (on) {
        ok = key.SetString("PrimaryService", ".NET Messenger Service") == kOk;
        ok = SetBinary4(key, "MSNState", 1) == kOk && ok;
        ok = SetBinary4(key, "RTCState", 0) == kOk && ok;
        ok = ok && WriteSocks5Endpoint(key, prefs.GetActiveIpAddress(), prefs.GetSocksPort());
    } else {
        ok = SetBinary4(key, "ProxyState", 0) == kOk;
    }
    return ok ? KeyWrite::Done : KeyWrite::Failed;
}

}  // namespace corv
