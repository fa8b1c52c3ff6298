// The messenger and SIP programs pointed at the proxy client's local endpoints and given their
// own settings back: the start-up backups, the dispatcher that walks every program in a fixed
// order, the Java client's messenger switch and the registry monitor's reload.
#pragma once

#include "tray/clients/client_backup.h"
#include "tray/clients/client_detection.h"
#include "tray/clients/econf.h"
#include "tray/clients/msn_messenger.h"
#include "tray/clients/windows_messenger.h"
#include "tray/clients/xlite.h"

namespace corv {

class CPreferences;

struct ClientSyncOptions {
    VersionReader versionReader;  // empty: the file's version resource
    OwnerRunning ownerRunning = IsOtherTrayInstance;
};

class ClientSync {
  public:
    explicit ClientSync(ClientSyncOptions options = ClientSyncOptions());

    // Start: detects the programs, restores what a run that died left pointed at the proxy,
    // then backs up the programs found (eConf, Windows Messenger, MSN Messenger, X-Lite).
    void DetectAndSave();

    // enable 1 points the programs whose sync flag is on at the proxy, 0 restores them; a
    // program this run changed whose flag is off is restored either way.
    void SyncClientSettings(CPreferences& prefs, int enable);
    // The Java client's messenger switch: the dispatcher, then the SOCKS values of both
    // messengers on (or their proxy off), with one question on failure.
    void SyncMessengerSettings(CPreferences& prefs, int enable);
    // The registry monitor saw the client choice change.
    void ReloadClientSettings(CPreferences& prefs);

    // The preferences dialog's copy while it is open; the switch asks only about that copy.
    void SetWorkingCopy(const CPreferences* copy) { workingCopy_ = copy; }

    bool HasEconf() const { return hasEconf_; }
    bool HasWindowsMessenger() const { return hasWindowsMessenger_; }
    bool HasWindowsMessenger5() const { return hasWindowsMessenger5_; }
    bool HasMsnMessenger() const { return hasMsnMessenger_; }
    bool HasXLite() const { return hasXLite_; }
    ClientDetection& Detection() { return detection_; }
    Econf& EconfClient() { return econf_; }
    WindowsMessenger& WindowsMessengerClient() { return windowsMessenger_; }
    MsnMessenger& MsnMessengerClient() { return msnMessenger_; }
    XLite& XLiteClient() { return xlite_; }

  private:
    ClientSyncOptions options_;
    ClientDetection detection_;
    Econf econf_;
    WindowsMessenger windowsMessenger_;
    MsnMessenger msnMessenger_;
    XLite xlite_;
    bool hasEconf_ = false;
    bool hasWindowsMessenger_ = false;
    bool hasWindowsMessenger5_ = false;
    bool hasMsnMessenger_ = false;
    bool hasXLite_ = false;
    const CPreferences* workingCopy_ = nullptr;
};

// "Windows Messenger" or "MSN Messenger" when only that one is set up for the user, else
// "Messenger".
std::string GetMessengerDisplayName();

// Windows Messenger 5.0 runs in client mode (a machine policy that is never undone).
void SetWindowsMessenger5ClientMode();

// The preference changes that call for the client synchronisation, and for the address-mode
// sync.
bool SyncSettingsChanged(const CPreferences& before, const CPreferences& after);
bool AddressSettingsChanged(const CPreferences& before, const CPreferences& after);

}  // namespace corv
