// The menu commands of the real corvtray.exe, sent as the menus send them, and the popup
// notifier on a Windows version without balloon tips (Wine told to report Windows NT 4).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/tray_process.h"
#include "tray/ui/notifier_motion.h"

namespace corv {
namespace {

using test::ClearFixtures;
using test::TrayProcess;

const char kPrefs[] = "Software\\Velmora\\Corvane\\Preferences";
const char kLogger[] = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";
constexpr unsigned kQuit = 33518, kBalloon = 1124;
constexpr UINT kOpen = 140, kExit = 141, kPreferences = 144, kReadme = 186, kAbout = 57664,
               kFileExit = 57665;

// Polls until the condition holds; the bound only keeps a broken build from hanging.
bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 300 && !done(); ++i) Sleep(50);
    return done();
}

// A top-level window of the process with this class (and title, when given).
HWND FindWindowOf(DWORD pid, const wchar_t* windowClass, const wchar_t* title = nullptr) {
    struct Search {
        DWORD pid;
        const wchar_t* windowClass;
        const wchar_t* title;
        HWND found;
    } search{pid, windowClass, title, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            wchar_t cls[64] = L"", text[64] = L"";
            GetClassNameW(w, cls, 64);
            GetWindowTextW(w, text, 64);
            if (owner == s->pid && std::wstring(cls) == s->windowClass &&
                (!s->title || std::wstring(text) == s->title))
                s->found = w;
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string DialogText(HWND dialog, int id) {
    wchar_t text[256] = L"";
    GetDlgItemTextW(dialog, id, text, 256);
    return Narrow(text);
}

// The shell's association of ".htm", pointed at a command for one test and put back after.
class HtmAssociation {
  public:
    explicit HtmAssociation(const std::string& command) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".htm", 0, KEY_READ, &key) == ERROR_SUCCESS) {
            wchar_t value[256] = L"";
            DWORD size = sizeof(value);
            if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                 &size) == ERROR_SUCCESS)
                old_ = value;
            hadKey_ = true;
            RegCloseKey(key);
        }
        Set(L".htm", L"CorvaneTestReadme");
        Set(L"CorvaneTestReadme\\shell\\open\\command", Widen(command));
    }
    ~HtmAssociation() {
        test::DeleteKeyTree(HKEY_CLASSES_ROOT, "CorvaneTestReadme");
        if (!hadKey_)
            test::DeleteKeyTree(HKEY_CLASSES_ROOT, ".htm");
        else
            Set(L".htm", old_);
    }

  private:
    static void Set(const wchar_t* path, const std::wstring& value) {
        HKEY key;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    bool hadKey_ = false;
    std::wstring old_;
};

class MenuCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearFixtures();
        test::SetString(HKEY_CURRENT_USER, kLogger, "log/Format1814", "ascii");
    }
    void TearDown() override { ClearFixtures(); }

    // Starts the program with Home in its folder and returns its main window.
    HWND Start(TrayProcess& tray, const std::string& args = "") {
        test::SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
        if (!tray.Start(args)) return nullptr;
        return tray.WaitForWindow("Corvane");
    }
    static DWORD Pid(HWND window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        return pid;
    }
    // Handled once this returns; only for commands that open nothing modal.
    static void Send(HWND window, UINT command) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_COMMAND, command, 0, SMTO_NORMAL, 15000, &result);
    }
    // The about box of the process, once it is there.
    static HWND AboutBox(HWND window) {
        HWND box = nullptr;
        WaitFor([&] { return (box = FindWindowOf(Pid(window), L"#32770", L"About Corvane")); });
        return box;
    }
};

TEST_F(MenuCommandTest, OpenShowsTheHiddenWindowAndBothExitsEndTheProgram) {
    for (UINT exit : {kExit, kFileExit}) {
        SCOPED_TRACE(exit);
        TrayProcess tray("view-exit");
        HWND window = Start(tray, "/hide");
        ASSERT_NE(nullptr, window);
        EXPECT_FALSE(IsWindowVisible(window));
        Send(window, kOpen);
        EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
        // Running in the background is the default: only Exit ends the program.
        PostMessageW(window, WM_COMMAND, exit, 0);
        EXPECT_EQ(0, tray.WaitForExit(15000));
        EXPECT_NE(std::string::npos, tray.ReadLog().find("CMainFrame::OnClose() Exiting...\n"));
    }
}

TEST_F(MenuCommandTest, AboutShowsTheLogoTheVersionAndTheServicesAddress) {
    TrayProcess tray("view-about");
    HWND window = Start(tray);
    ASSERT_NE(nullptr, window);
    PostMessageW(window, WM_COMMAND, kAbout, 0);
    HWND box = AboutBox(window);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Corvane", DialogText(box, 1200));
    EXPECT_EQ("1.0.1-0250", DialogText(box, 1201));
    EXPECT_EQ(0u, DialogText(box, 1202).find("http://"));
    HWND logo = FindWindowExW(box, nullptr, L"Static", nullptr);
    ASSERT_NE(nullptr, logo);
    EXPECT_NE(0, SendMessageW(logo, STM_GETIMAGE, IMAGE_BITMAP, 0));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
    EXPECT_TRUE(tray.Running());
    EXPECT_EQ(0, tray.CloseAndWait(window));
}

TEST_F(MenuCommandTest, ReadmeOpensThroughTheShellElseTheUserIsToldAndAMissingOneShowsAbout) {
    TrayProcess tray("view readme");  // a Home with a blank
    const std::string readme = tray.Home() + "\\readme.htm";
    const std::string opened = tray.Home() + "\\opened.txt";
    HWND window = Start(tray);
    ASSERT_NE(nullptr, window);

    // No readme: the about box instead.
    PostMessageW(window, WM_COMMAND, kReadme, 0);
    HWND box = AboutBox(window);
    ASSERT_NE(nullptr, box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));

    test::WriteFile(readme, "<html><body>Corvane</body></html>");
    {
        // What the shell runs for ".htm": records the file it was given.
        HtmAssociation association("C:\\windows\\system32\\cmd.exe /c echo %1 > \"" + opened +
                                   "\"");
        PostMessageW(window, WM_COMMAND, kReadme, 0);
        ASSERT_TRUE(WaitFor([&] { return test::FileExists(opened); }));
        std::string given;
        ASSERT_TRUE(WaitFor(
            [&] { return ReadFileText(opened, &given) && given.find('\n') != std::string::npos; }));
        std::string path;
        for (char c : given)
            if (c != '"' && c != '\r' && c != '\n') path += c;
        while (!path.empty() && path.back() == ' ') path.pop_back();
        EXPECT_EQ(readme, path);
    }
    {
        HtmAssociation broken("C:\\no such folder\\viewer.exe \"%1\"");
        PostMessageW(window, WM_COMMAND, kReadme, 0);
        EXPECT_EQ("Error: Could not open Readme file: " + readme, tray.AnswerMessageBox());
    }
    EXPECT_EQ(nullptr, FindWindowOf(Pid(window), L"#32770", L"About Corvane"));
    EXPECT_EQ(0, tray.CloseAndWait(window));
}

TEST_F(MenuCommandTest, PreferencesOpensNothingUntilThereIsASheet) {
    TrayProcess tray("view-prefs");
    HWND window = Start(tray);
    ASSERT_NE(nullptr, window);
    Send(window, kPreferences);
    EXPECT_EQ(nullptr, FindWindowOf(Pid(window), L"#32770"));
    EXPECT_EQ(0, tray.CloseAndWait(window));
    EXPECT_NE(std::string::npos,
              tray.ReadLog().find("CCorvanView: no preferences sheet to open\n"));
}

// Wine reports Windows NT 4 to a program of this name; the frame then shows its balloons in
// the popup notifier.
class OldWindowsTest : public MenuCommandTest {
  protected:
    static constexpr char kProgram[] = "corvnt4.exe";
    void SetUp() override {
        MenuCommandTest::SetUp();
        test::SetString(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\corvnt4.exe", "Version",
                        "nt40");
    }
    void TearDown() override {
        if (process_.hProcess) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        test::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\corvnt4.exe");
        MenuCommandTest::TearDown();
    }
    HWND StartOld(TrayProcess& tray) {
        test::SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
        std::wstring program = Widen(tray.Home() + "\\" + kProgram);
        CopyFileW(Widen(tray.Home() + "\\corvtray.exe").c_str(), program.c_str(), FALSE);
        std::wstring line = L"\"" + program + L"\"";
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                            Widen(tray.Home()).c_str(), &si, &process_))
            return nullptr;
        HWND window = nullptr;
        WaitFor([&] { return (window = FindWindowOf(process_.dwProcessId, L"CorvaneMainFrame")); });
        if (window) WaitForInputIdle(process_.hProcess, 15000);
        return window;
    }
    PROCESS_INFORMATION process_ = {};
};

TEST_F(OldWindowsTest, ABalloonSlidesOutAsThePopupAndAClickHidesIt) {
    TrayProcess tray("view-nt4");
    HWND window = StartOld(tray);
    ASSERT_NE(nullptr, window);
    HWND popup = FindWindowOf(process_.dwProcessId, L"CorvaneTaskbarNotifier");
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(window, GetWindow(popup, GW_OWNER));
    EXPECT_FALSE(IsWindowVisible(popup));

    PostMessageW(window, kBalloon, 0, 0);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ScreenArea area{{work.left, work.top, work.right, work.bottom},
                    GetSystemMetrics(SM_CXSCREEN),
                    GetSystemMetrics(SM_CYSCREEN)};
    SlidePlan plan = PlanSlide(area, 315, 103, 2, 500, 500);
    RECT r = {};
    EXPECT_TRUE(WaitFor([&] {
        GetWindowRect(popup, &r);
        return IsWindowVisible(popup) && r.left == plan.shownX && r.top == plan.shownY;
    })) << r.left
        << "," << r.top;
    EXPECT_EQ(315, r.right - r.left);
    EXPECT_EQ(103, r.bottom - r.top);

    PostMessageW(popup, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(popup); }));
    PostMessageW(window, kQuit, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process_.hProcess, 15000));
    std::string log = tray.ReadLog();
    EXPECT_NE(std::string::npos, log.find("Windows Version: Windows NT 4 \n")) << log;
    EXPECT_NE(std::string::npos, log.find("Balloon title: "));
}

}  // namespace
}  // namespace corv
