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
    try {
        TheLog().Log("~CCorvanApp Exiting at %s\n", StartTime().c_str());
        configMgr_.reset();
        TheLog().Close();
    } catch (...) {
        TheLog().Log("Caught exception in CCorvanApp::~CCorvanApp()\n");
    }
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
    for (auto [name, field] :
         {std::pair<const char*, int*>{"HideGUI", &hideGui_}, {"HideAll", &hideAll_}}) {
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
        appName_ = "Corvane-" + cmd.clientId;
        configMgr_->SetCorvaneId(cmd.clientId);
    }
    window.SetTitle(appName_);
    window.Show(!hidden_);

    window.AttachConfigMgr(configMgr_.get());
    configMgr_->Init();

    if (!SecondInstanceAllowed(configMgr_->Prefs()) && FindRunningProcess(kTrayImageName, true)) {
        ShowPrompt("Corvane is already running!");
        configMgr_->SetDuplicateInstance(true);
        configMgr_->VerifyRunSettings();
        return false;
    }

    RemoveReadmeMenu(window);
    return configMgr_->BringUpClient();
}

}  // namespace corv
