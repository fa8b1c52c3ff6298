#include "installer/cleanup/user_cleanup.h"

#include <gtest/gtest.h>

#include <functional>

#include "installer/sys/inst_log.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/memory_registry.h"
#include "platform/system.h"

namespace corv::inst {
namespace {

const std::string kMe = "S-1-5-21-7-7-7-1000";
const std::string kLoaded = "S-1-5-21-7-7-7-1001";
const std::string kUnloaded = "S-1-5-21-7-7-7-1002";
const std::string kNoHive = "S-1-5-21-7-7-7-1003";
const std::string kClean = "S-1-5-21-7-7-7-1004";
const std::string kLast = "S-1-5-21-7-7-7-1005";
const std::string kRunPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class ScriptedToken : public TokenControl {
  public:
    long EnablePrivilege(const std::string& name, TokenStep* failed) override {
        enabled.push_back(name);
        *failed = step;
        return rc;
    }
    TokenStep step = TokenStep::None;
    long rc = kOk;
    std::vector<std::string> enabled;
};

// A machine with the profile list of a system account, the installing user, a logged-on
// user, a user whose hive is only on disk, a profile without a hive file, a user with none
// of the product's settings and a last user whose hive is only on disk. Hive files are in memory;
// the disk holds the "ntuser.dat" files the walk looks for.
class UserCleanupTest : public ::testing::Test {
  public:  // the failure table arranges each case through it
    void SetUp() override {
        profiles_ = TempFolder() + "\\corv_profiles_" + std::to_string(CurrentProcessId());
        MakeDirectory(profiles_);
        SetEnv("CORV_TEST_PROFILES", profiles_);
        Profile("S-1-5-18", "%SystemRoot%\\system32\\config\\systemprofile");
        Profile(kMe, profiles_ + "\\me");
        Profile(kLoaded, profiles_ + "\\loaded");
        Profile(kUnloaded, "%CORV_TEST_PROFILES%\\unloaded", RegType::ExpandSz);
        Profile(kNoHive, profiles_ + "\\nohive");
        Profile(kClean, profiles_ + "\\clean");
        Profile(kLast, profiles_ + "\\last");
        Hive(kMe, "me", true);
        Hive(kLoaded, "loaded", true);
        Hive(kUnloaded, "unloaded", true);
        Hive(kClean, "clean", false);
        Hive(kLast, "last", true);
        ASSERT_EQ(kOk, LoadHive(RegRoot::Users, kMe, HiveFile("me")));
        ASSERT_EQ(kOk, LoadHive(RegRoot::Users, kLoaded, HiveFile("loaded")));
        RegKey run;
        ASSERT_EQ(kOk, run.Create(RegRoot::CurrentUser, kRunPath));
        run.SetString("VelmoraCorvan", "corvtray.exe /hide");
        run.SetString("Other", "other.exe");
    }
    void TearDown() override {
        for (const char* name : {"me", "loaded", "unloaded", "clean", "last"}) {
            RemoveFile(HiveFile(name));
            RemoveFolder(profiles_ + "\\" + name);
        }
        RemoveFolder(profiles_ + "\\nohive");
        RemoveFolder(profiles_);
    }

    std::string HiveFile(const std::string& name) {
        return profiles_ + "\\" + name + "\\ntuser.dat";
    }

    void Profile(const std::string& sid, const std::string& path, RegType type = RegType::Sz) {
        RegKey key;
        ASSERT_EQ(kOk,
                  key.Create(RegRoot::LocalMachine, std::string(kProfileListKey) + "\\" + sid));
        RegValue v = MakeStringValue("ProfileImagePath", path);
        v.type = type;
        ASSERT_EQ(kOk, key.SetValue(v));
    }

    // A user's hive file, with the product's settings (`traces`) beside other programs'.
    void Hive(const std::string& sid, const std::string& name, bool traces) {
        std::string scratch = "Scratch\\" + sid;
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::LocalMachine, scratch + "\\" + kRunPath));
        key.SetString("Other", "other.exe");
        if (traces) {
            key.SetString("VelmoraCorvan", "corvtray.exe /hide");
            ASSERT_EQ(kOk, key.Create(RegRoot::LocalMachine,
                                      scratch + "\\SOFTWARE\\Velmora\\Corvane\\Preferences"));
            key.SetString("home", "C:\\Corvane");
            ASSERT_EQ(kOk,
                      key.Create(RegRoot::LocalMachine,
                                 scratch + "\\SOFTWARE\\JavaSoft\\Prefs\\corvane\\proxyclient"));
        }
        ASSERT_EQ(
            kOk, key.Create(RegRoot::LocalMachine, scratch + "\\SOFTWARE\\JavaSoft\\Prefs\\other"));
        ASSERT_EQ(kOk, key.Open(RegRoot::LocalMachine, scratch));
        MakeDirectory(profiles_ + "\\" + name);
        ASSERT_EQ(kOk, key.SaveHive(HiveFile(name)));
        ASSERT_EQ(kOk, WriteFileBytes(HiveFile(name), "hive"));
        key.Close();
        RegKey root;
        ASSERT_EQ(kOk, root.Open(RegRoot::LocalMachine, "", kRegReadWrite));
        ASSERT_EQ(kOk, root.DeleteTree("Scratch"));
    }

    // What is left of a user's settings, below HKEY_USERS\<mount>.
    std::string Left(const std::string& mount) {
        std::string left;
        RegKey key;
        std::string value;
        if (key.Open(RegRoot::Users, mount + "\\" + kRunPath) == kOk) {
            if (key.QueryString("VelmoraCorvan", &value) == kOk) left += "run ";
            if (key.QueryString("Other", &value) == kOk) left += "other-run ";
        }
        if (key.Open(RegRoot::Users, mount + "\\SOFTWARE\\Velmora") == kOk) left += "velmora ";
        if (key.Open(RegRoot::Users, mount + "\\SOFTWARE\\JavaSoft\\Prefs\\corvane") == kOk)
            left += "prefs ";
        if (key.Open(RegRoot::Users, mount + "\\SOFTWARE\\JavaSoft\\Prefs\\other") == kOk)
            left += "other-prefs";
        return left;
    }

    std::string Unloaded(const std::string& name) {
        if (LoadHive(RegRoot::Users, "Check", HiveFile(name)) != kOk) return "<not loadable>";
        std::string left = Left("Check");
        UnloadHive(RegRoot::Users, "Check");
        return left;
    }

    ScopedMemoryRegistry reg_;
    std::string profiles_;
    ScriptedToken token_;
};

TEST_F(UserCleanupTest, EveryOtherUserLosesTheSettingsAndNothingElse) {
    ScopedLogCapture log;
    EXPECT_TRUE(CleanupAllUsers(kMe, token_));
    const std::string u = "HKEY_USERS\\";
    const std::string unloadedHive = profiles_ + "\\unloaded\\ntuser.dat";
    const std::string cleanHive = profiles_ + "\\clean\\ntuser.dat";
    const std::string lastHive = profiles_ + "\\last\\ntuser.dat";
    std::vector<std::string> expected = {
        "Cleaning up registry...\n",
        "Cleanup removed: HKEY_CURRENT_USER\\" + kRunPath + "\\VelmoraCorvan\n",
        "key[0]: S-1-5-18 (skipped)\n",
        "key[1]: " + kMe + " (skipping myself)\n",
        "key[2]: " + kLoaded + " (user account) is loaded \n",
        "Cleanup removed: " + u + kLoaded + "\\" + kRunPath + "\\VelmoraCorvan\n",
        "Cleanup removed: " + u + kLoaded + "\\SOFTWARE\\JavaSoft\\Prefs\\corvane\n",
        "Cleanup removed: " + u + kLoaded + "\\SOFTWARE\\Velmora\n",
        "key[3]: " + kUnloaded + " (user account) is not loaded \n",
        "ProfileImagePath is %CORV_TEST_PROFILES%\\unloaded\n",
        "ProfileImagePath is expanded to " + profiles_ + "\\unloaded\n",
        "hive location '" + unloadedHive + "' exists\n",
        "hive " + unloadedHive + " was loaded successfully\n",
        "Cleanup removed: " + u + kUnloaded + "\\" + kRunPath + "\\VelmoraCorvan\n",
        "Cleanup removed: " + u + kUnloaded + "\\SOFTWARE\\JavaSoft\\Prefs\\corvane\n",
        "Cleanup removed: " + u + kUnloaded + "\\SOFTWARE\\Velmora\n",
        "hive " + unloadedHive + " was unloaded successfully\n",
        "key[4]: " + kNoHive + " (user account) is not loaded \n",
        "ProfileImagePath is " + profiles_ + "\\nohive\n",
        "ProfileImagePath is expanded to " + profiles_ + "\\nohive\n",
        "hive location '" + profiles_ + "\\nohive\\ntuser.dat' does not exist (not loaded)\n",
        "key[5]: " + kClean + " (user account) is not loaded \n",
        "ProfileImagePath is " + profiles_ + "\\clean\n",
        "ProfileImagePath is expanded to " + profiles_ + "\\clean\n",
        "hive location '" + cleanHive + "' exists\n",
        "hive " + cleanHive + " was loaded successfully\n",
        "Cleanup skipped non-existsing value: " + u + kClean + "\\" + kRunPath +
            "\\VelmoraCorvan\n",
        "Cleanup skipped non-existsing key: " + u + kClean +
            "\\SOFTWARE\\JavaSoft\\Prefs\\corvane\n",
        "Cleanup skipped non-existsing key: " + u + kClean + "\\SOFTWARE\\Velmora\n",
        "hive " + cleanHive + " was unloaded successfully\n",
        "key[6]: " + kLast + " (user account) is not loaded \n",
        "ProfileImagePath is " + profiles_ + "\\last\n",
        "ProfileImagePath is expanded to " + profiles_ + "\\last\n",
        "hive location '" + lastHive + "' exists\n",
        "hive " + lastHive + " was loaded successfully\n",
        "Cleanup removed: " + u + kLast + "\\" + kRunPath + "\\VelmoraCorvan\n",
        "Cleanup removed: " + u + kLast + "\\SOFTWARE\\JavaSoft\\Prefs\\corvane\n",
        "Cleanup removed: " + u + kLast + "\\SOFTWARE\\Velmora\n",
        "hive " + lastHive + " was unloaded successfully\n",
        "...finished cleaning up registry\n",
    };
    EXPECT_EQ(expected, log.Lines());
    EXPECT_EQ(
        (std::vector<std::string>{"SeBackupPrivilege", "SeRestorePrivilege", "SeBackupPrivilege",
                                  "SeRestorePrivilege", "SeBackupPrivilege", "SeRestorePrivilege"}),
        token_.enabled);

    EXPECT_EQ("run other-run velmora prefs other-prefs", Left(kMe));
    EXPECT_EQ("other-run other-prefs", Left(kLoaded));  // still loaded, cleaned in place
    EXPECT_EQ("<not loadable>", Unloaded("me"));        // in use by its loaded hive
    EXPECT_EQ("other-run other-prefs", Unloaded("unloaded"));
    EXPECT_EQ("other-run other-prefs", Unloaded("clean"));
    EXPECT_EQ("other-run other-prefs", Unloaded("last"));
    RegKey users, run;
    ASSERT_EQ(kOk, users.Open(RegRoot::Users, ""));
    EXPECT_EQ((std::vector<std::string>{kMe, kLoaded}), users.Subkeys());
    ASSERT_EQ(kOk, run.Open(RegRoot::CurrentUser, kRunPath));
    std::string value;
    EXPECT_EQ(kErrFileNotFound, run.QueryString("VelmoraCorvan", &value));
    EXPECT_EQ(kOk, run.QueryString("Other", &value));

    // A second run finds nothing left to remove, and that is no error.
    ScopedLogCapture again;
    EXPECT_TRUE(CleanupAllUsers(kMe, token_));
    EXPECT_TRUE(again.Contains("Cleanup skipped non-existsing value: HKEY_CURRENT_USER\\" +
                               kRunPath + "\\VelmoraCorvan\n"));
    EXPECT_EQ("...finished cleaning up registry\n", again.Lines().back());
}

// Each failure is logged, counts as an error and leaves the rest of the walk going.
TEST_F(UserCleanupTest, FailuresAreLoggedAndTheWalkGoesOn) {
    struct Case {
        const char* name;
        std::function<void(UserCleanupTest&)> arrange;
        std::string line;  // logged, with the profile paths as "<profiles>"
        std::string mySid = kMe;
        bool othersCleaned = true;
    };
    const Case cases[] = {
        {"no profile list",
         [](UserCleanupTest& t) {
             t.reg_->DenyAccess(RegRoot::LocalMachine, kProfileListKey, kRegRead);
         },
         "Cannot get profile list. RegOpenKey failed: " + ErrorWithText(5) + "\n", kMe, false},
        {"no token",
         [](UserCleanupTest& t) {
             t.token_.step = TokenStep::OpenProcessToken;
             t.token_.rc = kErrAccessDenied;
         },
         "Cannot load hive. OpenProcessToken failed: " + ErrorWithText(5) + "\n", kMe, false},
        {"hive file in use",
         [](UserCleanupTest& t) {
             ASSERT_EQ(kOk, LoadHive(RegRoot::Users, "Elsewhere", t.HiveFile("unloaded")));
         },
         "Could not load hive '<profiles>\\unloaded\\ntuser.dat' for profile '" + kUnloaded +
             "'. RegLoadKey failed: " + ErrorWithText(32) + "\n"},
        {"no image path",
         [](UserCleanupTest&) {
             RegKey key;
             key.Open(RegRoot::LocalMachine, std::string(kProfileListKey) + "\\" + kUnloaded,
                      kRegReadWrite);
             key.DeleteValue("ProfileImagePath");
         },
         "Cannot get ProfileImagePath of '" + kUnloaded +
             "'. RegQueryValueEx failed: " + ErrorWithText(2) + "\n"},
        {"image path of another type",
         [](UserCleanupTest&) {
             RegKey key;
             key.Open(RegRoot::LocalMachine, std::string(kProfileListKey) + "\\" + kUnloaded,
                      kRegReadWrite);
             key.SetDword("ProfileImagePath", 1);
         },
         "Cannot get ProfileImagePath of '" + kUnloaded +
             "'. RegQueryValueEx failed: " + ErrorWithText(13) + "\n"},
        {"profile item locked",
         [](UserCleanupTest& t) {
             t.reg_->DenyAccess(RegRoot::LocalMachine,
                                std::string(kProfileListKey) + "\\" + kUnloaded, kRegRead);
         },
         "Cannot open profile item '" + kUnloaded + "'. RegOpenKey failed: " + ErrorWithText(5) +
             "\n"},
        {"loaded hive locked",
         [](UserCleanupTest& t) { t.reg_->DenyAccess(RegRoot::Users, kLoaded, kRegRead); },
         "Cannot check if profile '" + kLoaded +
             "' is loaded. RegOpenKeyEx failed: " + ErrorWithText(5) + "\n"},
        {"a user's key locked",
         [](UserCleanupTest& t) {
             t.reg_->DenyAccess(RegRoot::Users, kLoaded + "\\SOFTWARE\\Velmora", kRegWrite);
         },
         "Cleanup could not remove: HKEY_USERS\\" + kLoaded + "\\SOFTWARE\\Velmora\n"},
        {"the current user's Run key locked",
         [](UserCleanupTest& t) { t.reg_->DenyAccess(RegRoot::CurrentUser, kRunPath, kRegWrite); },
         "Cleanup could not remove: HKEY_CURRENT_USER\\" + kRunPath + "\\VelmoraCorvan\n"},
        {"own SID unknown", [](UserCleanupTest&) {},
         "Cleanup skipped the other user profiles: the current user's SID is unknown\n", "", false},
    };
    for (const auto& c : cases) {
        TearDown();
        reg_->Clear();
        token_ = ScriptedToken();
        SetUp();
        c.arrange(*this);
        ScopedLogCapture log;
        EXPECT_FALSE(CleanupAllUsers(c.mySid, token_)) << c.name;
        std::string line = c.line;
        for (size_t at; (at = line.find("<profiles>")) != std::string::npos;)
            line.replace(at, 10, profiles_);
        EXPECT_TRUE(log.Contains(line)) << c.name << "\n" << log.Text();
        EXPECT_EQ("...there were errors during registry cleanup\n", log.Lines().back()) << c.name;
        // The other profiles were still cleaned, and no hive stays loaded by the walk.
        EXPECT_EQ(
            c.othersCleaned ? "other-run other-prefs" : "run other-run velmora prefs other-prefs",
            Unloaded("last"))
            << c.name;
        RegKey users;
        users.Open(RegRoot::Users, "");
        for (const auto& sub : users.Subkeys())
            EXPECT_TRUE(sub == kMe || sub == kLoaded || sub == "Elsewhere")
                << c.name << ": " << sub;
        UnloadHive(RegRoot::Users, "Elsewhere");
    }
}

TEST_F(UserCleanupTest, APrivilegeNotHeldIsLoggedAndTheLoadStillTried) {
    token_.step = TokenStep::AdjustTokenPrivileges;
    token_.rc = 1300;
    ScopedLogCapture log;
    EXPECT_TRUE(CleanupAllUsers(kMe, token_));
    EXPECT_TRUE(log.Contains("AdjustTokenPrivileges error: 1300\n"));
    EXPECT_EQ("other-run other-prefs", Unloaded("unloaded"));
}

TEST_F(UserCleanupTest, AHiveIsUnloadedEvenWhenItsCleanupFailed) {
    reg_->DenyAccess(RegRoot::Users, kUnloaded + "\\SOFTWARE\\JavaSoft\\Prefs", kRegWrite);
    ScopedLogCapture log;
    EXPECT_FALSE(CleanupAllUsers(kMe, token_));
    EXPECT_TRUE(log.Contains("Cleanup could not remove: HKEY_USERS\\" + kUnloaded +
                             "\\SOFTWARE\\JavaSoft\\Prefs\\corvane\n"));
    EXPECT_TRUE(log.Contains("hive " + HiveFile("unloaded") + " was unloaded successfully\n"));
    reg_->ClearDenied();
    EXPECT_EQ("other-run prefs other-prefs", Unloaded("unloaded"));
}

}  // namespace
}  // namespace corv::inst
