#include "tray/app/config_mgr.h"

#include "platform/system.h"
#include "platform/thread.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/net/active_address.h"
#include "tray/settings/active_settings.h"
#include "tray/settings/startup_entry.h"

namespace corv {

CConfigMgr::CConfigMgr() : prefs_(new CPreferences), launcher_(new JavaLauncher(this)) {}

CConfigMgr::~CConfigMgr() {
    launcher_.reset();  // stops the launcher thread before the state it uses goes
    // A refused second instance leaves the running one's values alone.
    if (duplicateInstance_) return;
    try {
        prefs_->Save();
        corv::DeleteActiveSettings(corvaneId_);
    } catch (...) {
        TheLog().Log("Internal error(ignored): Caught exception while calling ~CConfigMgr()\n");
    }
}

void CConfigMgr::Init() {
    CheckRegistryWriteAccess();
    VerifyRunSettings();
    DeleteActiveSettings();
    prefs_->Load();
    NormalisePreferences();
}

bool CConfigMgr::CheckRegistryWriteAccess() {
    return prefsSync_.CheckRegistryWriteAccess(GetWindowsVersionName(), NoPermissionRepair).empty();
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

std::string CConfigMgr::JvmLibrary() const {
    return kDefaultJvmLibrary;
}

bool CConfigMgr::StartJava(unsigned parameter) {
    JavaLaunchSettings settings;
    settings.home = prefs_->GetHome();
    settings.classPath = prefs_->GetClassPath();
    settings.mainClass = prefs_->GetMainClass();
    settings.clientId = corvaneId_;
    settings.jvmLibrary = JvmLibrary();
    return corv::StartJava(*launcher_, runtime_.javaOk != 0, credentialsOk_, parameter, settings);
}

std::string CConfigMgr::GetActiveAddress(unsigned waitMs) {
    return corv::GetActiveAddress(*prefs_, prefsSync_.Hints(), waitMs);
}

void CConfigMgr::SetJavaLocalAddress(const std::string& address) {
    std::lock_guard<std::mutex> lock(javaAddressMutex_);
    javaLocalAddress_ = address;
}

std::string CConfigMgr::JavaLocalAddress() {
    std::lock_guard<std::mutex> lock(javaAddressMutex_);
    return javaLocalAddress_;
}

void CConfigMgr::OnSipPortUpdated(int port) {
    if (port == prefs_->GetSipPort()) return;
    prefs_->SetSipPort(port);
    SetActiveSettings(*prefs_, corvaneId_);
}

void CConfigMgr::OnSocksPortUpdated(int port) {
    if (port == prefs_->GetSocksPort()) return;
    prefs_->SetSocksPort(port);
    SetActiveSettings(*prefs_, corvaneId_);
}

void CConfigMgr::OnJavaStarted(int value) {
    javaStarted_ = value;
    if (!PostToMain(kMsgJavaStarted))
        JavaLogQueue().Push("OnJavaStarted: no main window, active settings not published\n");
}

void CConfigMgr::HandleJavaStarted() {
    if (!javaStarted_.load()) return;
    SetActiveSettings(*prefs_, corvaneId_);
}

}  // namespace corv
