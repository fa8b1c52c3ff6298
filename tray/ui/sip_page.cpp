#include "resources/resource.h"
#include "tray/core/messages.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_pages.h"

namespace corv {

CSipPage::CSipPage(CPreferences& prefs, HWND frame)
    : Guarded<PropertyPage>(IDD_PREFERENCES_SIP, "CSipPage"), prefs_(prefs), frame_(frame) {}

void CSipPage::OnSetActive() {
    SetItemText(IDC_EDIT_EXTERNAL_SIP, prefs_.GetExternalSipAddress());
}

bool CSipPage::OnKillActive() {
    CommitExternalSipAddress(ItemText(IDC_EDIT_EXTERNAL_SIP), prefs_);
    // A string id instead of the status text: the frame shows that string, here its idle text.
    if (frame_) SendMessageW(frame_, kMsgSetMessageString, AFX_IDS_IDLEMESSAGE, 0);
    return true;
}

}  // namespace corv
