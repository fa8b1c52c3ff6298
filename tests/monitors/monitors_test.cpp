// The monitors of the real corvtray.exe under Wine. The machine's address is the host table
// file the program reads (CORVANE_HOST_TABLE, inherited by every copy it starts), so a test
// changes it without touching the machine; all of it stays on 127.0.0.0/8.
#include <gtest/gtest.h>

#include <set>

#include "platform/text.h"
#include "tests/support/tray_process.h"

namespace corv::test {
namespace {

const char* const kPrefs = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char* const kSettings = "SOFTWARE\\Velmora\\Corvane\\Settings";
const char* const kLogger = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";

// A value of the user's registry as text (tests/support), "<absent>" when there is none.
std::string ReadValue(const char* key, const char* name) {
    return corv::test::ReadValue(HKEY_CURRENT_USER, key, name);
}

bool WaitForValue(const char* key, const char* name, const std::string& value, unsigned timeoutMs) {
    for (unsigned waited = 0; waited < timeoutMs; waited += 100, Sleep(100))
        if (ReadValue(key, name) == value) return true;
    return false;
}

// The processes that own a top-level window titled "Corvane".
std::set<DWORD> TrayWindows() {
    std::set<DWORD> pids;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            wchar_t title[64] = L"";
            GetWindowTextW(w, title, 64);
            if (std::wstring(title) == L"Corvane") {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                reinterpret_cast<std::set<DWORD>*>(p)->insert(pid);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&pids));
    return pids;
}

HWND WindowOf(DWORD pid) {
    struct Search {
        DWORD pid;
        HWND found;
    } s{pid, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            wchar_t title[64] = L"";
            GetWindowTextW(w, title, 64);
            if (owner == s->pid && std::wstring(title) == L"Corvane") s->found = w;
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool WaitForExit(DWORD pid, unsigned timeoutMs) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h) return true;  // already gone
    bool ended = WaitForSingleObject(h, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class MonitorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearFixtures();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        hosts_ = Narrow(temp) + "corvtest-hosts-" + std::to_string(GetCurrentProcessId());
        SetEnvironmentVariableW(L"CORVANE_HOST_TABLE", Widen(hosts_).c_str());
        SetHostAddress("127.0.0.5");
    }
    void TearDown() override {
        // Every copy the test saw is ended, whatever happened.
        for (DWORD pid : seen_) {
            HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
            if (!h) continue;
            TerminateProcess(h, 99);
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
        }
        SetEnvironmentVariableW(L"CORVANE_HOST_TABLE", nullptr);
        DeleteFileW(Widen(hosts_).c_str());
        ClearFixtures();
    }
    // Replaced in one step, so the program never reads half a file.
    void SetHostAddress(const std::string& address) {
        WriteFile(hosts_ + ".new", "corvhost " + address + "\n");
        MoveFileExW(Widen(hosts_ + ".new").c_str(), Widen(hosts_).c_str(),
                    MOVEFILE_REPLACE_EXISTING);
    }
    void Account(TrayProcess& tray) {
        SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
        SetString(HKEY_CURRENT_USER, kPrefs, "UserId", "bob");
        SetString(HKEY_CURRENT_USER, kPrefs, "Passwd", "digest-1");
        SetString(HKEY_CURRENT_USER, kLogger, "log/Format1814", "ascii");
    }
    // Waits for a copy the test has not seen yet; its process id, or 0.
    DWORD WaitForNewCopy(unsigned timeoutMs) {
        for (unsigned waited = 0; waited < timeoutMs; waited += 100, Sleep(100)) {
            for (DWORD pid : TrayWindows()) {
                if (seen_.insert(pid).second) return pid;
            }
        }
        return 0;
    }
    // Asks the copy to quit as the installer does and waits for it.
    bool Quit(DWORD pid) {
        HWND w = WindowOf(pid);
        if (w) PostMessageW(w, 33518, 0, 0);
        return WaitForExit(pid, 30000);
    }
    std::string AllLogs(const TrayProcess& tray) {
        std::string text;
        for (int i = 0; i < 5; ++i)
            text += tray.ReadLog("logs\\start" + std::to_string(i) + ".log");
        return text;
    }

    std::string hosts_;
    std::set<DWORD> seen_;
};

TEST_F(MonitorsTest, AnotherProgramsChangesReloadTheClientChoiceOnceAndRestartOnAPassword) {
    TrayProcess tray("regmon");
    Account(tray);
    // Windows Messenger chosen: "010001".
    for (auto [name, value] : {std::pair<const char*, const char*>{"SyncEconf", "0"},
                               {"SyncMessenger", "1"},
                               {"SyncMsnMessenger", "0"},
                               {"SyncXLite", "0"},
                               {"DoNotSync", "0"}})
        SetString(HKEY_CURRENT_USER, kPrefs, name, value);
    SetDword(HKEY_CURRENT_USER, kPrefs, "UseSip", 1);
    ASSERT_TRUE(tray.Start());
    ASSERT_NE(nullptr, tray.WaitForWindow("Corvane"));
    DWORD first = WaitForNewCopy(1000);
    ASSERT_NE(0u, first);
    // The monitor reads its first values during start-up, before the window is idle; a
    // moment more keeps the first change from racing its very first read.
    Sleep(500);

    // A dialog elsewhere switches to X-Lite one value at a time: "000001", then "000101".
    SetString(HKEY_CURRENT_USER, kPrefs, "SyncMessenger", "0");
    SetString(HKEY_CURRENT_USER, kPrefs, "SyncXLite", "1");
    Sleep(500);
    SetString(HKEY_CURRENT_USER, kPrefs, "Passwd", "digest-2");
    ASSERT_TRUE(WaitForExit(first, 30000)) << "the first copy did not close";
    DWORD second = WaitForNewCopy(30000);
    ASSERT_NE(0u, second) << "no new copy came up";
    ASSERT_TRUE(WaitForValue(kSettings, "Status", "Disabled: Java 1.4.2 is not installed", 30000));
    EXPECT_TRUE(Quit(second));

    std::string before = tray.ReadLog("logs\\start1.log");
    std::string after = tray.ReadLog("logs\\start0.log");
    const std::string key = "HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\Corvane\\Preferences";
    EXPECT_EQ(1u, Occurrences(before, "CMainFrame Received OnReloadClientSettings\n")) << before;
    EXPECT_EQ(1u, Occurrences(before, "RegistryMonitor: Sync clients values changed " + key +
                                          ", old: 010001, new: 000101\n"));
    EXPECT_EQ(1u, Occurrences(before, "RegistryMonitor: Value changed " + key +
                                          "\\Passwd, old: ********, new: ********\n"));
    EXPECT_EQ(std::string::npos, before.find("digest-2"));
    EXPECT_EQ(1u, Occurrences(before, "Received event from registry monitor, doing a restart\n"));
    EXPECT_EQ(1u, Occurrences(before, "Started \"" + tray.Home() +
                                          "\\corvtray.exe /WaitOnRestart\" with pid: " +
                                          std::to_string(second) + "\n"));
    EXPECT_NE(std::string::npos, after.find("Parameters: /WaitOnRestart, Started at: ")) << after;
    EXPECT_NE(std::string::npos, after.find("Start Registry Monitor\n"));
}

TEST_F(MonitorsTest, FourAddressLossesInAnHourGiveThreeReconnectsAndThenNoMore) {
    TrayProcess tray("reconnect");
    Account(tray);
    // No messenger is set up here: with their synchronisation on, the stand-in client's
    // messenger switch would rightly ask about the messengers it cannot reach.
    SetString(HKEY_CURRENT_USER, kPrefs, "SyncMessenger", "0");
    SetString(HKEY_CURRENT_USER, kPrefs, "SyncMsnMessenger", "0");
    SetString(HKEY_CURRENT_USER, kPrefs, "DoNotSync", "1");
    // The tests' stand-in for a Java runtime, as a private runtime of the install.
    std::string client = tray.Home() + "\\jre-1.4.2\\bin\\client";
    for (const char* part : {"\\jre-1.4.2", "\\jre-1.4.2\\bin", "\\jre-1.4.2\\bin\\client"})
        CreateDirectoryW(Widen(tray.Home() + part).c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(Widen(WindowsPathOf(CORV_FAKE_JVM)).c_str(),
                          Widen(client + "\\jvm.dll").c_str(), FALSE));
    ASSERT_TRUE(tray.Start());
    ASSERT_NE(nullptr, tray.WaitForWindow("Corvane"));
    DWORD copy = WaitForNewCopy(1000);
    ASSERT_NE(0u, copy);
    // The client is up and its address watched once the active settings are published.
    ASSERT_TRUE(WaitForValue(kSettings, "ActiveIpAddress", "127.0.0.5", 60000))
        << ReadValue(kSettings, "Status");

    for (int loss = 1; loss <= 3; ++loss) {
        std::string address = "127.0.0." + std::to_string(5 + loss);
        SetHostAddress(address);
        ASSERT_TRUE(WaitForExit(copy, 60000)) << "loss " << loss << ": the copy did not close";
        copy = WaitForNewCopy(30000);
        ASSERT_NE(0u, copy) << "loss " << loss << ": no new copy";
        ASSERT_TRUE(WaitForValue(kSettings, "ActiveIpAddress", address, 60000))
            << "loss " << loss << ": " << ReadValue(kSettings, "Status");
        EXPECT_EQ(std::to_string(loss), ReadValue(kSettings, "nrestarts"));
    }
    // The fourth loss within the hour is refused: the copy stays. Nothing outside the log
    // shows the refusal, so the test gives it ample time (a poll and an address choice).
    SetHostAddress("127.0.0.9");
    EXPECT_FALSE(WaitForExit(copy, 15000));
    EXPECT_TRUE(Quit(copy));
    EXPECT_EQ("3", ReadValue(kSettings, "nrestarts"));

    std::string logs = AllLogs(tray);
    EXPECT_GE(Occurrences(logs, "ReleaseMonitor, IP address changed\n"), 4u);
    EXPECT_EQ(3u, Occurrences(logs, "OnIpAddrReleased: reconnecting\n"));
    EXPECT_EQ(3u, Occurrences(logs, "\\corvtray.exe /Reconnect\" with pid: "));
    EXPECT_EQ(3u, Occurrences(logs, "Parameters: /Reconnect, Started at: "));
    EXPECT_EQ(1u, Occurrences(logs,
                              "OnIpAddrReleased: ReconnectIsAllowed returned FALSE, too "
                              "many restarts\n"))
        << logs;
}

TEST_F(MonitorsTest, TheReconnectCommandHandsOverToANewCopy) {
    TrayProcess tray("menu-reconnect");
    Account(tray);
    SetString(HKEY_CURRENT_USER, kPrefs, "SyncMessenger", "0");
    SetString(HKEY_CURRENT_USER, kPrefs, "SyncMsnMessenger", "0");
    SetString(HKEY_CURRENT_USER, kPrefs, "DoNotSync", "1");
    ASSERT_TRUE(tray.Start());
    HWND window = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, window);
    DWORD first = WaitForNewCopy(1000);
    ASSERT_NE(0u, first);
    PostMessageW(window, WM_COMMAND, 185, 0);  // the menus' "Reconnect"
    ASSERT_TRUE(WaitForExit(first, 60000));
    DWORD next = WaitForNewCopy(30000);
    ASSERT_NE(0u, next);
    EXPECT_TRUE(Quit(next));
    std::string logs = AllLogs(tray);
    EXPECT_EQ(1u, Occurrences(logs, "\\corvtray.exe /Reconnect\" with pid: ")) << logs;
    EXPECT_EQ(1u, Occurrences(logs, "Parameters: /Reconnect, Started at: ")) << logs;
}

}  // namespace
}  // namespace corv::test
