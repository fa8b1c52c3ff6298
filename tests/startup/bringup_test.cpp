// The client start sequence of the real corvtray.exe under Wine: what it repairs, publishes
// and removes again.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/tray_process.h"

namespace corv::test {
namespace {

const char* const kPrefs = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char* const kSettings = "SOFTWARE\\Velmora\\Corvane\\Settings";
const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kLogger = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";

class BringUpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearFixtures();
        DeleteValue(HKEY_CURRENT_USER, kRun, "VelmoraCorvan");
        DeleteValue(HKEY_LOCAL_MACHINE, kRun, "VelmoraCorvan");
    }
    void TearDown() override { SetUp(); }
    static void DeleteValue(HKEY root, const char* key, const char* name) {
        HKEY k;
        if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_WRITE, &k) != ERROR_SUCCESS) return;
        RegDeleteValueW(k, Widen(name).c_str());
        RegCloseKey(k);
    }
    void Account(TrayProcess& tray) {
        SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
        SetString(HKEY_CURRENT_USER, kPrefs, "UserId", "bob");
        SetString(HKEY_CURRENT_USER, kPrefs, "Passwd", "digest");
        SetString(HKEY_CURRENT_USER, kLogger, "log/Format1814", "ascii");
    }
    // Waits until the published status is the text (the main loop publishes it).
    bool WaitForStatus(const std::string& text) {
        for (int i = 0; i < 200; ++i, Sleep(50))
            if (ReadValue(HKEY_CURRENT_USER, kSettings, "Status") == text) return true;
        return false;
    }
};

TEST_F(BringUpTest, AFixedAddressThatIsNotLocalDisablesTheClientAndExitRemovesTheStatus) {
    TrayProcess tray("notlocal");
    Account(tray);
    SetString(HKEY_CURRENT_USER, kPrefs, "SyncMode", "fixed");
    SetString(HKEY_CURRENT_USER, kPrefs, "LocalIpAddress", "127.0.0.9");
    // Left by a run that ended without its exit.
    SetString(HKEY_CURRENT_USER, kSettings, "ActiveIpAddress", "127.0.0.3");
    SetDword(HKEY_CURRENT_USER, kSettings, "ActiveSipPort", 5070);
    ASSERT_TRUE(tray.Start());
    HWND w = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    EXPECT_TRUE(WaitForStatus("Disabled: Address 127.0.0.9 is not in local host table"))
        << ReadValue(HKEY_CURRENT_USER, kSettings, "Status");
    // The error search is case-sensitive: "Disabled: Address ..." classifies as unknown.
    EXPECT_EQ("Unknown", ReadValue(HKEY_CURRENT_USER, kSettings, "StatusCode"));
    EXPECT_EQ("<absent>", ReadValue(HKEY_CURRENT_USER, kSettings, "ActiveIpAddress"));
    EXPECT_EQ("<absent>", ReadValue(HKEY_CURRENT_USER, kSettings, "ActiveSipPort"));

    // What the Java client's start publishes (no Java runtime runs here).
    SetString(HKEY_CURRENT_USER, kSettings, "ActiveIpAddress", "127.0.0.9");
    SetDword(HKEY_CURRENT_USER, kSettings, "ActiveSocksPort", 1080);
    EXPECT_EQ(0, tray.CloseAndWait(w));
    for (const char* name : {"Status", "StatusCode", "ActiveIpAddress", "ActiveSocksPort"})
        EXPECT_EQ("<absent>", ReadValue(HKEY_CURRENT_USER, kSettings, name)) << name;
}

TEST_F(BringUpTest, ConflictingProxyModesAreRepairedAndSaved) {
    TrayProcess tray("proxy");
    Account(tray);
    SetDword(HKEY_CURRENT_USER, kPrefs, "UseProxy", 1);
    SetDword(HKEY_CURRENT_USER, kPrefs, "NoProxy", 1);
    SetDword(HKEY_CURRENT_USER, kPrefs, "AutoDetection", 0);
    ASSERT_TRUE(tray.Start());
    HWND w = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    EXPECT_EQ("1", ReadValue(HKEY_CURRENT_USER, kPrefs, "AutoDetection"));
    EXPECT_EQ("0", ReadValue(HKEY_CURRENT_USER, kPrefs, "UseProxy"));
    EXPECT_EQ("0", ReadValue(HKEY_CURRENT_USER, kPrefs, "NoProxy"));
    EXPECT_EQ(0, tray.CloseAndWait(w));
}

TEST_F(BringUpTest, TheRunEntryIsWrittenOnceAndDuplicatesAreRepaired) {
    TrayProcess tray("run");
    Account(tray);
    ASSERT_TRUE(tray.Start());
    HWND w = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    std::string entry = "\"" + tray.Home() + "\\corvtray.exe\" /hide";
    EXPECT_EQ(entry, ReadValue(HKEY_CURRENT_USER, kRun, "VelmoraCorvan"));
    EXPECT_EQ("<absent>", ReadValue(HKEY_LOCAL_MACHINE, kRun, "VelmoraCorvan"));
    EXPECT_EQ(0, tray.CloseAndWait(w));

    // Both roots start the client: the per-user entry goes, the all-users one stays.
    SetString(HKEY_LOCAL_MACHINE, kRun, "VelmoraCorvan", entry);
    ASSERT_TRUE(tray.Start());
    w = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    EXPECT_EQ("<absent>", ReadValue(HKEY_CURRENT_USER, kRun, "VelmoraCorvan"));
    EXPECT_EQ(entry, ReadValue(HKEY_LOCAL_MACHINE, kRun, "VelmoraCorvan"));
    EXPECT_EQ(0, tray.CloseAndWait(w));
    std::string log = tray.ReadLog();
    EXPECT_NE(std::string::npos,
              log.find("Duplicate Run settings, VelmoraCorvan specified both in HKCU and HKLM!\n"))
        << log;
}

TEST_F(BringUpTest, ASecondVerificationRequestIsOnlyLogged) {
    TrayProcess tray("verify");
    Account(tray);
    ASSERT_TRUE(tray.Start());
    HWND w = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    // The first run's script deletes itself when done.
    for (int i = 0; i < 200 && FileExists(tray.Home() + "\\verify.bat"); ++i) Sleep(50);
    // The verify-installation request, sent so that it is handled when the call returns.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(w, 0x8000 + 653, 0, 0, SMTO_NORMAL, 15000, &result);
    EXPECT_FALSE(FileExists(tray.Home() + "\\verify.bat"));
    EXPECT_EQ(0, tray.CloseAndWait(w));
    std::string log = tray.ReadLog();
    EXPECT_NE(std::string::npos, log.find("\n*\n* Verifying installation\n*\n\n")) << log;
    EXPECT_NE(std::string::npos,
              log.find("\n*\n* Duplicate call to Verify installation (ignored) \n*\n\n"));
    EXPECT_NE(std::string::npos, log.find("[script] echo BEGIN >> logs\\start.log"));
}

TEST_F(BringUpTest, TheScriptRunnersLinesReachTheLog) {
    TrayProcess tray("script");
    Account(tray);
    ASSERT_TRUE(tray.Start());
    HWND w = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    // The script deletes itself at its end; its output goes when the finished message is handled.
    for (int i = 0; i < 400 && (FileExists(tray.Home() + "\\verify.bat") ||
                                FileExists(tray.Home() + "\\logs\\start.log"));
         ++i)
        Sleep(50);
    EXPECT_EQ(0, tray.CloseAndWait(w));
    std::string log = tray.ReadLog();
    size_t at = 0;
    // Each message's line comes first, then the lines the runner queued before posting it.
    for (const char* line : {"CMainFrame Received OnScriptLog\n", "ScriptRunner started thread: 0x",
                             "\n*\n* Started process, pid: ", "\\verify.bat  # startin: ",
                             "CMainFrame Received OnScriptFinished\n",
                             "\n*\n* Finished pid: ", "[script] echo BEGIN >> logs\\start.log"}) {
        size_t found = log.find(line, at);
        ASSERT_NE(std::string::npos, found) << line << " in order in\n" << log;
        at = found;
    }
}

}  // namespace
}  // namespace corv::test
