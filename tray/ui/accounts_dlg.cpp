#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "platform/prompt.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_dialogs.h"

namespace corv {

CAccountsDlg::CAccountsDlg(CPreferences& prefs)
    : Guarded<Dialog>(IDD_ACCOUNT, "CAccountsDlg"), prefs_(prefs) {
    OnCommand(IDC_BUTTON_GET_PASSWORD, [this] { GetPassword(); });
}

bool CAccountsDlg::OnInitDialog() {
    SetItemText(IDC_EDIT_USER_ID, prefs_.GetUserId());
    LimitText(IDC_EDIT_USER_ID, 260);
    LimitText(IDC_EDIT_PASSWORD, 20);
    bool offered = OffersGetPassword(prefs_);
    ShowItem(IDC_BUTTON_GET_PASSWORD, offered);
    ShowItem(IDC_STATIC_NO_PASSWORD, offered);
    ShowItem(IDC_STATIC_CONTACT_PROVIDER, !offered);
    FocusItem(IDC_EDIT_USER_ID);
    return false;
}

void CAccountsDlg::OnOK() {
    std::string refusal =
        CommitAccount(ItemText(IDC_EDIT_USER_ID), ItemText(IDC_EDIT_PASSWORD), prefs_);
    if (!refusal.empty()) {
        ShowPrompt(refusal);
        return;
    }
    EndDialog(IDOK);
}

void CAccountsDlg::GetPassword() {
    std::string address = AccountWebAddress(prefs_);
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(Handle(), L"open", Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) ShowPrompt(BrowserFailureText(static_cast<int>(result), address));
}

}  // namespace corv
