#include "platform/prompt.h"
#include "resources/resource.h"
#include "tray/net/local_host.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_dialogs.h"

namespace corv {

namespace {
const int kFixedEdits[] = {IDC_EDIT_SOCKS_PORT, IDC_EDIT_SIP_PORT, IDC_EDIT_LOCAL_IP};

bool IsOwnAddress(const std::string& address) {
    CLocalHost host;
    return host.IsInLocalHostTable(host.GetHostName(), address);
}
}  // namespace

CAllClientsDlg::CAllClientsDlg(CPreferences& prefs)
    : Guarded<Dialog>(IDD_ADVANCED_CLIENTS, "CAllClientsDlg"), prefs_(prefs) {
    OnCommand(IDC_RADIO_DYNAMIC, [this] { ChooseMode(true); });
    OnCommand(IDC_RADIO_FIXED, [this] { ChooseMode(false); });
}

bool CAllClientsDlg::OnInitDialog() {
    modeBefore_ = prefs_.GetSyncMode();
    SetItemText(IDC_STATIC_PORTS_IN_USE, AdvancedInfoText(prefs_));
    AdvancedFields f = AdvancedFieldsOf(prefs_);
    SetChecked(IDC_RADIO_DYNAMIC, f.dynamic);
    SetChecked(IDC_RADIO_FIXED, !f.dynamic);
    SetItemText(IDC_EDIT_LOCAL_IP, f.ipAddress);
    SetItemText(IDC_EDIT_SIP_PORT, f.sipPort);
    SetItemText(IDC_EDIT_SOCKS_PORT, f.socksPort);
    for (int id : kFixedEdits) EnableItem(id, !f.dynamic);
    return true;
}

void CAllClientsDlg::ChooseMode(bool dynamic) {
    prefs_.SetSyncMode(dynamic ? "dynamic" : "fixed");
    for (int id : kFixedEdits) EnableItem(id, !dynamic);
}

void CAllClientsDlg::OnOK() {
    AdvancedFields f;
    f.dynamic = IsChecked(IDC_RADIO_DYNAMIC);
    f.ipAddress = ItemText(IDC_EDIT_LOCAL_IP);
    f.sipPort = ItemText(IDC_EDIT_SIP_PORT);
    f.socksPort = ItemText(IDC_EDIT_SOCKS_PORT);
    std::string warning;
    AdvancedField focus = AdvancedField::None;
    std::string refusal = CommitAdvanced(f, prefs_, IsOwnAddress, &warning, &focus);
    if (!warning.empty()) ShowPrompt(warning);
    if (!refusal.empty()) {
        ShowPrompt(refusal);
        FocusItem(focus == AdvancedField::IpAddress ? IDC_EDIT_LOCAL_IP
                  : focus == AdvancedField::SipPort ? IDC_EDIT_SIP_PORT
                                                    : IDC_EDIT_SOCKS_PORT);
        return;
    }
    EndDialog(IDOK);
}

// The mode buttons change the copy at once; Cancel takes that back too.
void CAllClientsDlg::OnCancel() {
    prefs_.SetSyncMode(modeBefore_);
    EndDialog(IDCANCEL);
}

}  // namespace corv
