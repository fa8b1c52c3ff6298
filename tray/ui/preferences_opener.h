// The preferences sheet as the view opens it; the sheet's side implements it.
#pragma once

#include <windows.h>

namespace corv {

class PreferencesOpener {
  public:
    virtual ~PreferencesOpener() = default;
    // Runs the sheet over the owner, or brings the open one to the front.
    virtual void OpenPreferences(HWND owner) = 0;
    // The view is going: an open sheet goes with it.
    virtual void ClosePreferences() = 0;
};

}  // namespace corv
