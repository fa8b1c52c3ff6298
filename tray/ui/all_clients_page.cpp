#include "resources/resource.h"
#include "tray/clients/client_detection.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_dialogs.h"
#include "tray/ui/preference_pages.h"

namespace corv {

namespace {

// Radio button and its explanation, in the order of ClientChoice.
const struct {
    int radio;
    int text;
} kChoices[kClientChoices] = {
    {IDC_RADIO_MESSENGERS, IDC_STATIC_MESSENGERS},
    {IDC_RADIO_WINDOWS_MESSENGER_SIP, IDC_STATIC_WINDOWS_MESSENGER_SIP},
    {IDC_RADIO_ECONF, IDC_STATIC_ECONF},
    {IDC_RADIO_XLITE, IDC_STATIC_XLITE},
    {IDC_RADIO_CUSTOM_SIP, IDC_STATIC_CUSTOM_SIP},
};

}  // namespace

CAllClientsPage::CAllClientsPage(CPreferences& prefs)
    : Guarded<PropertyPage>(IDD_PREFERENCES_CLIENTS, "CAllClientsPage"), prefs_(prefs) {
    OnCommand(IDC_BUTTON_CLIENTS_ADVANCED, [this] {
        CAllClientsDlg dialog(prefs_);
        dialog.DoModal(Sheet());
    });
}

void CAllClientsPage::OnSetActive() {
    ClientDetection detection;
    DetectedClients detected;
    detected.msnMessenger = detection.DetectMsnMessenger();
    detected.windowsMessenger = detection.DetectWindowsMessenger();
    detected.econf = DetectEconf();
    detected.xlite = DetectXLite();
    ClientChoiceView view = ClientChoiceOf(prefs_, detected);
    for (int i = 0; i < kClientChoices; ++i) {
        SetChecked(kChoices[i].radio, view.checked[i]);
        EnableItem(kChoices[i].radio, view.enabled[i]);
        EnableItem(kChoices[i].text, view.enabled[i]);
    }
}

bool CAllClientsPage::OnKillActive() {
    bool checked[kClientChoices];
    for (int i = 0; i < kClientChoices; ++i) checked[i] = IsChecked(kChoices[i].radio);
    WriteClientChoice(checked, prefs_);
    return true;
}

}  // namespace corv
