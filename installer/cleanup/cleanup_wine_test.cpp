// The uninstall traces against the real registry, real hive files and the real command
// interpreter (Windows builds; under Wine in the test run). Everything lives in the temp
// folder and in keys the tests make, and is removed file by file.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "installer/cleanup/add_remove.h"
#include "installer/cleanup/self_removal.h"
#include "installer/cleanup/user_cleanup.h"
#include "installer/sys/inst_log.h"
#include "installer/sys/process_util.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/session.h"
#include "platform/system.h"

#ifdef _WIN32

namespace corv::inst {
namespace {

const std::string kPid = std::to_string(CurrentProcessId());

TEST(CleanupWineTest, TheAddRemoveEntryInTheRegistry) {
    AddRemoveEntry e;
    e.displayName = "Corvane Cleanup Test " + kPid;
    e.uninstallString = UninstallerPath("C:\\Program Files\\Corvane");
    e.installLocation = "C:\\Program Files\\Corvane";
    e.displayIcon = "C:\\Program Files\\Corvane\\corvtray.exe";
    e.urlInfoAbout = "http://localhost/";
    e.publisher = "Velmora";
    e.contact = "nobody@localhost";
    e.displayVersion = "2.1";
    ScopedLogCapture log;
    ASSERT_TRUE(WriteAddRemoveEntry(e));
    AddRemoveEntry back;
    ASSERT_TRUE(ReadAddRemoveEntry(e.displayName, &back));
    EXPECT_EQ(e.displayName, back.displayName);
    EXPECT_EQ("C:\\Program Files\\Corvane\\uninst.exe", back.uninstallString);
    EXPECT_EQ(e.installLocation, back.installLocation);
    EXPECT_EQ(e.contact, back.contact);
    EXPECT_EQ(e.displayVersion, back.displayVersion);
    EXPECT_TRUE(RemoveAddRemoveEntry(e.displayName));
    EXPECT_FALSE(ReadAddRemoveEntry(e.displayName, &back));
    EXPECT_EQ("del regkey: HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey) + "\\" +
                  e.displayName + ", succeeded\n",
              log.Lines().back());
}

// Two other users: one logged on (the test loads the hive, as the logon would), one whose
// hive is only a file in the profile folder; and a profile whose folder holds no hive.
class RealProfilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TokenStep step;
        ASSERT_EQ(kOk, EnablePrivilege("SeBackupPrivilege", &step));
        ASSERT_EQ(kOk, EnablePrivilege("SeRestorePrivilege", &step));
        ASSERT_EQ(kOk, CurrentUserSid(&mySid_, &step));
        base_ = TempFolder() + "\\corv_profiles_" + kPid;
        ASSERT_EQ(kOk, MakeDirectory(base_));
        SetEnv("CORV_CLEANUP_PROFILES", base_);
        for (const char* name : {"logged", "other", "nohive"})
            ASSERT_EQ(kOk, MakeDirectory(base_ + "\\" + name));
        SaveHive("logged");
        SaveHive("other");
        Profile(logged_, base_ + "\\logged", RegType::Sz);
        Profile(other_, "%CORV_CLEANUP_PROFILES%\\other", RegType::ExpandSz);
        Profile(noHive_, base_ + "\\nohive", RegType::Sz);
        Profile(service_, base_ + "\\other", RegType::Sz);
        ASSERT_EQ(kOk, LoadHive(RegRoot::Users, logged_, Hive("logged")));
        RegKey run;
        ASSERT_EQ(kOk, run.Create(RegRoot::CurrentUser, kRunKey));
        ASSERT_EQ(kOk, run.SetString(kRunValue, "corvtray.exe"));
        ASSERT_EQ(kOk, run.SetString("CorvOther" + kPid, "other.exe"));
    }

    void TearDown() override {
        UnloadHive(RegRoot::Users, logged_);
        UnloadHive(RegRoot::Users, "CorvCheck" + kPid);
        RegKey key;
        if (key.Open(RegRoot::LocalMachine, kProfileListKey, kRegReadWrite) == kOk)
            for (const auto& sid : {logged_, other_, noHive_, service_}) key.DeleteTree(sid);
        if (key.Open(RegRoot::CurrentUser, kRunKey, kRegReadWrite) == kOk)
            key.DeleteValue("CorvOther" + kPid);
        // Only the files made here; a folder holding anything else stays.
        for (const char* name : {"logged", "other", "nohive"}) {
            RemoveFile(Hive(name));
            RemoveFolder(base_ + "\\" + name);
        }
        RemoveFolder(base_);
    }

    std::string Hive(const std::string& name) { return base_ + "\\" + name + "\\ntuser.dat"; }

    // A hive file holding the product's settings beside another program's.
    void SaveHive(const std::string& name) {
        std::string scratch = "Software\\CorvCleanupScratch" + kPid;
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, scratch + "\\" + kRunKey));
        key.SetString(kRunValue, "corvtray.exe");
        key.SetString("Other", "other.exe");
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser,
                                  scratch + "\\SOFTWARE\\Velmora\\Corvane\\Preferences"));
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser,
                                  scratch + "\\SOFTWARE\\JavaSoft\\Prefs\\corvane\\proxyclient"));
        ASSERT_EQ(kOk,
                  key.Create(RegRoot::CurrentUser, scratch + "\\SOFTWARE\\JavaSoft\\Prefs\\other"));
        ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, scratch));
        ASSERT_EQ(kOk, key.SaveHive(Hive(name)));
        ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, "Software", kRegReadWrite));
        ASSERT_EQ(kOk, key.DeleteTree("CorvCleanupScratch" + kPid));
    }

    void Profile(const std::string& sid, const std::string& path, RegType type) {
        RegKey key;
        ASSERT_EQ(kOk,
                  key.Create(RegRoot::LocalMachine, std::string(kProfileListKey) + "\\" + sid));
        RegValue v = MakeStringValue("ProfileImagePath", path);
        v.type = type;
        ASSERT_EQ(kOk, key.SetValue(v));
    }

    // What is left of a user's settings below HKEY_USERS\<mount>.
    std::string Left(const std::string& mount) {
        std::string left, value;
        RegKey key;
        if (key.Open(RegRoot::Users, mount + "\\" + kRunKey) == kOk) {
            if (key.QueryString(kRunValue, &value) == kOk) left += "run ";
            if (key.QueryString("Other", &value) == kOk) left += "other-run ";
        }
        if (key.Open(RegRoot::Users, mount + "\\SOFTWARE\\Velmora") == kOk) left += "velmora ";
        if (key.Open(RegRoot::Users, mount + "\\SOFTWARE\\JavaSoft\\Prefs\\corvane") == kOk)
            left += "prefs ";
        if (key.Open(RegRoot::Users, mount + "\\SOFTWARE\\JavaSoft\\Prefs\\other") == kOk)
            left += "other-prefs";
        return left;
    }

    std::string mySid_;
    std::string base_;
    const std::string logged_ = "S-1-5-21-4242-" + kPid + "-1-1001";
    const std::string other_ = "S-1-5-21-4242-" + kPid + "-1-1002";
    const std::string noHive_ = "S-1-5-21-4242-" + kPid + "-1-1003";
    const std::string service_ = "S-1-5-80-4242-" + kPid;
};

// The real registry, reading a hive's keys just before it is unloaded: Wine drops the changes
// made to a loaded hive when it unloads it (Windows writes them to the file).
class UnloadWatch : public RegistryBackend {
  public:
    UnloadWatch(RegistryBackend& real, std::function<std::string(const std::string&)> look)
        : real_(real), look_(std::move(look)) {}
    long Open(RegRoot r, const std::string& p, unsigned a, Handle* h) override {
        return real_.Open(r, p, a, h);
    }
    long Create(RegRoot r, const std::string& p, unsigned a, Handle* h) override {
        return real_.Create(r, p, a, h);
    }
    void Close(Handle h) override { real_.Close(h); }
    long Query(Handle h, const std::string& n, RegValue* v) override {
        return real_.Query(h, n, v);
    }
    long Set(Handle h, const RegValue& v) override { return real_.Set(h, v); }
    long DeleteValue(Handle h, const std::string& n) override { return real_.DeleteValue(h, n); }
    long DeleteTree(Handle h, const std::string& k) override { return real_.DeleteTree(h, k); }
    long EnumSubkey(Handle h, uint32_t i, std::string* n) override {
        return real_.EnumSubkey(h, i, n);
    }
    long EnumValue(Handle h, uint32_t i, RegValue* v) override { return real_.EnumValue(h, i, v); }
    long ArmWatch(Handle h, bool s, void** w) override { return real_.ArmWatch(h, s, w); }
    long WaitWatch(void* w, unsigned t) override { return real_.WaitWatch(w, t); }
    void CloseWatch(void* w) override { real_.CloseWatch(w); }
    long SaveHive(Handle h, const std::string& f) override { return real_.SaveHive(h, f); }
    long LoadHive(RegRoot r, const std::string& n, const std::string& f) override {
        return real_.LoadHive(r, n, f);
    }
    long UnloadHive(RegRoot r, const std::string& n) override {
        seen[n] = look_(n);
        return real_.UnloadHive(r, n);
    }
    std::map<std::string, std::string> seen;  // mount -> what was left at its unload

  private:
    RegistryBackend& real_;
    std::function<std::string(const std::string&)> look_;
};

TEST_F(RealProfilesTest, OtherUsersLoseTheSettingsLoadedOrNot) {
    ScopedLogCapture log;
    UnloadWatch watch(Registry(), [this](const std::string& mount) { return Left(mount); });
    SetRegistryBackend(&watch);
    bool ok = CleanupAllUsers(mySid_);
    SetRegistryBackend(nullptr);
    std::string text = log.Text();
    EXPECT_TRUE(ok) << text;
    const std::string u = "HKEY_USERS\\";
    for (const std::string& line : std::vector<std::string>{
             "Cleanup removed: HKEY_CURRENT_USER\\" + std::string(kRunKey) + "\\VelmoraCorvan\n",
             ": " + mySid_ + " (skipping myself)\n",
             ": " + service_ + " (skipped)\n",
             ": " + logged_ + " (user account) is loaded \n",
             "Cleanup removed: " + u + logged_ + "\\SOFTWARE\\Velmora\n",
             ": " + other_ + " (user account) is not loaded \n",
             std::string("ProfileImagePath is %CORV_CLEANUP_PROFILES%\\other\n"),
             "ProfileImagePath is expanded to " + base_ + "\\other\n",
             "hive location '" + Hive("other") + "' exists\n",
             "hive " + Hive("other") + " was loaded successfully\n",
             "Cleanup removed: " + u + other_ + "\\" + kRunKey + "\\VelmoraCorvan\n",
             "Cleanup removed: " + u + other_ + "\\SOFTWARE\\JavaSoft\\Prefs\\corvane\n",
             "Cleanup removed: " + u + other_ + "\\SOFTWARE\\Velmora\n",
             "hive " + Hive("other") + " was unloaded successfully\n",
             "hive location '" + Hive("nohive") + "' does not exist (not loaded)\n",
         })
        EXPECT_NE(std::string::npos, text.find(line)) << line << "\n--- log:\n" << text;

    EXPECT_EQ("other-run other-prefs", Left(logged_));
    EXPECT_EQ("other-run other-prefs", watch.seen[other_]);
    EXPECT_EQ(1u, watch.seen.size());
    RegKey probe;
    EXPECT_EQ(kErrFileNotFound, probe.Open(RegRoot::Users, other_));
    // The file is free again.
    ASSERT_EQ(kOk, LoadHive(RegRoot::Users, "CorvCheck" + kPid, Hive("other")));
    EXPECT_EQ(kOk, UnloadHive(RegRoot::Users, "CorvCheck" + kPid));

    RegKey run;
    ASSERT_EQ(kOk, run.Open(RegRoot::CurrentUser, kRunKey));
    std::string value;
    EXPECT_EQ(kErrFileNotFound, run.QueryString(kRunValue, &value));
    EXPECT_EQ(kOk, run.QueryString("CorvOther" + kPid, &value));
}

// The script in a folder of the temp folder: it removes what it names, itself and the
// folder once empty, and nothing beside it.
class CleanupScriptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        base_ = TempFolder() + "\\corv_selfremoval_" + kPid;
        ASSERT_EQ(kOk, MakeDirectory(base_));
        for (const auto& f : Beside()) ASSERT_EQ(kOk, WriteFileBytes(f, "keep"));
    }
    void TearDown() override {
        for (const auto& folder : {First(), Second(), Third()}) {
            for (const auto& f : Owned(folder)) RemoveFile(f);
            RemoveFile(folder + "\\notes.txt");
            RemoveFile(folder + "\\cleanup.bat");
            // An interpreter's console may keep its start folder in use a little longer.
            for (int i = 0; i < 100 && PathExists(folder) && RemoveFolder(folder) != kOk; ++i)
                SleepMs(100);
        }
        for (const auto& f : Beside()) RemoveFile(f);
        RemoveFolder(base_);
    }

    // Blanks, signs that would end a command or group commands, a character beyond ASCII.
    std::string First() { return base_ + "\\Corvane (x86) R&D M\xC3\xBCller"; }
    std::string Second() { return base_ + "\\Second"; }
    // A "%" that an interpreter would expand.
    std::string Third() { return base_ + "\\Corv%PATH%ane"; }
    std::vector<std::string> Beside() { return {base_ + "\\keep.txt", base_ + "\\keep.dll"}; }
    std::vector<std::string> Owned(const std::string& folder) {
        return {folder + "\\jnibridge.dll", folder + "\\helper.DLL",    folder + "\\uninst.cfg",
                folder + "\\uninst.exe",    folder + "\\uninstall.log", folder + "\\install.log"};
    }

    void RunScript(const std::string& folder) {
        SelfRemoval r;
        r.folder = folder;
        r.packageFiles = {folder + "\\jnibridge.dll", folder + "\\helper.DLL",
                          folder + "\\corvtray.exe"};
        r.uninstallLog = folder + "\\uninstall.log";
        ScopedLogCapture log;
        unsigned pid = DeleteMySelf(r);
        ASSERT_NE(0u, pid) << log.Text();
        EXPECT_TRUE(log.Contains("Started " + folder +
                                 "\\cleanup.bat with pid: " + std::to_string(pid) + "\n"))
            << log.Text();
        ASSERT_EQ(ProcessWait::Ended, WaitForProcess(pid, 60000));
    }

    // The folder goes a moment after the script has ended, from a second interpreter.
    bool Gone(const std::string& folder) {
        for (int i = 0; i < 300 && PathExists(folder); ++i) SleepMs(100);
        return !PathExists(folder);
    }

    std::string Left(const std::string& folder) {
        std::string left;
        for (const auto& f : Owned(folder))
            if (PathExists(f)) left += f + " ";
        if (PathExists(folder + "\\cleanup.bat")) left += "cleanup.bat";
        return left;
    }

    std::string base_;
};

TEST_F(CleanupScriptTest, TheScriptRemovesItsFilesItselfAndTheEmptyFolderOnly) {
    for (const auto& folder : {First(), Second(), Third()}) ASSERT_EQ(kOk, MakeDirectory(folder));
    for (const auto& folder : {First(), Second(), Third()})
        for (const auto& f : Owned(folder)) ASSERT_EQ(kOk, WriteFileBytes(f, "x"));
    ASSERT_EQ(kOk, WriteFileBytes(Second() + "\\notes.txt", "the user's"));

    RunScript(First());
    EXPECT_TRUE(Gone(First())) << Left(First());
    for (const auto& f : Beside()) EXPECT_TRUE(PathExists(f)) << f;
    EXPECT_TRUE(PathExists(Second() + "\\jnibridge.dll"));

    // A folder still holding a file of the user's keeps it; the script's own files go.
    RunScript(Second());
    for (int i = 0; i < 300 && PathExists(Second() + "\\cleanup.bat"); ++i) SleepMs(100);
    EXPECT_EQ("", Left(Second()));
    EXPECT_TRUE(PathExists(Second() + "\\notes.txt"));
    for (const auto& f : Beside()) EXPECT_TRUE(PathExists(f)) << f;

    // Named with a "%": the files and the script go; the folder too where the interpreter
    // closes the script between lines, as Windows' does (Wine's holds it open).
    RunScript(Third());
    for (int i = 0; i < 300 && PathExists(Third() + "\\cleanup.bat"); ++i) SleepMs(100);
    EXPECT_EQ("", Left(Third()));
    for (const auto& f : Beside()) EXPECT_TRUE(PathExists(f)) << f;
}

}  // namespace
}  // namespace corv::inst

#endif
