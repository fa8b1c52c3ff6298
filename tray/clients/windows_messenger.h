// Windows Messenger: pointed at the SOCKS endpoint, or in SIP mode at the SIP endpoint, and
// given its own settings back.
#pragma once

#include "tray/clients/client_backup.h"
#include "tray/clients/client_values.h"

namespace corv {

class CPreferences;

class WindowsMessenger {
  public:
    WindowsMessenger();

    void Save();  // the backup, once per run
    void SetSocks(CPreferences& prefs);
    void SetSip(CPreferences& prefs);
    void Restore();  // only what was saved; nothing is shown or logged
    // The messenger switch's part: the SOCKS values on, or the proxy off.
    KeyWrite SwitchProxy(bool on, const CPreferences& prefs);

    bool Modified() const { return modified_; }
    ClientBackup& Backup() { return backup_; }

  private:
    ClientBackup backup_;
    bool modified_ = false;
};

}  // namespace corv
