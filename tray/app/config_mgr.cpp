#include "tray/app/config_mgr.h"

#include "tray/app/log_file.h"

namespace corv {

CConfigMgr::CConfigMgr() : prefs_(new CPreferences) {}

CConfigMgr::~CConfigMgr() = default;

void CConfigMgr::Init() {
    CheckRegistryWriteAccess();
    VerifyRunSettings();
    DeleteActiveSettings();
    prefs_->Load();
    NormalisePreferences();
}

bool CConfigMgr::CheckRegistryWriteAccess() {
    return true;
}
void CConfigMgr::VerifyRunSettings() {}
void CConfigMgr::DeleteActiveSettings() {}
void CConfigMgr::NormalisePreferences() {}

bool CConfigMgr::BringUpClient() {
    TheLog().Open(prefs_->GetHome(), corvaneId_);
    runInBackground_ = prefs_->GetAllowBckgrnd() != 0;
    return true;
}

}  // namespace corv
