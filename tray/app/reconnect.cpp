// The controller's reconnect and restart control: the monitors' events, the Java client's
// start, accepted preferences and registry events, each ending, when it must, in a new copy of
// the program that waits for this one. Everything here runs on the main thread.
#include "platform/files.h"
#include "platform/prompt.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "tray/app/config_mgr.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"
#include "tray/net/local_host.h"
#include "tray/net/restart_control.h"
#include "tray/net/restart_counter.h"
#include "tray/settings/active_settings.h"
#include "tray/settings/startup_entry.h"

namespace corv {

namespace {

bool IsFixedAddressMode(const CPreferences& prefs) {
    return EqualsNoCase(prefs.GetSyncMode(), "fixed") && !prefs.GetLocalIpAddress().empty();
}

// Reopened with what waited meanwhile written first, so the lines stay in order.
void ReopenLogIfClosed() {
    CLogFile& log = TheLog();
    if (!log.IsOpen() && log.Reopen()) log.Flush();
}

}  // namespace

bool CConfigMgr::IsJavaRunning() const {
    return launcher_ && launcher_->IsRunning();
}

void CConfigMgr::StartRegistryMonitor() {
    TheLog().Log("Start Registry Monitor\n");
    registryMonitor_.StartMonitor(prefs_->GetRegistryRoot(), kPreferencesKey);
}

void CConfigMgr::OnIpAddrRegistered(const std::string& address) {
    CLogFile& log = TheLog();
    ReopenLogIfClosed();
    {
        CLocalHost host;
        host.LogLocalAddresses(host.GetHostName());
        activeAddress_ = host.GetFirstLocalAddress(host.GetHostName());
    }
    if (IsFixedAddressMode(*prefs_)) activeAddress_ = prefs_->GetLocalIpAddress();
    prefs_->SetActiveIpAddress(activeAddress_);

    if (!EqualsNoCase(activeAddress_, address)) {
        log.Log("OnIpAddrRegistered: Ignoring %s, user has changed ip addr to: %s!\n",
                address.c_str(), activeAddress_.c_str());
        return;
    }
    log.Log("OnIpAddrRegistered: Detected internet connection, addr: %s!\n", address.c_str());
    if (IsJavaRunning()) {
        log.Log("OnIpAddrRegistered: Java client is already running!\n");
        return;
    }
    SetStatusText("Initializing...");
    SyncClientSettings(1);
    StartJava(0);
}

void CConfigMgr::JavaClientStarted() {
    std::string launched;
    {
        std::lock_guard<Mutex> lock(javaAddressMutex_);
        launched = launchAddress_;
    }
    if (!launched.empty() && launched != activeAddress_) {
        activeAddress_ = launched;
        prefs_->SetActiveIpAddress(launched);
        SyncClientSettings(1);
    }
    SetActiveSettings(*prefs_, corvaneId_);
    connection_.StartReleaseMonitor(activeAddress_);
}

void CConfigMgr::OnIpAddrReleased() {
    CLogFile& log = TheLog();
    if (IsFixedAddressMode(*prefs_)) {
        log.Log("OnIpAddrReleased: fixed address %s is not in local host table\n",
                activeAddress_.c_str());
        SetStatusText(
            Format("Disabled: Address %s is not in local host table", activeAddress_.c_str()));
        return;
    }
    if (ReconnectIsAllowed()) {
        log.Log("OnIpAddrReleased: reconnecting\n");
        Reconnect(true);
    } else {
        log.Log("OnIpAddrReleased: ReconnectIsAllowed returned FALSE, too many restarts\n");
    }
}

bool CConfigMgr::ReconnectIsAllowed() {
    return corv::ReconnectIsAllowed();
}

unsigned CConfigMgr::StartProcess(const std::string& program, const std::string& arguments,
                                  const std::string& folder) {
    return StartProcessLogged(program, arguments, folder);
}

bool CConfigMgr::RestartWith(const char* commandSwitch, const char* failureText) {
    CLogFile& log = TheLog();
    ReopenLogIfClosed();
    const std::string folder = WithTrailingBackslash(prefs_->GetHome());
    const std::string program = ProgramInHome(prefs_->GetHome());
    unsigned pid = StartProcess(program, commandSwitch, folder);
    if (pid == 0) {
        log.Log("Failed to start \"%s %s\"\n", program.c_str(), commandSwitch);
        ShowPrompt(failureText);
        return false;
    }
    log.Log("Started \"%s %s\" with pid: %u\n", program.c_str(), commandSwitch, pid);
    // Closing must end the program now, not hide it.
    runInBackground_ = false;
    PostToMain(kMsgClose);
    return true;
}

void CConfigMgr::Reconnect(bool restart) {
    if (!restart) {
        TheLog().Log("Reconnect, exiting to avoid restart loop!\n");
        PostToMain(kMsgClose);
        return;
    }
    RestartWith(kReconnectSwitch, "Reconnect failed, could not set reconnect hook.\n");
}

void CConfigMgr::Restart() {
    RestartWith(kWaitOnRestartSwitch,
                "Restart failed, could not execute restart hook.\nPlease restart manually");
}

void CConfigMgr::OnRegistryMonitorEvent() {
    CLogFile& log = TheLog();
    if (restartPending_) {
        log.Log("Ignored event from registry monitor, restart already pending\n");
    } else if (accountChangedByMyself_) {
        log.Log("Ignored event from registry monitor, account details changed by user (myself)\n");
        accountChangedByMyself_ = false;
    } else {
        log.Log("Received event from registry monitor, doing a restart\n");
        prefs_->ReloadAccount();
        Restart();
        return;
    }
    if (corvaneId_.empty()) StartRegistryMonitor();
}

void CConfigMgr::OnPreferencesAccepted(std::unique_ptr<CPreferences> working) {
    CLogFile& log = TheLog();
    CPreferences& w = *working;  // takes the answers of the client synchronisation
    const CPreferences& c = *prefs_;
    if (w.GetLaunchAtStartup() != c.GetLaunchAtStartup()) syncStartup(w);
    runInBackground_ = w.GetAllowBckgrnd() != 0;

    if (DiffersIn(PrefGroup::AddressMode, c, w)) {
        prefsSync_.SyncLocalPorts(w);
        restartPending_ = true;
    }
    if (DiffersIn(PrefGroup::ClientChoice, c, w)) SyncClientSettingsWith(w, 1);
    if (DiffersIn(PrefGroup::Restart, c, w)) {
        prefsSync_.syncHttpProxy(w);
        prefsSync_.syncUser(w);
        prefsSync_.syncSip(w);
        if (!clientEnabled_) {
            // The user gave what was missing: the client may start again.
            clientEnabled_ = true;
            credentialsOk_ = true;
            SetStatusText("");
        }
        if (DiffersIn(PrefGroup::Account, c, w)) accountChangedByMyself_ = true;
        restartPending_ = true;
    }

    prefs_ = std::move(working);
    prefs_->Save();

    if (!restartPending_) return;
    if (!IsJavaRunning()) {
        ReopenLogIfClosed();
        log.Log("User changed preferences from dialog window, starting Java client\n");
        SetStatusText("Initializing...");
        SyncClientSettings(1);
        StartJava(0);
        // Started here and now: later registry events are no longer covered by this decision.
        restartPending_ = false;
        return;
    }
    ShowPrompt("Corvane will be restarted now to make changes take effect!");
    log.Log("User changed preferences from dialog window, doing a restart\n");
    Restart();
}

void CConfigMgr::ExitWithoutOrderlyClose() {
    if (!windowClosed_ && ReconnectIsAllowed()) Reconnect(false);
}

}  // namespace corv
