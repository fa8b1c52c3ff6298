// X-Lite and X-Lite Free World Dialup: the outbound SIP proxy pointed at the SIP endpoint and
// the listening port moved to 5061. Each edition has its own backup; they share `modified`.
#pragma once

#include "tray/clients/client_backup.h"

namespace corv {

class CPreferences;

class XLite {
  public:
    XLite();

    void Save();  // the backups, plain edition first
    void SetSettings(CPreferences& prefs);
    void Restore();

    bool Modified() const { return modified_; }
    ClientBackup& Backup(size_t edition) { return editions_[edition].backup; }
    static constexpr size_t kEditions = 2;

  private:
    struct Edition {
        ClientBackup backup;
        const char* question;
    };
    Edition editions_[kEditions];
    bool modified_ = false;
};

}  // namespace corv
