// The tray client's application object: start-up, the single-instance rule and the exit line.
#pragma once

#include <memory>
#include <string>

#include "tray/app/command_line.h"
#include "tray/app/config_mgr.h"

namespace corv {

// What start-up needs of the main window.
class AppWindow {
  public:
    enum class MenuRemoval { NotPresent, Removed, Failed };
    virtual ~AppWindow() = default;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void Show(bool visible) = 0;
    // Disables and removes every item with the id from the drop-downs of the window's menu.
    virtual MenuRemoval RemoveMenuItems(unsigned id) = 0;
    // A notice the frame gets once the controller exists (its handlers need it).
    virtual void AttachConfigMgr(CConfigMgr*) {}
};

constexpr unsigned kIdHelpReadme = 186;
extern const char* const kTrayImageName;  // "corvtray.exe"
extern const char* const kSettingsKey;    // "SOFTWARE\Velmora\Corvane\Settings"

class CCorvanApp {
  public:
    // `configMgr` may be given by tests; a plain CConfigMgr is made otherwise.
    explicit CCorvanApp(std::unique_ptr<CConfigMgr> configMgr = nullptr);
    virtual ~CCorvanApp();  // Exit()

    // Start-up from the console capture on (the window exists already). false ends the program.
    bool InitInstance(const std::string& programName, const std::string& rawCommandLine,
                      const CCorvanCommandLineInfo& cmd, AppWindow& window);

    // The orderly exit, once: the exit line, the controller's end (preferences saved, active
    // settings removed) and the log closed. While start-up runs (a box of it may be open when
    // the Windows session ends) the controller is in use, so nothing is done and false returned;
    // nothing has been published by then.
    bool Exit();

    // nullptr after Exit().
    CConfigMgr* ConfigMgr() { return configMgr_.get(); }
    int HideGui() const { return hideGui_; }
    int HideAll() const { return hideAll_; }
    bool ShownHidden() const { return hidden_; }
    const std::string& AppName() const { return appName_; }

    // Whether a second instance may run beside the first.
    static bool SecondInstanceAllowed(const CPreferences& prefs);
    static std::string StartTime();  // "%Y-%m-%d %H:%M:%S %z", empty when it cannot be had

  protected:
    // The id of another running corvtray, or 0.
    virtual unsigned FindOtherInstance();

  private:
    void CaptureConsole();
    void WaitForPreviousInstance();
    void ReadHideFlags();
    void RemoveReadmeMenu(AppWindow& window);

    std::unique_ptr<CConfigMgr> configMgr_;
    int hideGui_ = 0;
    int hideAll_ = 0;
    bool hidden_ = false;
    std::string appName_ = "Corvane";
    bool startingUp_ = false;
    bool exited_ = false;
};

}  // namespace corv
