#include "tray/app/config_mgr.h"

#include "platform/system.h"
#include "platform/thread.h"
#include "tray/app/frame_messages.h"
#include "tray/clients/client_sync.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/net/active_address.h"
#include "tray/settings/active_settings.h"
#include "tray/settings/permission_repair.h"
#include "tray/settings/startup_entry.h"

namespace corv {

CConfigMgr::CConfigMgr()
    : prefs_(new CPreferences),
      launcher_(new JavaLauncher(this)),
      clients_(new ClientSync),
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
    return corv::StartJava(*launcher_, runtime_.javaOk != 0, credentialsOk_ && clientEnabled_,
                           parameter, settings);
}

std::string CConfigMgr::GetActiveAddress(unsigned waitMs) {
    std::string address = corv::GetActiveAddress(*prefs_, prefsSync_.Hints(), waitMs);
    std::lock_guard<Mutex> lock(javaAddressMutex_);
    launchAddress_ = address;
    return address;
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

void CConfigMgr::OnJavaStarted(int value) {
    javaStarted_ = value;
    if (!PostToMain(kMsgJavaStarted))
        JavaLogQueue().Push("OnJavaStarted: no main window, active settings not published\n");
}

void CConfigMgr::HandleJavaStarted() {
    if (!javaStarted_.load()) return;
    JavaClientStarted();
}

}  // namespace corv
