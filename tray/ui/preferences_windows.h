// The preferences windows as the frame and the controller use them: "Preferences..." opens the
// sheet (one at a time), and the start sequence asks for a missing account.
#pragma once

#include <windows.h>

#include <functional>

#include "tray/app/config_mgr.h"

namespace corv {

class PreferencesWindows : public AccountPrompt {
  public:
    // `frame` answers the main window (it may not exist yet when this is made).
    explicit PreferencesWindows(std::function<HWND()> frame) : frame_(std::move(frame)) {}

    // Runs the sheet on a copy of the controller's preferences and hands an accepted copy to
    // the controller. While a sheet is open it is only brought to the front.
    void OpenSheet(CConfigMgr& configMgr);
    HWND OpenSheetWindow() const { return sheet_; }

    // The account dialog over the main window, brought to the front and restored.
    bool AskForAccount(CPreferences& prefs) override;

  private:
    std::function<HWND()> frame_;
    bool sheetRunning_ = false;
    HWND sheet_ = nullptr;
};

}  // namespace corv
