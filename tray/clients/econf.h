// eConf: its outbound proxy pointed at the SIP endpoint and its own SIP port moved to 5061.
// Its settings live under HKLM, so only an administrator can change them.
#pragma once

#include "tray/clients/client_backup.h"

namespace corv {

class CPreferences;

class Econf {
  public:
    Econf();

    void Save();  // the backup, once per run
    void SetSettings(CPreferences& prefs);
    void Restore();

    bool Modified() const { return modified_; }
    ClientBackup& Backup() { return backup_; }

  private:
    // The backup already holds what SetSettings would write.
    bool AlreadyPointsAt(const CPreferences& prefs) const;

    ClientBackup backup_;
    bool modified_ = false;
};

}  // namespace corv
