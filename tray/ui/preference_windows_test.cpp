// The templates of the sheet's pages and dialogs, loaded from the program's resources, and the
// dialogs run in this process with the prompts answered by a script.
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "platform/text.h"
#include "resource.h"
#include "tray/settings/preference_rules.h"
#include "tray/ui/preference_dialogs.h"

namespace corv {
namespace {

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A control's text without its mnemonic marks.
std::string Label(HWND dialog, int id) {
    wchar_t text[512] = L"";
    GetDlgItemTextW(dialog, id, text, 512);
    std::string label;
    for (char c : Narrow(text))
        if (c != '&') label += c;
    return label;
}

TEST(PreferenceTemplatesTest, EveryPageAndDialogHasItsControlsAndTexts) {
    const struct {
        int templateId;
        const char* caption;
        std::vector<std::pair<int, const char*>> controls;  // nullptr: any text
    } templates[] = {
        {IDD_PREFERENCES_GENERAL,
         "General",
         {{1019, "Run this program when Windows starts"},
          {1044, "Allow this program to run in the background"},
          {1065, "Always tunnel media"},
          {1077, "Automatically start Corvane when you login on your computer."}}},
        {IDD_PREFERENCES_ACCOUNTS, "Accounts", {{1017, ""}, {1021, ""}, {1046, "Edit..."}}},
        {IDD_PREFERENCES_CONNECTION,
         "Connection",
         {{1039, "Automatically detect internet settings"},
          {1045, "Direct connection to internet"},
          {1031, "Use configuration script"},
          {1041, "Use a secure proxy server"},
          {1025, ""},
          {1024, ""},
          {1002, ""},
          {1028, ""},
          {1051, ""},
          {1052, "Edit..."},
          {1047, "Advanced..."}}},
        {IDD_PREFERENCES_CLIENTS,
         "Clients",
         {{1045, "MSN Messenger and Windows Messenger"},
          {1074, "Use your .NET Passport account just as normal"},
          {1069, "Windows Messenger in Sip Mode"},
          {1070, "Use Windows Messenger as a Sip ip-telephony client"},
          {1067, "eConf"},
          {1068, "Use eConf as a Sip ip-telephony client"},
          {1071, "X-Lite"},
          {1072, "Use X-Lite as a Sip ip-telephony client"},
          {1073, "Custom Sip client"},
          {1076,
           "I want to setup my own Sip ip-telephony client manually, do not change any "
           "parameters automatically."},
          {1090, "Advanced..."}}},
        {IDD_PREFERENCES_SIP, "Sip", {{1029, ""}}},
        {IDD_ACCOUNT,
         "Accounts",
         {{1029, ""},
          {1042, ""},
          {1062, "Get Password!"},
          {1063, "Don't you have a password?"},
          {1064, "If you do not have a password, please contact your Corvane provider!"},
          {IDOK, "OK"},
          {IDCANCEL, "Cancel"}}},
        {IDD_PROXY_AUTH,
         "HTTP proxy authentication",
         {{1030, ""}, {1053, ""}, {IDOK, "OK"}, {IDCANCEL, "Cancel"}}},
        {IDD_ADVANCED_CLIENTS,
         "Advanced client settings",
         {{1045, "Dynamic"},
          {1079, "Fixed"},
          {1089, ""},
          {1029, ""},
          {1084, ""},
          {1088, ""},
          {IDOK, "OK"},
          {IDCANCEL, "Cancel"}}},
    };
    // Pages are child windows: they need a parent.
    HWND parent = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    for (const auto& t : templates) {
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(t.templateId),
                                         parent, &Inert, 0);
        ASSERT_NE(nullptr, dialog) << t.templateId;
        wchar_t caption[128] = L"";
        GetWindowTextW(dialog, caption, 128);
        EXPECT_EQ(t.caption, Narrow(caption)) << t.templateId;
        for (const auto& c : t.controls) {
            EXPECT_NE(nullptr, GetDlgItem(dialog, c.first)) << t.templateId << " " << c.first;
            if (*c.second) {
                EXPECT_EQ(c.second, Label(dialog, c.first)) << t.templateId;
            }
        }
        DestroyWindow(dialog);
    }
    DestroyWindow(parent);
}

// Runs a dialog modally here while `drive` works its window from another thread.
template <class D>
INT_PTR RunDriven(D& dialog, const char* title, const std::function<void(HWND)>& drive) {
    std::thread driver([&] {
        HWND w = nullptr;
        for (int i = 0; i < 300 && !w; ++i, Sleep(20))
            w = FindWindowW(L"#32770", Widen(title).c_str());
        if (!w) {
            ADD_FAILURE() << "no window " << title;
            return;
        }
        SendMessageW(w, WM_NULL, 0, 0);  // answered once the dialog is filled and running
        drive(w);
    });
    INT_PTR result = dialog.DoModal(nullptr);
    driver.join();
    return result;
}

void SetText(HWND dialog, int id, const char* text) {
    SetDlgItemTextW(dialog, id, Widen(text).c_str());
}
// Sent, so the dialog has handled the press when it returns.
void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

class PreferenceDialogsTest : public ::testing::Test {
  protected:
    ScopedMemoryRegistry registry_;
    ScopedScriptedPrompter prompts_;
};

TEST_F(PreferenceDialogsTest, ProxyAuthenticationRefusesHalfCredentialsAndUnreadableOnes) {
    CPreferences p;
    p.SetProxyAuth("bm9jb2xvbg==");  // no colon
    CProxyAuthDlg dialog(p);
    INT_PTR result = RunDriven(dialog, "HTTP proxy authentication", [](HWND w) {
        SetText(w, 1030, "proxyuser");
        Press(w, IDOK);  // no password: stays
        SetText(w, 1053, "pa:ss");
        Press(w, IDOK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ((std::vector<std::string>{"Could not retreive user/password information!",
                                        "You have specified a proxy user id but not a password!"}),
              prompts_.Texts());
    std::string user;
    ASSERT_TRUE(ProxyAuthUserOf(p, &user));
    EXPECT_EQ("proxyuser", user);
}

TEST_F(PreferenceDialogsTest, AdvancedSettingsCancelTakesBackTheModeButtons) {
    CPreferences p;
    CAllClientsDlg cancelled(p);
    EXPECT_EQ(IDCANCEL, RunDriven(cancelled, "Advanced client settings", [](HWND w) {
                  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(w, 1088)));
                  SendMessageW(GetDlgItem(w, 1079), BM_SETCHECK, BST_CHECKED, 0);
                  SendMessageW(GetDlgItem(w, 1045), BM_SETCHECK, BST_UNCHECKED, 0);
                  Press(w, 1079);  // "Fixed": the copy changes at once, the fields open
                  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(w, 1088)));
                  Press(w, IDCANCEL);
              }));
    EXPECT_EQ("dynamic", p.GetSyncMode());

    CAllClientsDlg accepted(p);
    EXPECT_EQ(IDOK, RunDriven(accepted, "Advanced client settings", [](HWND w) {
                  SendMessageW(GetDlgItem(w, 1079), BM_SETCHECK, BST_CHECKED, 0);
                  SendMessageW(GetDlgItem(w, 1045), BM_SETCHECK, BST_UNCHECKED, 0);
                  Press(w, 1079);
                  SetText(w, 1084, "70000");
                  Press(w, IDOK);  // refused: stays
                  SetText(w, 1084, "");
                  Press(w, IDOK);
              }));
    EXPECT_EQ((std::vector<std::string>{"Illegal SIP port!"}), prompts_.Texts());
    EXPECT_EQ("fixed", p.GetSyncMode());
    EXPECT_EQ(0, p.GetFixedSipPort());
    EXPECT_EQ(0, p.GetFixedSocksPort());
}

}  // namespace
}  // namespace corv
