// MSN Messenger: pointed at the SOCKS endpoint and given its own settings back. Version 7 and
// later keep their proxy choice in the Use* values, older ones in ProxyState and ProxyType.
#pragma once

#include "tray/clients/client_backup.h"
#include "tray/clients/client_values.h"

namespace corv {

class CPreferences;
class ClientDetection;

class MsnMessenger {
  public:
    explicit MsnMessenger(ClientDetection& detection);

    void Save();  // the backup, once per run
    void SetSocks(CPreferences& prefs);
    void Restore();
    // The messenger switch's part: the SOCKS endpoint on, or the proxy off.
    KeyWrite SwitchProxy(bool on, const CPreferences& prefs);

    bool Modified() const { return modified_; }
    ClientBackup& Backup() { return backup_; }

  private:
    std::vector<std::string> Names(bool sevenOrLater);

    ClientDetection& detection_;
    ClientBackup backup_;
    bool modified_ = false;
};

}  // namespace corv
