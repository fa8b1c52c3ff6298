#include "tray/app/config_mgr.h"

#include "platform/system.h"
#include "tray/clients/client_sync.h"
#include "tray/core/log_file.h"
#include "tray/net/active_address.h"
#include "tray/settings/active_settings.h"
#include "tray/settings/permission_repair.h"
#include "tray/settings/startup_entry.h"

namespace corv {

CConfigMgr::CConfigMgr()
    : prefs_(new CPreferences), launcher_(new JavaLauncher(this)), clients_(new ClientSync) {}

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
    prefs_->Load();
    NormalisePreferences();
}

bool CConfigMgr::CheckRegistryWriteAccess() {
    RepairSystem system;
    system.osName = GetWindowsVersionName();
    auto repair = [&system](const std::string& path) { return RepairKeyPermissions(path, system); };
    return prefsSync_.CheckRegistryWriteAccess(system.osName, repair).empty();
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
    std::lock_guard<Mutex> lock(javaAddressMutex_);
    javaLocalAddress_ = address;
}

std::string CConfigMgr::JavaLocalAddress() {
    std::lock_guard<Mutex> lock(javaAddressMutex_);
    return javaLocalAddress_;
}

void CConfigMgr::OnSipPortUpdated(int port) {
    if (port == prefs_->GetSipPort()) return;
    prefs_->SetSipPort(port);
    SetActiveSettings(*prefs_, corvaneId_);
    SyncClientSettings(1);
}

void CConfigMgr::OnSocksPortUpdated(int port) {
    if (port == prefs_->GetSocksPort()) return;
    prefs_->SetSocksPort(port);
    SetActiveSettings(*prefs_, corvaneId_);
    SyncClientSettings(1);
}

void CConfigMgr::SyncClientSettings(int enable) {
    clients_->SyncClientSettings(*prefs_, enable);
}

void CConfigMgr::SyncClientSettingsWith(CPreferences& prefs, int enable) {
    clients_->SyncClientSettings(prefs, enable);
}

void CConfigMgr::SyncMessengerSettings(int enable) {
    clients_->SyncMessengerSettings(*prefs_, enable);
}

void CConfigMgr::ReloadClientSettings() {
    clients_->ReloadClientSettings(*prefs_);
}

void CConfigMgr::OnJavaStarted(int) {
    try {
        SetActiveSettings(*prefs_, corvaneId_);
    } catch (...) {
        TheLog().Log("Internal error(ignored): Caught exception while calling OnJavaStarted()\n");
    }
}

}  // namespace corv
