#include "resources/resource.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_dialogs.h"
#include "tray/ui/preference_pages.h"

namespace corv {

CAccountsPage::CAccountsPage(CPreferences& prefs)
    : Guarded<PropertyPage>(IDD_PREFERENCES_ACCOUNTS, "CAccountsPage"), prefs_(prefs) {
    OnCommand(IDC_BUTTON_EDIT_ACCOUNT, [this] { EditAccount(); });
}

void CAccountsPage::OnSetActive() {
    ShowAccount();
}

void CAccountsPage::ShowAccount() {
    SetItemText(IDC_EDIT_ACCOUNT_USER_ID, prefs_.GetUserId());
    SetItemText(IDC_EDIT_ACCOUNT_PASSWORD, PasswordDisplay(prefs_.GetPasswd()));
}

void CAccountsPage::EditAccount() {
    CAccountsDlg dialog(prefs_);
    if (dialog.DoModal(Sheet()) != IDOK) return;
    ShowAccount();
    // The button the user pressed took the default look; OK is the sheet's default again.
    SendDlgItemMessageW(Handle(), IDC_BUTTON_EDIT_ACCOUNT, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(Sheet(), DM_SETDEFID, IDOK, 0);
}

}  // namespace corv
