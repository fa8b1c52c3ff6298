#include "tray/app/corvan_app.h"

#include <ctime>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/prompt.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "tray/app/process_search.h"
#include "tray/core/log_file.h"

namespace corv {

const char* const kTrayImageName = "corvtray.exe";
const char* const kSettingsKey = "SOFTWARE\\Velmora\\Corvane\\Settings";

CCorvanApp::CCorvanApp(std::unique_ptr<CConfigMgr> configMgr)
    : configMgr_(configMgr ? std::move(configMgr) : std::make_unique<CConfigMgr>()) {}

CCorvanApp::~CCorvanApp() {
    Exit();
}

bool CCorvanApp::Exit() {
    if (exited_) return true;
    if (startingUp_) return false;
    exited_ = true;
    try {
        TheLog().Log("~CCorvanApp Exiting at %s\n", StartTime().c_str());
        configMgr_.reset();
        TheLog().Close();
    } catch (...) {
        TheLog().Log("Caught exception in CCorvanApp::~CCorvanApp()\n");
    }
    return true;
}

std::string CCorvanApp::StartTime() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &now) != 0) return std::string();
#else
    if (!localtime_r(&now, &local)) return std::string();
#endif
    char buf[128];
    size_t n = std::strftime(buf, sizeof(buf), "%Y-%m-%d %H:%M:%S %z", &local);
    return std::string(buf, n);
}

bool CCorvanApp::SecondInstanceAllowed(const CPreferences& prefs) {
    return prefs.GetDoNotSync() && (prefs.IsDynamicMode() || (prefs.GetFixedSipPort() == 0 &&
                                                              prefs.GetFixedSocksPort() == 0));
}

unsigned CCorvanApp::FindOtherInstance() {
    return FindRunningProcess(kTrayImageName, true);
}

void CCorvanApp::CaptureConsole() {
    RegKey settings;
    if (settings.Open(RegRoot::CurrentUser, kSettingsKey, kRegReadWrite) != kOk) return;
    uint32_t capture = 0;
    if (settings.QueryDword("Capture", &capture) == kOk && capture == 1) {
        OpenConsole();
        TheLog().SetConsoleEcho(true);
    }
}

void CCorvanApp::WaitForPreviousInstance() {
    // The previous instance started us and is closing; give it time to let go.
    if (unsigned pid = FindRunningProcess(kTrayImageName, false)) WaitForProcess(pid, 5000);
    SleepMs(500);
}

void CCorvanApp::ReadHideFlags() {
    RegKey user, machine;
    user.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead);
    machine.Open(RegRoot::LocalMachine, kPreferencesKey, kRegRead);
    for (auto [id, field] :
         {std::pair<PrefId, int*>{PrefId::HideGUI, &hideGui_}, {PrefId::HideAll, &hideAll_}}) {
        const char* name = PrefName(id);
        if (!user.IsOpen() || user.QueryInt(name, field) != kOk)
            if (machine.IsOpen()) machine.QueryInt(name, field);
    }
}

void CCorvanApp::RemoveReadmeMenu(AppWindow& window) {
    std::string readme = WithTrailingBackslash(configMgr_->Prefs().GetHome()) + "readme.htm";
    if (PathExists(readme)) return;
    switch (window.RemoveMenuItems(kIdHelpReadme)) {
        case AppWindow::MenuRemoval::Removed:
            TheLog().Log("Removed ID_HELP_README menu, not in use\n");
            break;
        case AppWindow::MenuRemoval::Failed:
            TheLog().Log("Failed to remove ID_HELP_README menu even though it is not in use\n");
            break;
        case AppWindow::MenuRemoval::NotPresent:
            break;
    }
}

bool CCorvanApp::InitInstance(const std::string& programName, const std::string& rawCommandLine,
                              const CCorvanCommandLineInfo& cmd, AppWindow& window) {
    struct StartingUp {
        bool& flag;
        explicit StartingUp(bool& f) : flag(f) { flag = true; }
        ~StartingUp() { flag = false; }
    } startingUp(startingUp_);
    CaptureConsole();
    try {
        TheLog().Log("ProgramName: %s, Parameters: %s, Started at: %s\n", programName.c_str(),
                     rawCommandLine.c_str(), StartTime().c_str());
        TheLog().Log("Windows Version: %s \n", GetWindowsVersionName().c_str());
    } catch (...) {
        TheLog().Log("Caught exception in CCorvanApp::InitInstance()\n");
    }

    if (cmd.waitOnRestart || cmd.reconnect) WaitForPreviousInstance();

    hidden_ = cmd.hide;
    ReadHideFlags();
    if (hideGui_ || hideAll_) hidden_ = true;

    if (!cmd.clientId.empty()) {
        // No box for a refused id: unattended starts must not stop on it.
        std::string problem = ClientIdProblem(cmd.clientId);
        if (problem.empty()) {
            appName_ = "Corvane-" + cmd.clientId;
            configMgr_->SetCorvaneId(cmd.clientId);
        } else {
            TheLog().Log("Client id \"%s\" refused, %s; running without a client id\n",
                         cmd.clientId.c_str(), problem.c_str());
        }
    }
    window.SetTitle(appName_);
    window.Show(!hidden_);

    window.AttachConfigMgr(configMgr_.get());
    configMgr_->Init();

    if (!SecondInstanceAllowed(configMgr_->Prefs()) && FindOtherInstance()) {
        // Marked before the box: its modal loop runs timers and posted messages, and none of
        // them may act for a duplicate.
        configMgr_->SetDuplicateInstance(true);
        ShowPrompt("Corvane is already running!");
        configMgr_->VerifyRunSettings();
        return false;
    }
    // Only now are the values found in Settings stale: until the rule has passed they may be
    // the running instance's.
    configMgr_->DeleteActiveSettings();

    RemoveReadmeMenu(window);
    return configMgr_->BringUpClient();
}

}  // namespace corv
