// The preferences sheet ("Preferences"): five pages over one working copy, no Apply button.
#pragma once

#include <functional>

#include "tray/ui/preference_pages.h"

namespace corv {

class CPreferencesSht {
  public:
    CPreferencesSht(CPreferences& copy, HWND frame);

    // Runs the sheet modally over the frame with the first page selected; `created` gets the
    // sheet's window as soon as it exists. True when it closed with OK.
    bool Run(const std::function<void(HWND)>& created);

  private:
    HWND frame_;
    CPreferencesPage general_;
    CAccountsPage accounts_;
    CInternetPage internet_;
    CAllClientsPage clients_;
    CSipPage sip_;
};

}  // namespace corv
