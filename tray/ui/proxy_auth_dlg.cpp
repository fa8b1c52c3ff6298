#include "platform/prompt.h"
#include "resources/resource.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_dialogs.h"

namespace corv {

CProxyAuthDlg::CProxyAuthDlg(CPreferences& prefs)
    : Guarded<Dialog>(IDD_PROXY_AUTH, "CProxyAuthDlg"), prefs_(prefs) {}

bool CProxyAuthDlg::OnInitDialog() {
    std::string userId;
    if (!ProxyAuthUserOf(prefs_, &userId))
        ShowPrompt("Could not retreive user/password information!");
    SetItemText(IDC_EDIT_PROXY_AUTH_USER_ID, userId);
    LimitText(IDC_EDIT_PROXY_AUTH_USER_ID, 260);
    LimitText(IDC_EDIT_PROXY_AUTH_PASSWORD, 20);
    return true;
}

void CProxyAuthDlg::OnOK() {
    bool keepOpen = true;
    std::string message =
        CommitProxyAuth(ItemText(IDC_EDIT_PROXY_AUTH_USER_ID),
                        ItemText(IDC_EDIT_PROXY_AUTH_PASSWORD), prefs_, &keepOpen);
    if (!message.empty()) ShowPrompt(message);
    if (!keepOpen) EndDialog(IDOK);
}

}  // namespace corv
