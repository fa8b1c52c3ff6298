// The real corvtray.exe under Wine: preferences from both roots, log rotation, the command
// line, and bad input that must not stop the program.
#include <gtest/gtest.h>

#include "tests/support/tray_process.h"

namespace corv::test {
namespace {

const char* const kPrefs = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char* const kLogger = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";
const char* const kSettings = "SOFTWARE\\Velmora\\Corvane\\Settings";

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override { ClearFixtures(); }
    void TearDown() override { ClearFixtures(); }

    // Runs corvtray until its window shows up, closes it and returns its decoded log.
    std::string RunOnce(TrayProcess& tray, const std::string& args = "",
                        const std::string& title = "Corvane") {
        EXPECT_TRUE(tray.Start(args));
        HWND w = tray.WaitForWindow(title);
        EXPECT_NE(nullptr, w) << "no window titled " << title;
        if (!w) return std::string();
        visible_ = IsWindowVisible(w) != FALSE;
        EXPECT_EQ(0, tray.CloseAndWait(w));
        return tray.ReadLog();
    }
    static std::string Read(const char* key, const char* name) {
        return ReadValue(HKEY_CURRENT_USER, key, name);
    }
    static bool Has(const std::string& log, const std::string& line) {
        return log.find(line) != std::string::npos;
    }
    bool visible_ = false;
};

TEST_F(StartupTest, PerUserValuesWinAndAllUsersValuesCountOnlyForAnAllUsersInstall) {
    TrayProcess tray("prefs");
    SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
    SetString(HKEY_CURRENT_USER, kPrefs, "UserId", "user-value");
    SetString(HKEY_LOCAL_MACHINE, kPrefs, "UserId", "machine-value");
    SetString(HKEY_LOCAL_MACHINE, kPrefs, "Url", "http://localhost/machine");
    SetDword(HKEY_LOCAL_MACHINE, kPrefs, "UseSip", 1);

    // The all-users Home does not exist: a per-user install, no all-users value is used.
    SetString(HKEY_LOCAL_MACHINE, kPrefs, "Home", "C:\\no\\such\\folder");
    std::string log = RunOnce(tray);
    EXPECT_TRUE(Has(log, "--- Installed for         = OnlyForMe\n")) << log;
    EXPECT_TRUE(Has(log, "--- UserId                = user-value\n"));
    EXPECT_TRUE(Has(log, "--- Url                   = \n"));
    EXPECT_TRUE(Has(log, "--- UseSip                = 0\n"));

    // An existing all-users Home: all-users values fill what the user did not set.
    SetString(HKEY_LOCAL_MACHINE, kPrefs, "Home", tray.Home());
    log = RunOnce(tray);
    EXPECT_TRUE(Has(log, "--- Installed for         = AllUsers\n")) << log;
    EXPECT_TRUE(Has(log, "--- UserId                = user-value\n"));
    EXPECT_TRUE(Has(log, "--- Url                   = http://localhost/machine\n"));
    EXPECT_TRUE(Has(log, "--- UseSip                = 1\n"));
    EXPECT_TRUE(Has(log, "ProgramName: corvtray, Parameters: , Started at: "));
    EXPECT_TRUE(Has(log, "~CCorvanApp Exiting at "));
}

TEST_F(StartupTest, RotationKeepsCountFilesAndRemovesLeftovers) {
    TrayProcess tray("rotate");
    SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
    SetString(HKEY_CURRENT_USER, kLogger, "log/File/Count", "3");
    CreateDirectoryA((tray.Home() + "\\logs").c_str(), nullptr);
    for (int i = 0; i <= 6; ++i)
        WriteFile(tray.Home() + "\\logs\\start" + std::to_string(i) + ".log",
                  "[old " + std::to_string(i) + "]");
    std::string log = RunOnce(tray);
    EXPECT_TRUE(Has(log, "Preferences:\n"));
    EXPECT_EQ("[old 0]", tray.ReadLog("logs\\start1.log"));
    EXPECT_EQ("[old 1]", tray.ReadLog("logs\\start2.log"));
    for (int i = 3; i <= 6; ++i)
        EXPECT_FALSE(FileExists(tray.Home() + "\\logs\\start" + std::to_string(i) + ".log")) << i;
}

TEST_F(StartupTest, HiddenStartWithClientIdNamesTheWindowAndTheLogFolder) {
    TrayProcess tray("id");
    SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
    SetString(HKEY_CURRENT_USER, kLogger, "log/Format1814", "ascii");
    ASSERT_TRUE(tray.Start("/hide /id:ABC"));
    HWND w = tray.WaitForWindow("Corvane-ABC");
    ASSERT_NE(nullptr, w);
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(0, tray.CloseAndWait(w));
    std::string log = tray.ReadLog("logs-ABC\\start0.log");
    EXPECT_TRUE(Has(log, "Parameters: /hide /id:ABC")) << log;
    EXPECT_FALSE(FileExists(tray.Home() + "\\logs\\start0.log"));
}

TEST_F(StartupTest, HideAllFromTheMachineHidesUnlessTheUserSaysOtherwise) {
    TrayProcess tray("hideall");
    SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
    SetDword(HKEY_LOCAL_MACHINE, kPrefs, "HideAll", 1);
    RunOnce(tray);
    EXPECT_FALSE(visible_);
    SetDword(HKEY_CURRENT_USER, kPrefs, "HideAll", 0);
    RunOnce(tray);
    EXPECT_TRUE(visible_);
}

TEST_F(StartupTest, BadValuesKeepDefaultsAndTheProgramRuns) {
    TrayProcess tray("bad");
    SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
    SetString(HKEY_CURRENT_USER, kPrefs, "HttpProxyAddress", std::string(5000, 'h'));
    SetString(HKEY_CURRENT_USER, kPrefs, "LaunchAtStartup", "0");  // wrong type
    SetDword(HKEY_CURRENT_USER, kPrefs, "SyncMode", 7);            // wrong type
    SetString(HKEY_CURRENT_USER, kLogger, "log/File/Count", "many");
    std::string log = RunOnce(tray);
    EXPECT_TRUE(Has(log, "--- HttpProxyAddress      = \n")) << log;
    EXPECT_TRUE(Has(log, "--- LaunchAtStartup       = 1\n"));
}

TEST_F(StartupTest, MissingHomeFallsBackToTheProgramFolderAndAnUnusableLogFolderIsReported) {
    {
        TrayProcess tray("nohome");
        SetString(HKEY_CURRENT_USER, kPrefs, "Home", "C:\\no\\such\\home");
        std::string log = RunOnce(tray);  // window shows, closes cleanly
        EXPECT_TRUE(Has(log, "--- Home                  = C:\\no\\such\\home\n")) << log;
        EXPECT_TRUE(Has(log, "Changed directory to " + tray.Home() + "\n")) << log;
    }
    {
        TrayProcess tray("logsfile");
        SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
        WriteFile(tray.Home() + "\\logs", "a file where the folder belongs");
        RunOnce(tray);
        EXPECT_TRUE(Has(tray.Output(), "file exists and is not a directory")) << tray.Output();
        EXPECT_TRUE(Has(tray.Output(), "Could not create log file: ")) << tray.Output();
    }
}

TEST_F(StartupTest, ASecondInstanceIsRefusedUnlessItSynchronisesNothingWithDynamicPorts) {
    TrayProcess first("first"), second("second");
    SetString(HKEY_CURRENT_USER, kPrefs, "Home", first.Home());
    ASSERT_TRUE(first.Start());
    HWND w = first.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    // What the running client publishes once Java runs (no Java runtime runs here).
    SetString(HKEY_CURRENT_USER, kSettings, "ActiveIpAddress", "127.0.0.7");
    SetDword(HKEY_CURRENT_USER, kSettings, "ActiveSipPort", 5070);
    SetDword(HKEY_CURRENT_USER, kSettings, "ActiveSocksPort", 1090);
    SetString(HKEY_CURRENT_USER, kSettings, "Status", "Connected to server");
    SetString(HKEY_CURRENT_USER, kSettings, "StatusCode", "Connected");

    ASSERT_TRUE(second.Start());
    EXPECT_EQ("Corvane is already running!", second.AnswerMessageBox());
    EXPECT_EQ(0, second.WaitForExit(15000));
    // The refused start changed nothing of the running one: values, window place, log files.
    EXPECT_EQ("127.0.0.7", Read(kSettings, "ActiveIpAddress"));
    EXPECT_EQ("5070", Read(kSettings, "ActiveSipPort"));
    EXPECT_EQ("1090", Read(kSettings, "ActiveSocksPort"));
    EXPECT_EQ("Connected to server", Read(kSettings, "Status"));
    EXPECT_EQ("Connected", Read(kSettings, "StatusCode"));
    EXPECT_EQ("<absent>", Read(kSettings, "XPos"));
    EXPECT_FALSE(FileExists(first.Home() + "\\logs\\start1.log"));

    SetString(HKEY_CURRENT_USER, kPrefs, "DoNotSync", "1");
    ASSERT_TRUE(second.Start());
    EXPECT_NE(nullptr, second.WaitForWindow("Corvane"));
    EXPECT_TRUE(second.Running());
    second.Kill();
    EXPECT_EQ(0, first.CloseAndWait(w));
}

}  // namespace
}  // namespace corv::test
