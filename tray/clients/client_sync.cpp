#include "tray/clients/client_sync.h"

#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

const char* const kClientModePolicyKey =
    "SOFTWARE\\Policies\\Microsoft\\Messenger\\Client\\{83D4679F-B6D7-11D2-BF36-00C04FB90A03}";

const char* const kSetQuestion =
    "Could not set %s settings automatically.\n\nIf you want to use Corvane, you have to "
    "configure %s manually.\nPlease open the %s window, and switch on proxy server in "
    "the\nConnection tab of the Options dialog box (Tools, Options). Set the following\nvalues: "
    "SOCKS version 5, Server: %s, Port: %d, leaving the \nuser id and password fields "
    "empty.\n\nDo you want to switch off automatic sync of %s settings?";

const char* const kResetQuestion =
    "Could not reset %s settings automatically.\n\nIf you want to use %s while Corvane is not "
    "running,\nplease go to the %s options, and unselect proxy server.\nOpen the %s window, and "
    "switch off proxy server in the\nConnection tab of the Options dialog box (Tools, "
    "Options).\n\nDo you want to switch off automatic sync of %s settings?";

bool Opens(const char* path) {
    RegKey key;
    return key.Open(RegRoot::CurrentUser, path, kRegRead) == kOk;
}

}  // namespace

ClientSync::ClientSync(ClientSyncOptions options)
    : options_(std::move(options)), detection_(options_.versionReader), msnMessenger_(detection_) {}

void ClientSync::DetectAndSave() {
    hasEconf_ = DetectEconf();
    hasWindowsMessenger_ = detection_.DetectWindowsMessenger();
    hasWindowsMessenger5_ = detection_.IsWindowsMessenger5OrLater();
    hasMsnMessenger_ = detection_.DetectMsnMessenger();
    hasXLite_ = DetectXLite();

    // What a run that died left behind goes back before anything is read anew.
    for (ClientBackup* b : {&econf_.Backup(), &windowsMessenger_.Backup(), &msnMessenger_.Backup(),
                            &xlite_.Backup(0), &xlite_.Backup(1)})
        b->RecoverLeftover(options_.ownerRunning);

    if (hasEconf_) econf_.Save();
    if (hasWindowsMessenger_) windowsMessenger_.Save();
    if (hasMsnMessenger_) msnMessenger_.Save();
    if (hasXLite_) xlite_.Save();
}

void ClientSync::SyncClientSettings(CPreferences& prefs, int enable) {
    if (hasWindowsMessenger5_) SetWindowsMessenger5ClientMode();
    if (hasEconf_) {
        if (prefs.GetSyncEconf()) {
            if (enable)
                econf_.SetSettings(prefs);
            else
                econf_.Restore();
        } else if (econf_.Modified()) {
            econf_.Restore();
        }
    }
    if (hasXLite_) {
        if (prefs.GetSyncXLite()) {
            if (enable)
                xlite_.SetSettings(prefs);
            else
                xlite_.Restore();
        } else if (xlite_.Modified()) {
            xlite_.Restore();
        }
    }
    if (hasWindowsMessenger_) {
        if (prefs.GetSyncMessenger()) {
            if (!enable)
                windowsMessenger_.Restore();
            else if (prefs.GetUseSip())
                windowsMessenger_.SetSip(prefs);
            else
                windowsMessenger_.SetSocks(prefs);
        } else if (windowsMessenger_.Modified()) {
            windowsMessenger_.Restore();
        }
    }
    if (hasMsnMessenger_) {
        if (prefs.GetSyncMsnMessenger()) {
            if (enable)
                msnMessenger_.SetSocks(prefs);
            else
                msnMessenger_.Restore();
        } else if (msnMessenger_.Modified()) {
            msnMessenger_.Restore();
        }
    }
}

void ClientSync::SyncMessengerSettings(CPreferences& prefs, int enable) {
    SyncClientSettings(prefs, enable);
    if (!prefs.GetSyncMessenger()) return;
    std::string name = GetMessengerDisplayName();
    bool on = enable != 0;
    bool ok = false;
    // A messenger set up since the start is one now: the dispatcher gives it back at the exit.
    KeyWrite service = windowsMessenger_.SwitchProxy(on, prefs);
    if (service != KeyWrite::NoKey) {
        ok = service == KeyWrite::Done;
        hasWindowsMessenger_ = true;
    }
    KeyWrite msn = msnMessenger_.SwitchProxy(on, prefs);
    if (msn != KeyWrite::NoKey) {
        ok = msn == KeyWrite::Done;
        hasMsnMessenger_ = true;
    }
    if (ok || (workingCopy_ && workingCopy_ != &prefs)) return;
    const char* n = name.c_str();
    std::string text =
        on ? Format(kSetQuestion, n, n, n, ShownAddress(prefs.GetActiveIpAddress()).c_str(),
                    prefs.GetSocksPort(), n)
           : Format(kResetQuestion, n, n, n, n, n);
    if (AskToSwitchOff(text)) {
        prefs.SetSyncMessenger(false);
        prefs.WriteSyncMessenger();
    }
}

void ClientSync::ReloadClientSettings(CPreferences& prefs) {
    TheLog().Log("Received event from registry monitor, reloading client settings\n");
    prefs.ReloadSyncSettings();
    SyncClientSettings(prefs, 1);
}

std::string GetMessengerDisplayName() {
    std::string name = "Messenger";
    if (Opens(kMessengerServiceKey)) name = "Windows Messenger";
    if (Opens(kMsnMessengerKey)) name = name == "Messenger" ? "MSN Messenger" : "Messenger";
    return name;
}

void SetWindowsMessenger5ClientMode() {
    CLogFile& log = TheLog();
    RegKey key;
    long rc = key.Open(RegRoot::LocalMachine, kClientModePolicyKey, kRegReadWrite);
    if (rc == kErrFileNotFound || rc == kErrPathNotFound) {
        rc = key.Create(RegRoot::LocalMachine, kClientModePolicyKey, kRegReadWrite);
        if (rc != kOk) {
            log.Log("Could not create Windows Messenger 5.0 client mode settings, reason: 0x%x\n",
                    static_cast<unsigned>(rc));
            return;
        }
    } else if (rc != kOk) {
        log.Log("Could not open Windows Messenger 5.0 client mode settings, reason: 0x%x\n",
                static_cast<unsigned>(rc));
        return;
    }
    rc = key.SetDword("EnableSIPHighSecurityMode", 0);
    if (rc == kOk)
        log.Log("Set Windows Messenger 5.0 client mode\n");
    else
        log.Log("Could not set Windows Messenger 5.0 client mode, reason: 0x%x\n",
                static_cast<unsigned>(rc));
}

bool SyncSettingsChanged(const CPreferences& a, const CPreferences& b) {
    return DiffersIn(PrefGroup::ClientChoice, a, b);
}

bool AddressSettingsChanged(const CPreferences& a, const CPreferences& b) {
    return DiffersIn(PrefGroup::AddressMode, a, b);
}

}  // namespace corv
