// What the controller does with the preferences sheet's working copy after OK, and the restart
// it may call for. Kept to what the sheet needs; the reconnect work's handlers (address events,
// registry-monitor events, the restart counter) build on the same entry.
#include "platform/files.h"
#include "platform/process.h"
#include "platform/prompt.h"
#include "platform/thread.h"
#include "tray/app/config_mgr.h"
#include "tray/core/log_file.h"
#include "tray/core/status_text.h"
#include "tray/settings/startup_entry.h"

namespace corv {

namespace {
constexpr unsigned kMsgClose = 0x0010;  // WM_CLOSE
}  // namespace

void CConfigMgr::OnPreferencesAccepted(const CPreferences& copy) {
    CPreferences accepted(copy);
    const CPreferences& current = *prefs_;
    bool restartPending = false;

    if (current.GetLaunchAtStartup() != accepted.GetLaunchAtStartup()) syncStartup(accepted);
    runInBackground_ = accepted.GetAllowBckgrnd() != 0;
    if (DiffersIn(PrefGroup::AddressMode, current, accepted)) {
        prefsSync_.SyncLocalPorts(accepted);
        restartPending = true;
    }
    // The questions this may ask answer into the copy, so the save below keeps the answers.
    if (DiffersIn(PrefGroup::ClientChoice, current, accepted)) SyncClientSettingsWith(accepted, 1);
    if (DiffersIn(PrefGroup::Restart, current, accepted)) {
        prefsSync_.syncHttpProxy(accepted);
        prefsSync_.syncUser(accepted);
        prefsSync_.syncSip(accepted);
        // An account given now lets the client start that the start sequence kept from it.
        if (!credentialsOk_ && !accepted.GetUserId().empty() && !accepted.GetPasswd().empty()) {
            credentialsOk_ = true;
            SetStatusText(std::string());
        }
        if (DiffersIn(PrefGroup::Account, current, accepted)) accountChangedByMyself_ = true;
        restartPending = true;
    }

    *prefs_ = accepted;
    prefs_->Save();
    if (!restartPending) return;

    CLogFile& log = TheLog();
    if (!launcher_->IsJavaRunning()) {
        if (!log.IsOpen()) log.Reopen();
        log.Log("User changed preferences from dialog window, starting Java client\n");
        SetStatusText("Initializing...");
        SyncClientSettings(1);
        StartJava();
        return;
    }
    ShowPrompt("Corvane will be restarted now to make changes take effect!");
    log.Log("User changed preferences from dialog window, doing a restart\n");
    Restart();
}

bool CConfigMgr::Restart() {
    std::string home = WithTrailingBackslash(prefs_->GetHome());
    std::string program = home + "corvtray.exe";
    StartOptions options;
    options.folder = home;
    options.hidden = true;
    unsigned pid = StartProcess(program, "/WaitOnRestart", options);
    CLogFile& log = TheLog();
    if (pid == 0) {
        log.Log("Failed to start \"%s /WaitOnRestart\"\n", program.c_str());
        ShowPrompt("Restart failed, could not execute restart hook.\nPlease restart manually");
        return false;
    }
    log.Log("Started \"%s /WaitOnRestart\" with pid: %u\n", program.c_str(), pid);
    runInBackground_ = false;  // closing ends the program now
    PostToMain(kMsgClose);
    return true;
}

}  // namespace corv
