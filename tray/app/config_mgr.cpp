#include "tray/app/config_mgr.h"

#include "tray/app/log_file.h"
#include "tray/settings/active_settings.h"
#include "tray/settings/startup_entry.h"

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
void CConfigMgr::VerifyRunSettings() {
    corv::VerifyRunSettings();
}
void CConfigMgr::DeleteActiveSettings() {
    corv::DeleteActiveSettings(corvaneId_);
}

const std::string& CConfigMgr::GetCorvaneId() const {
    TheLog().Log("GetCorvaneId: %s\n", corvaneId_.c_str());
    return corvaneId_;
}

void CConfigMgr::SetCorvaneId(const std::string& id) {
    corvaneId_ = id;
    TheLog().Log("SetCorvaneId: %s\n", corvaneId_.c_str());
}
void CConfigMgr::NormalisePreferences() {}

bool CConfigMgr::BringUpClient() {
    TheLog().Open(prefs_->GetHome(), corvaneId_);
    runInBackground_ = prefs_->GetAllowBckgrnd() != 0;
    return true;
}

}  // namespace corv
