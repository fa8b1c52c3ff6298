// The preferences sheet and the account dialog of the real corvtray.exe under Wine: the windows
// are found by title, their controls set with messages, buttons pressed, and the registry and
// the log read afterwards.
#include <windows.h>
// The headers below need the types of windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <winsock2.h>

#include <map>
#include <string>

#include "platform/text.h"
#include "tests/support/tray_process.h"

namespace corv::test {
namespace {

const char* const kPrefs = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char* const kSettings = "SOFTWARE\\Velmora\\Corvane\\Settings";
const char* const kLogger = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";
const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr unsigned kPreferencesCommand = 144;
enum Page { kGeneral, kAccounts, kConnection, kClients, kSip };

std::string User(const char* name) {
    return ReadValue(HKEY_CURRENT_USER, kPrefs, name);
}

// Every value of the user's Preferences key, as text.
std::map<std::string, std::string> UserPreferences() {
    std::map<std::string, std::string> values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(kPrefs).c_str(), 0, KEY_READ, &key)) return values;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD n = 256;
        if (RegEnumValueW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr)) break;
        values[Narrow(name)] = User(Narrow(name).c_str());
    }
    RegCloseKey(key);
    return values;
}

// This machine's first address, which the client accepts as its fixed local address.
std::string HostAddress() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 0), &wsa);
    char host[256] = "";
    std::string address;
    if (gethostname(host, sizeof(host)) == 0)
        if (hostent* h = gethostbyname(host))
            if (h->h_addr_list[0])
                address = inet_ntoa(*reinterpret_cast<in_addr*>(h->h_addr_list[0]));
    WSACleanup();
    return address;
}

void SetText(HWND dialog, int id, const std::string& text) {
    std::wstring w = Widen(text);
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

void Check(HWND dialog, int id, bool on) {
    SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool WaitUntilGone(HWND window) {
    for (int i = 0; i < 300 && IsWindow(window); ++i) Sleep(50);
    return !IsWindow(window);
}

class DialogsWineTest : public ::testing::Test {
  protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        ClearFixtures();
        HKEY run;
        if (!RegOpenKeyExW(HKEY_CURRENT_USER, Widen(kRun).c_str(), 0, KEY_WRITE, &run)) {
            RegDeleteValueW(run, L"VelmoraCorvan");
            RegCloseKey(run);
        }
    }

    // Home, a plain-text log, no Run entry to write.
    HWND Start(TrayProcess& tray) {
        SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
        SetDword(HKEY_CURRENT_USER, kPrefs, "LaunchAtStartup", 0);
        SetString(HKEY_CURRENT_USER, kLogger, "log/Format1814", "ascii");
        EXPECT_TRUE(tray.Start()) << "error " << GetLastError();
        return tray.WaitForWindow("Corvane");
    }
    HWND OpenSheet(TrayProcess& tray, HWND frame) {
        PostMessageW(frame, WM_COMMAND, kPreferencesCommand, 0);
        return WaitForProcessWindow(tray.Pid(), "Preferences", 15000, L"#32770");
    }
    // Selects a page and answers the page that was active (its check runs first).
    static HWND SelectPage(HWND sheet, Page page) {
        PostMessageW(sheet, PSM_SETCURSEL, page, 0);
        for (int i = 0; i < 300; ++i, Sleep(50)) {
            auto current =
                reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
            if (SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(current), 0) == page)
                return current;
        }
        return nullptr;
    }
    // The text of the message box the program shows next, answered with OK and gone.
    static std::string Box(TrayProcess& tray) {
        std::string text = tray.AnswerMessageBox();
        for (int i = 0; i < 300; ++i, Sleep(50)) {
            bool open = false;
            std::pair<DWORD, bool*> search(tray.Pid(), &open);
            EnumWindows(
                [](HWND w, LPARAM p) -> BOOL {
                    auto* s = reinterpret_cast<std::pair<DWORD, bool*>*>(p);
                    DWORD pid = 0;
                    GetWindowThreadProcessId(w, &pid);
                    if (pid == s->first && GetDlgItem(w, 0xFFFF)) *s->second = true;
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            if (!open) break;
        }
        return text;
    }
};

TEST_F(DialogsWineTest, AValueTheJavaClientDoesNotReadIsOnlySavedAndTheSheetOpensOnce) {
    TrayProcess tray("saved");
    HWND frame = Start(tray);
    ASSERT_NE(nullptr, frame);
    HWND sheet = OpenSheet(tray, frame);
    ASSERT_NE(nullptr, sheet);
    // A second "Preferences..." brings the open sheet forward instead of making another.
    PostMessageW(frame, WM_COMMAND, kPreferencesCommand, 0);
    DWORD_PTR done = 0;
    SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &done);
    int sheets = 0;
    for (HWND w = FindWindowW(L"#32770", L"Preferences"); w;
         w = FindWindowExW(nullptr, w, L"#32770", L"Preferences"))
        ++sheets;
    EXPECT_EQ(1, sheets);

    HWND general = SelectPage(sheet, kGeneral);
    ASSERT_NE(nullptr, general);
    Check(general, 1044, false);  // "Allow this program to run in the background"
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(WaitUntilGone(sheet));
    SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &done);
    EXPECT_EQ("0", User("AllowBckgrnd"));
    EXPECT_TRUE(tray.Running());
    EXPECT_EQ(0, tray.CloseAndWait(frame));
    std::string log = tray.ReadLog();
    EXPECT_EQ(std::string::npos, log.find("User changed preferences from dialog window")) << log;
}

TEST_F(DialogsWineTest, ARefusedConnectionPageStaysOpenUntilItsValuesAreRight) {
    TrayProcess tray("refused");
    HWND frame = Start(tray);
    ASSERT_NE(nullptr, frame);
    HWND sheet = OpenSheet(tray, frame);
    ASSERT_NE(nullptr, sheet);
    HWND page = SelectPage(sheet, kConnection);
    ASSERT_NE(nullptr, page);
    Check(page, 1039, false);
    Check(page, 1041, true);  // "Use a secure proxy server"
    const struct {
        const char* address;
        const char* port;
        const char* message;
    } refused[] = {
        {"localhost:8080", "3128",
         "Illegal format: localhost:8080    3128 \n\nYou have specified two ports: 8080 and 3128!"},
        {"localhost", "70000", "Illegal port value!"},
        {"http://localhost", "", "Illegal protocol: http \n\nPlease specify an https address!\n"},
    };
    for (const auto& r : refused) {
        SetText(page, 1024, r.address);
        SetText(page, 1002, r.port);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        EXPECT_EQ(r.message, Box(tray)) << r.address;
        // The same page stays active: the next round works on it.
        ASSERT_TRUE(IsWindow(sheet)) << r.address;
    }
    EXPECT_EQ("<absent>", User("UseProxy"));

    SetText(page, 1024, "https://localhost:8443");
    SetText(page, 1002, "");
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(WaitUntilGone(sheet));
    DWORD_PTR done = 0;
    SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &done);
    EXPECT_EQ("1", User("UseProxy"));
    EXPECT_EQ("0", User("AutoDetection"));
    EXPECT_EQ("localhost", User("HttpsProxyAddress"));
    EXPECT_EQ("8443", User("HttpsProxyPort"));
    EXPECT_EQ(0, tray.CloseAndWait(frame));
    // No Java client runs here: the changed proxy starts it instead of a restart.
    EXPECT_NE(std::string::npos,
              tray.ReadLog().find("User changed preferences from dialog window, starting Java "
                                  "client\n"));
}

TEST_F(DialogsWineTest, CancelKeepsEverythingButTheSipAddressWrittenOnLeavingItsPage) {
    TrayProcess tray("cancel");
    SetString(HKEY_LOCAL_MACHINE, kPrefs, "Url", "http://localhost/");  // the all-users key
    HWND frame = Start(tray);
    ASSERT_NE(nullptr, frame);
    DWORD_PTR done = 0;
    SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &done);
    std::map<std::string, std::string> before = UserPreferences();
    HWND sheet = OpenSheet(tray, frame);
    ASSERT_NE(nullptr, sheet);

    HWND page = SelectPage(sheet, kGeneral);
    Check(page, 1044, false);
    Check(page, 1065, true);
    page = SelectPage(sheet, kConnection);
    ASSERT_NE(nullptr, page);
    Check(page, 1039, false);
    Check(page, 1045, true);  // "Direct connection to internet"
    page = SelectPage(sheet, kClients);
    ASSERT_NE(nullptr, page);
    page = SelectPage(sheet, kSip);
    ASSERT_NE(nullptr, page);
    SetText(page, 1029, "  sip.localhost:5060 ");
    ASSERT_NE(nullptr, SelectPage(sheet, kGeneral));
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(sheet));
    SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &done);

    EXPECT_EQ(before, UserPreferences());
    EXPECT_EQ("sip.localhost:5060", ReadValue(HKEY_LOCAL_MACHINE, kPrefs, "externalSipAddress"));
    EXPECT_EQ(0, tray.CloseAndWait(frame));
}

TEST_F(DialogsWineTest, AChangedProxyPortWhileTheClientRunsRestartsTheProgram) {
    TrayProcess tray("restart");
    // A client that stays up: the stand-in runtime as the installation's own Java.
    std::string vm = tray.Home() + "\\jre-1.4.2\\bin\\client";
    for (const char* folder : {"\\jre-1.4.2", "\\jre-1.4.2\\bin", "\\jre-1.4.2\\bin\\client"})
        CreateDirectoryW(Widen(tray.Home() + folder).c_str(), nullptr);
    ASSERT_TRUE(
        CopyFileW(Widen(WindowsPathOf(FAKE_JVM)).c_str(), Widen(vm + "\\jvm.dll").c_str(), FALSE));
    std::string address = HostAddress();
    ASSERT_FALSE(address.empty());
    SetString(HKEY_CURRENT_USER, kPrefs, "MainClass", "corvane.testclient.StayingClient");
    SetString(HKEY_CURRENT_USER, kPrefs, "SyncMode", "fixed");
    SetString(HKEY_CURRENT_USER, kPrefs, "LocalIpAddress", address);
    HWND frame = Start(tray);
    ASSERT_NE(nullptr, frame);
    // The client is up once it published its address.
    for (int i = 0;
         i < 300 && ReadValue(HKEY_CURRENT_USER, kSettings, "ActiveIpAddress") == "<absent>"; ++i)
        Sleep(50);
    ASSERT_EQ(address, ReadValue(HKEY_CURRENT_USER, kSettings, "ActiveIpAddress"));

    HWND sheet = OpenSheet(tray, frame);
    ASSERT_NE(nullptr, sheet);
    HWND page = SelectPage(sheet, kConnection);
    ASSERT_NE(nullptr, page);
    Check(page, 1039, false);
    Check(page, 1041, true);
    SetText(page, 1024, "localhost");
    SetText(page, 1002, "3128");
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    EXPECT_EQ("Corvane will be restarted now to make changes take effect!", Box(tray));
    EXPECT_EQ(0, tray.WaitForExit(30000));
    EXPECT_EQ("3128", User("HttpsProxyPort"));

    // The new copy may have moved this run's log aside already.
    std::string log = tray.ReadLog("logs\\start1.log") + tray.ReadLog();
    std::string started = "Started \"" + tray.Home() + "\\corvtray.exe /WaitOnRestart\" with pid: ";
    size_t at = log.find(started);
    ASSERT_NE(std::string::npos, at) << log;
    EXPECT_NE(std::string::npos,
              log.find("User changed preferences from dialog window, doing a restart\n"));
    // The new copy comes up after the old one ended; it is ended here as the installer would.
    unsigned pid = static_cast<unsigned>(std::stoul(log.substr(at + started.size())));
    HANDLE copy = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(nullptr, copy);
    HWND next = WaitForProcessWindow(pid, "Corvane", 30000);
    EXPECT_NE(nullptr, next);
    if (next) PostMessageW(next, 33518, 0, 0);
    if (WaitForSingleObject(copy, 30000) != WAIT_OBJECT_0) TerminateProcess(copy, 1);
    CloseHandle(copy);
    EXPECT_NE(std::string::npos, tray.ReadLog().find("Parameters: /WaitOnRestart")) << log;
}

TEST_F(DialogsWineTest, AFirstStartAsksForTheAccountAndStoresOnlyItsDigest) {
    TrayProcess tray("account");
    tray.WithoutAccount();
    SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
    SetString(HKEY_CURRENT_USER, kPrefs, "Url", "C:\\no\\such\\folder\\signup.htm");
    SetDword(HKEY_CURRENT_USER, kPrefs, "LaunchAtStartup", 0);
    SetString(HKEY_CURRENT_USER, kLogger, "log/Format1814", "ascii");
    ASSERT_TRUE(tray.Start());
    HWND dialog = WaitForProcessWindow(tray.Pid(), "Accounts", 15000, L"#32770");
    ASSERT_NE(nullptr, dialog);
    // "Get Password!" is offered (the dialog itself may not be shown yet).
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, 1062), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(dialog, 1064), GWL_STYLE) & WS_VISIBLE);

    Press(dialog, 1062);
    EXPECT_EQ(
        "Could not open your default Web Browser (Error 2)!\n\nPlease go to the web page: "
        "C:\\no\\such\\folder\\signup.htm",
        Box(tray));
    SetText(dialog, 1029, "  ");
    Press(dialog, IDOK);
    EXPECT_EQ("User id and password cannot be empty!", Box(tray));
    SetText(dialog, 1029, " alice ");
    SetText(dialog, 1042, "secret");
    Press(dialog, IDOK);
    ASSERT_TRUE(WaitUntilGone(dialog));

    HWND frame = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ("alice", User("UserId"));
    // md5("alice:corvane.example:secret")
    EXPECT_EQ("4e51673885c901eeb478366a27a167eb", User("Passwd"));
    EXPECT_NE("Disabled: missing userid/password",
              ReadValue(HKEY_CURRENT_USER, kSettings, "Status"));
    EXPECT_EQ(0, tray.CloseAndWait(frame));
    std::string log = tray.ReadLog();
    EXPECT_NE(std::string::npos, log.find("Saving password: ********\n")) << log;
    EXPECT_EQ(std::string::npos, log.find("secret"));
    EXPECT_EQ(std::string::npos, log.find("4e51673885c901eeb478366a27a167eb"));
}

}  // namespace
}  // namespace corv::test
