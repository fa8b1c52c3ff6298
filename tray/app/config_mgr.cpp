#include "tray/app/config_mgr.h"

#include "platform/system.h"
#include "tray/app/frame_messages.h"
#include "tray/core/log_file.h"
#include "tray/net/active_address.h"
#include "tray/settings/active_settings.h"
#include "tray/settings/startup_entry.h"

namespace corv {

CConfigMgr::CConfigMgr()
    : prefs_(new CPreferences),
      launcher_(new JavaLauncher(this)),
      registryMonitor_(RegMonLogQueue()) {}

CConfigMgr::~CConfigMgr() {
    launcher_.reset();  // stops the launcher thread before the state it uses goes
    // The monitors post to a frame that is going; they end here rather than with the process.
    registryMonitor_.Stop();
    connection_.StopAll();
    // A refused second instance leaves the running one's values alone.
    if (duplicateInstance_) return;
    try {
        prefs_->Save();
        corv::DeleteActiveSettings(corvaneId_);
        ExitWithoutOrderlyClose();
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
    return corv::StartJava(*launcher_, runtime_.javaOk != 0, credentialsOk_ && clientEnabled_,
                           parameter, settings);
}

std::string CConfigMgr::GetActiveAddress(unsigned waitMs) {
    std::string address = corv::GetActiveAddress(*prefs_, prefsSync_.Hints(), waitMs);
    std::lock_guard<std::mutex> lock(javaAddressMutex_);
    launchAddress_ = address;
    return address;
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
    TheLog().Log("CConfigMgr Received OnSipPortUpdated, port: %d\n", port);
    if (port == prefs_->GetSipPort()) return;
    prefs_->SetSipPort(port);
    SetActiveSettings(*prefs_, corvaneId_);
    SyncClientSettings(1);
}

void CConfigMgr::OnSocksPortUpdated(int port) {
    TheLog().Log("CConfigMgr Received OnSocksPortUpdated, port: %d\n", port);
    if (port == prefs_->GetSocksPort()) return;
    prefs_->SetSocksPort(port);
    SetActiveSettings(*prefs_, corvaneId_);
    SyncClientSettings(1);
}

void CConfigMgr::OnJavaStarted(int value) {
    try {
        if (value) JavaClientStarted();
    } catch (...) {
        TheLog().Log("Internal error(ignored): Caught exception while calling OnJavaStarted()\n");
    }
}

}  // namespace corv
