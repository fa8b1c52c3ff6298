#include "tray/ui/preferences_sheet.h"

namespace corv {

CPreferencesSht::CPreferencesSht(CPreferences& copy, HWND frame)
    : frame_(frame),
      general_(copy),
      accounts_(copy),
      internet_(copy),
      clients_(copy),
      sip_(copy, frame) {}

bool CPreferencesSht::Run(const std::function<void(HWND)>& created) {
    return RunPropertySheet(frame_, "Preferences",
                            {&general_, &accounts_, &internet_, &clients_, &sip_}, created);
}

}  // namespace corv
