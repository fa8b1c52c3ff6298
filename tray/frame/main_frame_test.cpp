// The main frame in this process, with real windows (Wine's null display driver is enough).
#include "tray/frame/main_frame.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/memory_registry.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "resources/resource.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/core/status_publisher.h"
#include "tray/core/status_text.h"
#include "tray/java/gui_listener.h"

namespace corv {
namespace {

const char kPrefs[] = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char kSettings[] = "Software\\Velmora\\Corvane\\Settings";

class RecordingConfigMgr : public CConfigMgr {
  public:
    void SyncClientSettings(int enable) override {
        calls.push_back("clients " + std::to_string(enable));
    }
    void VerifyInstallation() override { calls.push_back("verify"); }
    void OnSipPortUpdated(int port) override { calls.push_back("sip " + std::to_string(port)); }
    unsigned StartProcess(const std::string& program, const std::string& arguments,
                          const std::string&) override {
        calls.push_back("start " + program + " " + arguments);
        return 77;
    }
    std::vector<std::string> calls;
};

class FakeListener : public DefaultFrameListener {
  public:
    BalloonData GetBalloon() const override { return balloon; }
    int GetSipPort() const override { return 5099; }
    BalloonData balloon;
};

class RecordingNotifier : public TaskbarNotifier {
  public:
    explicit RecordingNotifier(std::vector<std::wstring>* shown) : shown_(shown) {}
    void Show(const std::wstring& text, unsigned, unsigned, unsigned) override {
        shown_->push_back(text);
    }
    LRESULT OnEvent(WPARAM, LPARAM) override { return 0; }

  private:
    std::vector<std::wstring>* shown_;
};

class MainFrameTest : public ::testing::Test {
  protected:
    // The log goes to a plain-text file of a fresh folder.
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int counter = 0;
        home_ = Narrow(temp) + "corv-frame-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        CreateDirectoryW(Widen(home_).c_str(), nullptr);
        RegKey logger;
        ASSERT_EQ(kOk, logger.Create(RegRoot::CurrentUser,
                                     "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger"));
        logger.SetString("log/Format1814", "ascii");
        TheLog().ReadConfiguration();
        ASSERT_TRUE(TheLog().Open(home_, ""));
    }
    void TearDown() override {
        frame_.reset();
        SetMainPoster(nullptr);
        Pump();
        TheLog().Close();
        std::string logs = home_ + "\\logs\\";
        for (int i = 0; i < 5; ++i)
            DeleteFileW(Widen(logs + "start" + std::to_string(i) + ".log").c_str());
        RemoveDirectoryW(Widen(logs).c_str());
        RemoveDirectoryW(Widen(home_).c_str());
    }
    std::string Said() {
        TheLog().Flush();
        std::string text;
        ReadFileText(home_ + "\\logs\\start0.log", &text);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    void SetPref(RegRoot root, const char* name, uint32_t v) {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(root, kPrefs));
        ASSERT_EQ(kOk, key.SetDword(name, v));
    }

    void Start(bool withConfigMgr = true) {
        frame_ = std::make_unique<CMainFrame>();
        frame_->SetListener(&listener_);
        if (withConfigMgr) frame_->AttachConfigMgr(&cm_);
        ASSERT_TRUE(frame_->CreateFrame());
        poster_ = std::make_unique<WindowPoster>(frame_->Handle());
        SetMainPoster(poster_.get());
    }

    // Handles what is queued; true when the frame asked the loop to end.
    bool Pump() {
        bool quit = false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) quit = true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return quit;
    }

    bool Post(unsigned message, WPARAM w = 0, LPARAM l = 0) {
        PostMessageW(frame_->Handle(), message, w, l);
        return Pump();
    }

    std::wstring StatusBarText() {
        HWND bar = FindWindowExW(frame_->Handle(), nullptr, STATUSCLASSNAMEW, nullptr);
        wchar_t buf[512] = {};
        GetWindowTextW(bar, buf, 512);
        return buf;
    }

    std::string Value(const std::string& name) {
        RegKey key;
        std::string v = "<none>";
        if (key.Open(RegRoot::CurrentUser, kSettings) == kOk) key.QueryString(name, &v);
        return v;
    }

    ScopedMemoryRegistry registry_;
    RecordingConfigMgr cm_;
    FakeListener listener_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<WindowPoster> poster_;
    std::string home_;
};

TEST_F(MainFrameTest, StatusTextReachesRegistryAndStatusBarAndLeavesOnDestruction) {
    Start();
    const std::string text = "Connected to server \xc3\xbc\xe2\x82\xac";  // ü€
    SetStatusText(text);
    Pump();
    EXPECT_EQ(text, Value("Status"));
    EXPECT_EQ("Connected", Value("StatusCode"));
    EXPECT_EQ(Widen(text), StatusBarText());

    SetStatusText("Authenticating user at server...");  // after Connected: shown, not stored
    Pump();
    EXPECT_EQ(L"Authenticating user at server...", StatusBarText());
    EXPECT_EQ(text, Value("Status"));

    cm_.SetRunInBackground(false);
    EXPECT_TRUE(Post(WM_CLOSE));
    EXPECT_EQ("<none>", Value("Status"));
    EXPECT_EQ("<none>", Value("StatusCode"));
    Said();
}

TEST_F(MainFrameTest, AStatusFromTheJavaListenerEndsInTheRegistryAndTheStatusBar) {
    Start();
    CJniListener* listener = &TheGuiListener();  // what the bridge's natives call, slot 0
    listener->setStatusBar("Signed-in as bob");
    Pump();
    EXPECT_EQ("Signed-in as bob", Value("Status"));
    EXPECT_EQ("SignedIn", Value("StatusCode"));
    EXPECT_EQ(L"Signed-in as bob", StatusBarText());
}

TEST_F(MainFrameTest, OtherStatusMessagesGetTheDefaultHandling) {
    Start();
    EXPECT_EQ(L"Ready", StatusBarText());
    Post(kMsgSetMessageString, 140);  // a command's prompt, as a frame shows it
    EXPECT_EQ("<none>", Value("Status"));
    EXPECT_EQ(L"Show Corvane Window", StatusBarText());
}

TEST_F(MainFrameTest, PrivateMessagesReachTheControllerAndTimerVerifiesOnce) {
    Start();
    Post(kMsgSipPortUpdated);
    Post(WM_TIMER, CMainFrame::kVerifyTimer);
    EXPECT_EQ((std::vector<std::string>{"sip 5099", "verify"}), cm_.calls);
    EXPECT_NE(std::string::npos, Said().find("CMainFrame Received OnSipPortUpdated\n"));
}

TEST_F(MainFrameTest, WithoutControllerHandlersOnlyLog) {
    Start(false);
    Post(kMsgVerifyInstallation);
    Post(WM_TIMER, CMainFrame::kVerifyTimer);
    EXPECT_TRUE(cm_.calls.empty());
    EXPECT_NE(std::string::npos, Said().find("CMainFrame Received OnVerifyInstallation\n"));
}

TEST_F(MainFrameTest, MinimiseHidesAndCloseHidesOnlyWhenRunningInBackground) {
    Start();
    ShowWindow(frame_->Handle(), SW_SHOW);
    SendMessageW(frame_->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(frame_->Handle()));
    EXPECT_FALSE(IsIconic(frame_->Handle()));

    ShowWindow(frame_->Handle(), SW_SHOW);
    cm_.SetRunInBackground(true);
    EXPECT_FALSE(Post(WM_CLOSE));
    EXPECT_TRUE(IsWindow(frame_->Handle()));
    EXPECT_FALSE(IsWindowVisible(frame_->Handle()));

    EXPECT_TRUE(Post(kMsgQuitCorvane));  // clears the flag and closes for good
    EXPECT_FALSE(cm_.GetRunInBackground());
    EXPECT_EQ(nullptr, frame_->Handle());
    EXPECT_TRUE(cm_.IsWindowClosed());
    EXPECT_EQ((std::vector<std::string>{"clients 0"}), cm_.calls);
    std::string said = Said();
    size_t closing = said.find("CMainFrame::OnClose() Closing...\n");
    size_t quit = said.find("CMainFrame Received OnQuitCorvane\n");
    size_t exiting = said.find("CMainFrame::OnClose() Exiting...\n");
    ASSERT_NE(std::string::npos, exiting) << said;
    EXPECT_LT(closing, quit);
    EXPECT_LT(quit, exiting);
}

TEST_F(MainFrameTest, TheReconnectCommandStartsANewCopyAndEndsThisOne) {
    cm_.Prefs().SetHome("C:\\Corvane");
    Start();
    cm_.SetRunInBackground(true);
    EXPECT_TRUE(Post(WM_COMMAND, ID_TRAY_RECONNECT));  // closed for good, not hidden
    EXPECT_EQ((std::vector<std::string>{"start C:\\Corvane\\corvtray.exe /Reconnect", "clients 0"}),
              cm_.calls);
    EXPECT_NE(std::string::npos,
              Said().find("Started \"C:\\Corvane\\corvtray.exe /Reconnect\" with pid: 77\n"));
}

TEST_F(MainFrameTest, TheFrameGoingWithoutACloseStillRunsItsDestroyHandlers) {
    Start();
    SetStatusText("Connected to server");
    Pump();
    ASSERT_EQ("Connected", Value("StatusCode"));
    frame_.reset();  // a failed start ends so
    EXPECT_EQ((std::vector<std::string>{"clients 0"}), cm_.calls);
    EXPECT_TRUE(cm_.IsWindowClosed());
    EXPECT_EQ("<none>", Value("Status"));
    EXPECT_EQ("<none>", Value("StatusCode"));
    RegKey key;
    uint32_t x = 0;
    EXPECT_EQ(kOk, key.Open(RegRoot::CurrentUser, kSettings));
    EXPECT_EQ(kOk, key.QueryDword("XPos", &x));
}

TEST_F(MainFrameTest, ADuplicateLeavesTheRunningInstancesValuesAlone) {
    RegKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, kSettings));
    key.SetString("Status", "Connected to server");
    key.SetString("StatusCode", "Connected");
    cm_.SetDuplicateInstance(true);
    Start();
    SetStatusText("Disabled: missing userid/password");  // as its start-up says
    Pump();
    EXPECT_EQ(L"Disabled: missing userid/password", StatusBarText());
    frame_.reset();
    EXPECT_TRUE(cm_.calls.empty());
    EXPECT_EQ("Connected to server", Value("Status"));
    EXPECT_EQ("Connected", Value("StatusCode"));
    uint32_t x = 0;
    EXPECT_NE(kOk, key.QueryDword("XPos", &x));
}

TEST_F(MainFrameTest, TheEndOfTheWindowsSessionExitsAtOnce) {
    Start();
    int ended = 0;
    bool windowGoneFirst = false;
    frame_->SetSessionEndHandler([&] {
        ++ended;
        windowGoneFirst = frame_->Handle() == nullptr;
    });
    SetStatusText("Connected to server");
    Pump();
    HWND window = frame_->Handle();
    EXPECT_EQ(TRUE, SendMessageW(window, WM_QUERYENDSESSION, 0, 0));
    SendMessageW(window, WM_ENDSESSION, FALSE, 0);  // the session goes on
    EXPECT_EQ(0, ended);
    EXPECT_TRUE(IsWindow(window));

    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(1, ended);
    EXPECT_TRUE(windowGoneFirst);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ((std::vector<std::string>{"clients 0"}), cm_.calls);
    EXPECT_EQ("<none>", Value("Status"));
    EXPECT_NE(std::string::npos, Said().find("CMainFrame::OnEndSession() Exiting...\n"));
    frame_.reset();
    EXPECT_EQ(1, ended);
}

TEST_F(MainFrameTest, WindowRectIsStoredOnDestroyAndUsedNextTime) {
    Start();
    RECT first;
    GetWindowRect(frame_->Handle(), &first);
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(sw / 10, first.left);
    EXPECT_EQ(sh / 10, first.top);
    EXPECT_EQ(225 + 94, first.right - first.left);  // the built-in picture's rule
    EXPECT_EQ(66 + 127, first.bottom - first.top);
    MoveWindow(frame_->Handle(), 120, 90, 400, 300, FALSE);
    Post(kMsgQuitCorvane);
    RegKey key;
    ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, kSettings, kRegReadWrite));
    uint32_t x = 0, w = 0;
    key.QueryDword("XPos", &x);
    key.QueryDword("Width", &w);
    EXPECT_EQ(120u, x);
    EXPECT_EQ(400u, w);

    Start();
    RECT second;
    GetWindowRect(frame_->Handle(), &second);
    EXPECT_EQ(120, second.left);
    EXPECT_EQ(90, second.top);
    EXPECT_EQ(400, second.right - second.left);

    frame_.reset();
    ASSERT_EQ(kOk, key.SetDword("XPos", static_cast<uint32_t>(sw - 50)));  // too far right
    Start();
    RECT third;
    GetWindowRect(frame_->Handle(), &third);
    EXPECT_EQ(sw / 10, third.left);
    Said();
}

TEST_F(MainFrameTest, HideAllKeepsTheIconAwayAndIgnoresTheHideMessage) {
    SetPref(RegRoot::LocalMachine, "HideAll", 1);
    Start();
    EXPECT_FALSE(frame_->HasTrayIcon());
    Post(kMsgHide);
    EXPECT_NE(std::string::npos, Said().find("CMainFrame Ignored OnHideMsg, HideAll is set\n"));
}

TEST_F(MainFrameTest, HideMessageSwapsTheTrayMenu) {
    Start();
    SetPref(RegRoot::CurrentUser, "HideGUI", 1);
    Post(kMsgHide);
    EXPECT_EQ(1, frame_->Flags().hideGui);
    std::string said = Said();
    size_t destroyed = said.find("CMainFrame: destroyed old systray menu\n");
    size_t loaded = said.find("CMainFrame: loaded IDR_TRAYMENUHIDE_NOREAD\n");
    ASSERT_NE(std::string::npos, loaded) << said;
    EXPECT_LT(destroyed, loaded);
}

TEST_F(MainFrameTest, HiddenBalloonsOnlyLog) {
    SetPref(RegRoot::CurrentUser, "HideBalloons", 1);
    listener_.balloon.title = "Title";
    listener_.balloon.message = "Message";
    Start();
    Post(kMsgBalloon);
    EXPECT_NE(std::string::npos, Said().find("Hidden Balloon (not displayed): Balloon title: "
                                             "Title \nBalloon msg: Message\n"));
}

TEST_F(MainFrameTest, LeftClickShowsTheWindowUnlessHideGuiIsSet) {
    Start();
    Post(kMsgTrayIcon, CMainFrame::kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(frame_->Handle()));
    frame_.reset();
    SetPref(RegRoot::CurrentUser, "HideGUI", 1);
    Start();
    Post(kMsgTrayIcon, CMainFrame::kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(frame_->Handle()));
    Post(kMsgTrayIcon, CMainFrame::kTrayIconId, WM_MOUSEMOVE);  // ignored
}

TEST_F(MainFrameTest, TheViewFillsTheFrameAboveTheStatusBar) {
    Start();
    HWND view = frame_->View().Handle();
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(frame_->Handle(), GetParent(view));
    MoveWindow(frame_->Handle(), 10, 10, 500, 300, TRUE);
    RECT client, viewRect, bar;
    GetClientRect(frame_->Handle(), &client);
    GetClientRect(view, &viewRect);
    GetWindowRect(FindWindowExW(frame_->Handle(), nullptr, STATUSCLASSNAMEW, nullptr), &bar);
    EXPECT_EQ(client.right, viewRect.right);
    EXPECT_EQ(client.bottom - (bar.bottom - bar.top), viewRect.bottom);
}

}  // namespace
}  // namespace corv

namespace corv {
namespace {

// The real registry: what narrow and wide readers of "Status" see.
TEST(StatusRegistryTest, NarrowAndWideReadersSeeTheSameText) {
    const std::string text = "Verbunden \xc3\xbc\xe2\x82\xac";  // ü€
    PublishStatus(text, "frame-test");
    std::string path = StatusKeyPath("frame-test");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, KEY_READ, &key));
    wchar_t wide[64] = {};
    DWORD size = sizeof(wide);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"Status", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(wide), &size));
    char narrow[64] = {};
    size = sizeof(narrow);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Status", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(narrow), &size));
    RegCloseKey(key);
    EXPECT_EQ(Widen(text), std::wstring(wide));
    char expected[64] = {};
    WideCharToMultiByte(CP_ACP, 0, Widen(text).c_str(), -1, expected, sizeof(expected), nullptr,
                        nullptr);
    EXPECT_STREQ(expected, narrow);
    RemoveStatusValues("frame-test");
    EXPECT_NE(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, KEY_READ, &key));
}

}  // namespace
}  // namespace corv
