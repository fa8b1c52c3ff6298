#include "platform/prompt.h"
#include "resources/resource.h"
#include "tray/net/local_host.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_dialogs.h"
#include "tray/ui/preference_pages.h"

namespace corv {

namespace {

const struct {
    int id;
    ProxyMode mode;
} kModes[] = {{IDC_RADIO_AUTO_DETECT, ProxyMode::AutoDetection},
              {IDC_RADIO_DIRECT, ProxyMode::NoProxy},
              {IDC_RADIO_PROXY_SCRIPT, ProxyMode::ProxyScript},
              {IDC_RADIO_SECURE_PROXY, ProxyMode::SecureProxy}};

bool Resolves(const std::string& host) {
    CLocalHost local;
    return !local.ResolveAddress(host).empty();
}

int FieldId(ConnectionField field) {
    switch (field) {
        case ConnectionField::Script:
            return IDC_EDIT_PROXY_SCRIPT;
        case ConnectionField::HttpsPort:
            return IDC_EDIT_HTTPS_PORT;
        default:
            return IDC_EDIT_HTTPS_PROXY;
    }
}

}  // namespace

CInternetPage::CInternetPage(CPreferences& prefs)
    : Guarded<PropertyPage>(IDD_PREFERENCES_CONNECTION, "CInternetPage"), prefs_(prefs) {
    for (const auto& m : kModes) OnCommand(m.id, [this] { EnableFields(); });
    OnCommand(IDC_BUTTON_EDIT_PROXY_AUTH, [this] {
        CProxyAuthDlg dialog(prefs_);
        if (dialog.DoModal(Sheet()) == IDOK) ShowProxyAuth();
    });
}

void CInternetPage::OnSetActive() {
    ConnectionFields f = ConnectionFieldsOf(prefs_);
    for (const auto& m : kModes) SetChecked(m.id, f.mode == m.mode);
    SetItemText(IDC_EDIT_PROXY_SCRIPT, f.script);
    SetItemText(IDC_EDIT_HTTPS_PROXY, f.httpsHost);
    SetItemText(IDC_EDIT_HTTPS_PORT, f.httpsPort);
    ShowProxyAuth();
    // Part of the template, never offered.
    ShowItem(IDC_BUTTON_CONNECTION_ADVANCED, false);
    EnableItem(IDC_BUTTON_CONNECTION_ADVANCED, false);
    EnableFields();
}

void CInternetPage::ShowProxyAuth() {
    ConnectionFields f = ConnectionFieldsOf(prefs_);
    SetItemText(IDC_EDIT_PROXY_USER_ID, f.authUser);
    SetItemText(IDC_EDIT_PROXY_PASSWORD, f.authPassword);
}

void CInternetPage::EnableFields() {
    EnableItem(IDC_EDIT_PROXY_SCRIPT, IsChecked(IDC_RADIO_PROXY_SCRIPT));
    bool secure = IsChecked(IDC_RADIO_SECURE_PROXY);
    EnableItem(IDC_EDIT_HTTPS_PROXY, secure);
    EnableItem(IDC_EDIT_HTTPS_PORT, secure);
}

bool CInternetPage::OnKillActive() {
    ConnectionFields f;
    f.mode = ProxyMode::None;
    for (const auto& m : kModes)
        if (IsChecked(m.id)) f.mode = m.mode;
    f.script = ItemText(IDC_EDIT_PROXY_SCRIPT);
    f.httpsHost = ItemText(IDC_EDIT_HTTPS_PROXY);
    f.httpsPort = ItemText(IDC_EDIT_HTTPS_PORT);
    std::string shownHost = f.httpsHost;
    ConnectionField focus = ConnectionField::None;
    std::string refusal = CommitConnection(&f, prefs_, Resolves, &focus);
    if (!refusal.empty()) {
        ShowPrompt(refusal);
        FocusItem(FieldId(focus));
        return false;
    }
    if (f.httpsHost != shownHost) SetItemText(IDC_EDIT_HTTPS_PROXY, f.httpsHost);
    return true;
}

}  // namespace corv
