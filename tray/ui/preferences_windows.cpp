#include "tray/ui/preferences_windows.h"

#include "tray/ui/preference_dialogs.h"
#include "tray/ui/preferences_sheet.h"

namespace corv {

void PreferencesWindows::OpenSheet(CConfigMgr& configMgr) {
    if (sheetRunning_) {
        if (sheet_) SetForegroundWindow(sheet_);
        return;
    }
    HWND frame = frame_ ? frame_() : nullptr;
    CPreferences copy(configMgr.Prefs());
    bool accepted = false;
    sheetRunning_ = true;
    try {
        CPreferencesSht sheet(copy, frame);
        accepted = sheet.Run([this](HWND sheet) { sheet_ = sheet; });
    } catch (...) {
        sheetRunning_ = false;
        sheet_ = nullptr;
        throw;
    }
    sheetRunning_ = false;
    sheet_ = nullptr;
    // The sheet's loop runs every message: the frame (and with it the controller's run) may
    // have ended meanwhile, and then there is nobody to apply the copy to.
    if (!accepted || (frame && !IsWindow(frame))) return;
    configMgr.OnPreferencesAccepted(std::make_unique<CPreferences>(copy));
}

bool PreferencesWindows::AskForAccount(CPreferences& prefs) {
    HWND frame = frame_ ? frame_() : nullptr;
    if (frame) {
        ShowWindow(frame, SW_RESTORE);
        SetForegroundWindow(frame);
    }
    CAccountsDlg dialog(prefs);
    return dialog.DoModal(frame) == IDOK;
}

}  // namespace corv
