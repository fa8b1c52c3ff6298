// Starts the real corvtray.exe with registry fixtures, posts it messages as the installer and
// the shell do, and checks its window, its registry values and its log.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace corv {
namespace {

const char kVelmora[] = "Software\\Velmora";
const char kPrefs[] = "Software\\Velmora\\Corvane\\Preferences";
const char kSettings[] = "Software\\Velmora\\Corvane\\Settings";
const char kLogger[] = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";
constexpr unsigned kQuit = 33518, kHide = 33519;
constexpr DWORD kBound = 30000;  // a safety bound for waits, not a measure

// The build's Unix path as Wine sees it.
std::wstring TrayExe() {
    std::string path = CORVTRAY_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return Widen(path[0] == '\\' ? "Z:" + path : path);
}

class TrayProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        home_ = Narrow(temp) + "corv-tray-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryW(Widen(home_).c_str(), nullptr);
        Clean();
        SetString(kPrefs, "Home", home_);
        // An installed client has an account; without one the start asks for it.
        SetString(kPrefs, "UserId", "tester");
        SetString(kPrefs, "Passwd", "digest");
        SetString(kLogger, "log/Format1814", "ascii");
    }
    void TearDown() override {
        if (process_) {
            if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
            CloseHandle(process_);
        }
        Clean();
        std::string logs = home_ + "\\logs\\";
        for (int i = 0; i < 5; ++i)
            DeleteFileW(Widen(logs + "start" + std::to_string(i) + ".log").c_str());
        RemoveDirectoryW(Widen(logs).c_str());
        RemoveDirectoryW(Widen(home_).c_str());
    }
    void Clean() {
        RegKey software;
        if (software.Open(RegRoot::CurrentUser, "Software", kRegReadWrite) == kOk)
            software.DeleteTree("Velmora");
        RegKey machine;
        if (machine.Open(RegRoot::LocalMachine, "Software", kRegReadWrite) == kOk)
            machine.DeleteTree("Velmora");
    }

    static void SetString(const char* path, const char* name, const std::string& v) {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, path));
        ASSERT_EQ(kOk, key.SetString(name, v));
    }
    static void SetDword(RegRoot root, const char* path, const char* name, uint32_t v) {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(root, path));
        ASSERT_EQ(kOk, key.SetDword(name, v));
    }
    static bool HasValue(const char* path, const char* name) {
        RegKey key;
        RegValue v;
        return key.Open(RegRoot::CurrentUser, path) == kOk && key.QueryValue(name, &v) == kOk;
    }

    // Starts the program and waits for its window.
    void Launch(const std::wstring& args = L"") {
        std::wstring line = L"\"" + TrayExe() + L"\" " + args;
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &si, &pi))
            << Narrow(line);
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        for (DWORD waited = 0; !window_ && waited < kBound; waited += 50) {
            window_ = FindOwnWindow(pi.dwProcessId);
            if (!window_) Sleep(50);
        }
        ASSERT_NE(nullptr, window_);
        // Start-up is over once the program waits in its message loop (a sent message alone
        // may be handled earlier, by a call that pumps messages during start-up).
        WaitForInputIdle(process_, kBound);
        DWORD_PTR result = 0;
        ASSERT_NE(0, SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, kBound, &result));
    }

    // The frame (or another top-level window) of that process, not one of an earlier run that
    // is still going.
    static HWND FindOwnWindow(DWORD pid, const wchar_t* windowClass = L"CorvaneMainFrame") {
        struct Search {
            DWORD pid;
            const wchar_t* windowClass;
            HWND found;
        } search{pid, windowClass, nullptr};
        EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                wchar_t cls[64] = L"";
                GetClassNameW(w, cls, 64);
                if (owner == s->pid && std::wstring(cls) == s->windowClass) s->found = w;
                return s->found == nullptr;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    bool Ended() { return WaitForSingleObject(process_, kBound) == WAIT_OBJECT_0; }

    // Delivers the message and returns once it is handled. Sent, not posted: a waiting sent
    // message is handled before any posted one, so a posted message followed by a sent probe
    // may still be pending when the probe returns.
    void Deliver(UINT message) {
        DWORD_PTR result = 0;
        ASSERT_NE(0, SendMessageTimeoutW(window_, message, 0, 0, SMTO_NORMAL, kBound, &result));
    }

    // Answers the process's message box with OK once it shows; its text, empty when none came.
    std::string AnswerMessageBox() {
        struct Search {
            DWORD pid;
            HWND found;
        } search{GetProcessId(process_), nullptr};
        for (DWORD waited = 0; waited < kBound; waited += 50, Sleep(50)) {
            EnumWindows(
                [](HWND w, LPARAM p) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(p);
                    DWORD owner = 0;
                    GetWindowThreadProcessId(w, &owner);
                    wchar_t cls[64] = L"";
                    GetClassNameW(w, cls, 64);
                    if (owner == s->pid && std::wstring(cls) == L"#32770") s->found = w;
                    return s->found == nullptr;
                },
                reinterpret_cast<LPARAM>(&search));
            wchar_t text[512] = L"";
            if (search.found && GetDlgItemTextW(search.found, 0xFFFF, text, 512) > 0) {
                PostMessageW(search.found, WM_COMMAND, IDOK, 0);
                return Narrow(text);
            }
            search.found = nullptr;
        }
        return std::string();
    }

    bool TrayIconPresent() {
        NOTIFYICONDATAW nid = {};
        nid.cbSize = NOTIFYICONDATAW_V2_SIZE;
        nid.hWnd = window_;
        nid.uID = 128;
        return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
    }

    std::string Log() {
        std::string text;
        ReadFileText(home_ + "\\logs\\start0.log", &text);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    std::string home_;
    HANDLE process_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(TrayProgramTest, QuitFromTheInstallerEndsTheProgramAndRemovesTheStatusValues) {
    SetString(kSettings, "Status", "Connected to server");  // as a running client leaves them
    SetString(kSettings, "StatusCode", "Connected");
    Launch();
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
    DWORD code = 1;
    GetExitCodeProcess(process_, &code);
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(HasValue(kSettings, "Status"));
    EXPECT_FALSE(HasValue(kSettings, "StatusCode"));
    EXPECT_TRUE(HasValue(kSettings, "XPos"));  // the window's place is kept
    std::string log = Log();
    size_t quit = log.find("CMainFrame Received OnQuitCorvane\n");
    size_t exiting = log.find("CMainFrame::OnClose() Exiting...\n");
    size_t exitLine = log.find("~CCorvanApp Exiting at ");
    ASSERT_NE(std::string::npos, exitLine) << log;
    EXPECT_LT(quit, exiting);
    EXPECT_LT(exiting, exitLine);
}

TEST_F(TrayProgramTest, CloseOnlyHidesWhileRunningInBackground) {
    Launch();
    EXPECT_TRUE(IsWindowVisible(window_));
    Deliver(WM_CLOSE);
    EXPECT_FALSE(IsWindowVisible(window_)) << Log();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process_, 0));
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
    EXPECT_NE(std::string::npos, Log().find("CMainFrame::OnClose() Closing...\n"));
}

TEST_F(TrayProgramTest, CloseEndsTheProgramWithoutRunInBackground) {
    SetDword(RegRoot::CurrentUser, kPrefs, "AllowBckgrnd", 0);
    Launch();
    PostMessageW(window_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Ended());
    EXPECT_NE(std::string::npos, Log().find("CMainFrame::OnClose() Exiting...\n"));
}

TEST_F(TrayProgramTest, HideAllGivesNoTrayIconAndIgnoresTheHideMessage) {
    SetDword(RegRoot::LocalMachine, kPrefs, "HideAll", 1);
    Launch();
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_FALSE(TrayIconPresent());
    Deliver(kHide);
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
    EXPECT_NE(std::string::npos, Log().find("CMainFrame Ignored OnHideMsg, HideAll is set\n"));
}

// Needs a notification area: run under Xvfb with a desktop that has a taskbar.
TEST_F(TrayProgramTest, TrayIconShownUnlessHideAll) {
    if (!FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "no notification area";
    Launch(L"/hide");
    EXPECT_TRUE(TrayIconPresent());
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
    EXPECT_FALSE(TrayIconPresent());  // removed on the way out

    window_ = nullptr;
    CloseHandle(process_);
    process_ = nullptr;
    SetDword(RegRoot::CurrentUser, kPrefs, "HideAll", 1);
    Launch();
    EXPECT_FALSE(TrayIconPresent());
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
}

// Needs a notification area, as the test above.
TEST_F(TrayProgramTest, RefusedStartLeavesNoTrayIcon) {
    if (!FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "no notification area";
    Launch(L"/hide");
    HWND first = window_;
    HANDLE firstProcess = process_;
    window_ = nullptr;
    process_ = nullptr;
    // The second start shows its "already running" box with its icon in place.
    std::wstring line = L"\"" + TrayExe() + L"\" /hide";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(
        CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    HWND box = nullptr;
    for (DWORD waited = 0; !box && waited < kBound; waited += 50) {
        window_ = FindOwnWindow(pi.dwProcessId);
        box = FindOwnWindow(pi.dwProcessId, L"#32770");
        if (!box) Sleep(50);
    }
    ASSERT_NE(nullptr, box);
    ASSERT_NE(nullptr, window_);
    EXPECT_TRUE(TrayIconPresent());
    // A box that is still being set up may lose the answer: answer until the process ends.
    for (DWORD waited = 0; WaitForSingleObject(process_, 100) == WAIT_TIMEOUT && waited < kBound;
         waited += 100)
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(Ended());
    EXPECT_FALSE(TrayIconPresent());

    CloseHandle(process_);
    process_ = firstProcess;
    window_ = first;
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
}

// Needs a notification area, as the tests above. A restarted Explorer announces its new
// taskbar, which holds none of the old icons.
TEST_F(TrayProgramTest, TrayIconComesBackWhenTheTaskbarIsCreatedAgain) {
    if (!FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "no notification area";
    Launch(L"/hide");
    ASSERT_TRUE(TrayIconPresent());
    NOTIFYICONDATAW gone = {};
    gone.cbSize = NOTIFYICONDATAW_V2_SIZE;
    gone.hWnd = window_;
    gone.uID = 128;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));  // as the old taskbar's end leaves it
    ASSERT_FALSE(TrayIconPresent());
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, kBound, &result);
    EXPECT_TRUE(TrayIconPresent());
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
    EXPECT_FALSE(TrayIconPresent());
    EXPECT_NE(std::string::npos,
              Log().find("CMainFrame: tray icon added again for the new taskbar\n"));
}

TEST_F(TrayProgramTest, TheEndOfTheWindowsSessionIsAnOrderlyExit) {
    Launch(L"/hide");
    // What the running client publishes once Java runs (no Java runtime runs here).
    SetString(kSettings, "ActiveIpAddress", "127.0.0.7");
    SetString(kSettings, "Status", "Connected to server");
    DWORD_PTR answer = 0;
    ASSERT_NE(0, SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                     kBound, &answer));
    EXPECT_EQ(static_cast<DWORD_PTR>(TRUE), answer);
    // The system may end the process as soon as the message is answered. Queued work keeps the
    // program's loop busy after the answer, so that ending it here comes first, as it would.
    DWORD thread = GetWindowThreadProcessId(window_, nullptr);
    for (int i = 0; i < 2000; ++i) PostThreadMessageW(thread, WM_NULL, 0, 0);
    ASSERT_NE(0, SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                     kBound, &answer));
    TerminateProcess(process_, 1);
    ASSERT_TRUE(Ended());
    EXPECT_FALSE(HasValue(kSettings, "ActiveIpAddress"));
    EXPECT_FALSE(HasValue(kSettings, "Status"));
    EXPECT_TRUE(HasValue(kSettings, "XPos"));
    std::string log = Log();
    size_t ending = log.find("CMainFrame::OnEndSession() Exiting...\n");
    size_t exitLine = log.find("~CCorvanApp Exiting at ");
    ASSERT_NE(std::string::npos, exitLine) << log;
    EXPECT_LT(ending, exitLine);
}

TEST_F(TrayProgramTest, HideMessageSwapsTheTrayMenuWhenHideGuiChanges) {
    Launch(L"/hide");
    EXPECT_FALSE(IsWindowVisible(window_));
    SetDword(RegRoot::CurrentUser, kPrefs, "HideGUI", 1);
    Deliver(kHide);
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("CMainFrame Received OnHideMsg\n"));
    EXPECT_NE(std::string::npos, log.find("CMainFrame: destroyed old systray menu\n"));
    EXPECT_NE(std::string::npos, log.find("CMainFrame: loaded IDR_TRAYMENUHIDE_NOREAD\n"));
}

TEST_F(TrayProgramTest, StoredPositionOutsideTheScreenIsIgnored) {
    SetDword(RegRoot::CurrentUser, kSettings, "XPos", 5000);
    SetDword(RegRoot::CurrentUser, kSettings, "YPos", 100);
    Launch();
    RECT r;
    GetWindowRect(window_, &r);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 10, r.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 10, r.top);
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());

    window_ = nullptr;
    CloseHandle(process_);
    process_ = nullptr;
    SetDword(RegRoot::CurrentUser, kSettings, "XPos", 150);  // YPos is the stored top
    Launch();
    GetWindowRect(window_, &r);
    EXPECT_EQ(150, r.left);
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
}

TEST_F(TrayProgramTest, EveryPrivateMessageIsLogged) {
    // No messenger is set up here: with their synchronisation on, the messenger switch would
    // rightly ask about the messengers it cannot reach.
    SetString(kPrefs, "SyncMessenger", "0");
    SetString(kPrefs, "SyncMsnMessenger", "0");
    Launch(L"/hide");
    for (UINT m = 33419; m <= 33428; ++m)
        if (m != 33425) Deliver(m);
    Deliver(33430);
    // A restart or reconnect: Home holds no program to start, so each ends in a message box.
    for (UINT m : {33425u, 33520u, 33431u}) {
        PostMessageW(window_, m, 0, 0);
        EXPECT_NE("", AnswerMessageBox()) << m;
    }
    PostMessageW(window_, kQuit, 0, 0);
    ASSERT_TRUE(Ended());
    std::string log = Log();
    for (const char* name :
         {"OnSyncMessenger", "OnJavaLog", "OnVerifyInstallation", "OnScriptLog", "OnScriptFinished",
          "OnRegMonLog", "OnRestartCorvane", "OnReloadClientSettings", "OnSipPortUpdated",
          "OnSocksPortUpdated", "OnHttpProxyUpdate", "OnIpAddrRegistered", "OnIpAddrReleased"})
        EXPECT_NE(std::string::npos, log.find(std::string("CMainFrame Received ") + name + "\n"))
            << name;
}

}  // namespace
}  // namespace corv
