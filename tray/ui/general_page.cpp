#include "resources/resource.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_pages.h"

namespace corv {

CPreferencesPage::CPreferencesPage(CPreferences& prefs)
    : Guarded<PropertyPage>(IDD_PREFERENCES_GENERAL, "CPreferencesPage"), prefs_(prefs) {}

void CPreferencesPage::OnSetActive() {
    SetChecked(IDC_CHECK_LAUNCH_AT_STARTUP, prefs_.GetLaunchAtStartup() != 0);
    SetChecked(IDC_CHECK_ALLOW_BACKGROUND, prefs_.GetAllowBckgrnd() != 0);
    SetChecked(IDC_CHECK_TUNNEL_MEDIA, prefs_.GetAlwaysTunnelMedia());
    bool editable = LaunchAtStartupEditable(prefs_);
    EnableItem(IDC_CHECK_LAUNCH_AT_STARTUP, editable);
    EnableItem(IDC_STATIC_STARTUP_TEXT, editable);
}

bool CPreferencesPage::OnKillActive() {
    prefs_.SetLaunchAtStartup(IsChecked(IDC_CHECK_LAUNCH_AT_STARTUP) ? 1 : 0);
    prefs_.SetAllowBckgrnd(IsChecked(IDC_CHECK_ALLOW_BACKGROUND) ? 1 : 0);
    prefs_.SetAlwaysTunnelMedia(IsChecked(IDC_CHECK_TUNNEL_MEDIA));
    return true;
}

}  // namespace corv
