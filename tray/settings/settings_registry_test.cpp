// Active settings and the Run entry against the in-memory registry.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/memory_registry.h"
#include "tray/core/log_capture.h"
#include "tray/settings/active_settings.h"
#include "tray/settings/preferences.h"
#include "tray/settings/startup_entry.h"

namespace corv {
namespace {

class SettingsRegistryTest : public ::testing::Test {
  protected:
    std::string Read(RegRoot root, const std::string& path, const std::string& name) {
        RegKey k;
        std::string s;
        if (k.Open(root, path) != kOk || k.QueryString(name, &s) != kOk) return "<absent>";
        return s;
    }
    void SetRun(RegRoot root, const std::string& value) {
        RegKey k;
        k.Create(root, kRunKey);
        k.SetString(kRunValueName, value);
    }
    void MakeRunKeys() {
        RegKey k;
        k.Create(RegRoot::CurrentUser, kRunKey);
        k.Create(RegRoot::LocalMachine, kRunKey);
    }
    ScopedMemoryRegistry registry_;
    ScopedLogCapture log_;
};

TEST_F(SettingsRegistryTest, ActiveSettingsGoToTheIdentitySubkeyAndStayWithAnIdentity) {
    RegKey k;
    k.Create(RegRoot::CurrentUser, std::string(kSettingsKeyPath) + "\\ABC");
    CPreferences prefs;
    prefs.SetActiveIpAddress("127.0.0.7");
    prefs.SetSipPort(5070);
    SetActiveSettings(prefs, "ABC");
    EXPECT_EQ("127.0.0.7", Read(RegRoot::CurrentUser, SettingsKeyFor("ABC"), "ActiveIpAddress"));
    EXPECT_TRUE(
        log_.Has("Set active ip address to 127.0.0.7\nSet active SIP port to 5070\n"
                 "Set active SOCKS port to 1080\n"));
    log_.Clear();
    DeleteActiveSettings("ABC");
    EXPECT_EQ("", log_.Text());
    EXPECT_EQ("127.0.0.7", Read(RegRoot::CurrentUser, SettingsKeyFor("ABC"), "ActiveIpAddress"));
}

TEST_F(SettingsRegistryTest, ActiveSettingsNeedAnExistingKeyAndDeleteTwiceIsQuiet) {
    CPreferences prefs;
    SetActiveSettings(prefs, "");
    EXPECT_TRUE(
        log_.Has("SetActiveSettings: Failed to open HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\"
                 "Corvane\\Settings, reason: (2) "));
    EXPECT_FALSE(registry_->KeyExists(RegRoot::CurrentUser, kSettingsKeyPath));

    RegKey k;
    k.Create(RegRoot::CurrentUser, kSettingsKeyPath);
    SetActiveSettings(prefs, "");
    log_.Clear();
    DeleteActiveSettings("");
    EXPECT_EQ("Deleted active ip address\nDeleted active SIP port\nDeleted active SOCKS port\n",
              log_.Text());
    log_.Clear();
    DeleteActiveSettings("");
    EXPECT_EQ("", log_.Text());
}

TEST_F(SettingsRegistryTest, SyncStartupWritesTheQuotedEntryUnderTheWritingRoot) {
    MakeRunKeys();
    CPreferences prefs;
    prefs.SetHome("C:\\Program Files\\Corvane");
    syncStartup(prefs);
    EXPECT_EQ("\"C:\\Program Files\\Corvane\\corvtray.exe\" /hide",
              Read(RegRoot::CurrentUser, kRunKey, kRunValueName));
    EXPECT_EQ("<absent>", Read(RegRoot::LocalMachine, kRunKey, kRunValueName));
    EXPECT_TRUE(log_.Has("syncStartup: \nsyncStartup: switch on Launch At Startup\n"));

    // An all-users install by an administrator writes for all users; a non-administrator not.
    prefs.SetInstalledForAllUsers(true);
    prefs.SetIsAdministrator(true);
    SetRun(RegRoot::CurrentUser, "");  // empty counts as absent
    syncStartup(prefs);
    EXPECT_NE("<absent>", Read(RegRoot::LocalMachine, kRunKey, kRunValueName));

    log_.Clear();
    syncStartup(prefs);
    EXPECT_TRUE(log_.Has("syncStartup: already switched on, nothing to do\n"));
}

TEST_F(SettingsRegistryTest, SyncStartupRepairsDuplicatesAndSwitchesOff) {
    MakeRunKeys();
    CPreferences prefs;
    SetRun(RegRoot::CurrentUser, "\"C:\\x\\corvtray.exe\" /hide");
    SetRun(RegRoot::LocalMachine, "\"C:\\x\\corvtray.exe\" /hide");
    syncStartup(prefs);
    EXPECT_EQ("<absent>", Read(RegRoot::CurrentUser, kRunKey, kRunValueName));
    EXPECT_NE("<absent>", Read(RegRoot::LocalMachine, kRunKey, kRunValueName));
    EXPECT_TRUE(
        log_.Has("Delete HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                 "Run\\VelmoraCorvan succeeded\n"));

    SetRun(RegRoot::CurrentUser, "\"C:\\x\\corvtray.exe\" /hide");
    prefs.SetLaunchAtStartup(0);
    syncStartup(prefs);
    EXPECT_EQ("<absent>", Read(RegRoot::CurrentUser, kRunKey, kRunValueName));
    EXPECT_EQ("<absent>", Read(RegRoot::LocalMachine, kRunKey, kRunValueName));
}

TEST_F(SettingsRegistryTest, SyncStartupReportsUnreadableAndUnwritableKeys) {
    CPreferences prefs;
    syncStartup(prefs);  // no Run keys at all; the key is not created
    EXPECT_TRUE(
        log_.Has("Could not open HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                 "CurrentVersion\\Run with KEY_READ, reason: (2) "));
    EXPECT_TRUE(
        log_.Has("Could not open HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                 "CurrentVersion\\Run with KEY_READ, reason: (2) "));
    EXPECT_TRUE(
        log_.Has("Could not open HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                 "CurrentVersion\\Run, reason: (2) "));
    EXPECT_FALSE(registry_->KeyExists(RegRoot::CurrentUser, kRunKey));
}

TEST_F(SettingsRegistryTest, VerifyRunSettingsRemovesOnlyTheDuplicatePerUserEntry) {
    VerifyRunSettings();
    EXPECT_EQ(
        "VerifyRunSettings:\nCould not open HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
        "CurrentVersion\\Run\n",
        log_.Text());
    MakeRunKeys();
    SetRun(RegRoot::CurrentUser, "a");
    log_.Clear();
    VerifyRunSettings();
    EXPECT_EQ("VerifyRunSettings:\nVerifyRunSettings ok\n", log_.Text());
    SetRun(RegRoot::LocalMachine, "b");
    log_.Clear();
    VerifyRunSettings();
    EXPECT_EQ(
        "VerifyRunSettings:\nDuplicate Run settings, VelmoraCorvan specified both in HKCU and "
        "HKLM!\ndelete HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run "
        "succeeded\n",
        log_.Text());
    EXPECT_EQ("<absent>", Read(RegRoot::CurrentUser, kRunKey, kRunValueName));
    EXPECT_EQ("b", Read(RegRoot::LocalMachine, kRunKey, kRunValueName));
}

}  // namespace
}  // namespace corv
