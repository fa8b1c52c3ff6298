// The installer's decision and job on a real Windows system (under Wine): a package folder
// built here is installed, upgraded, patched, made to fail and removed, with the real registry,
// shell links and REGSVR32 registering a control that records its registration.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/job/install_job.h"
#include "installer/testing/test_support.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/prompt.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {
namespace {

using test::ReadText;
using test::TempTree;
using test::WriteText;
using ::testing::HasSubstr;

const char kUninstallEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CorvTest";
const char kTestKey[] = "Software\\CorvaneTest";

void DeleteKey(RegRoot root, const std::string& parent, const std::string& name) {
    RegKey key;
    if (key.Open(root, parent, kRegReadWrite) == kOk) key.DeleteTree(name);
}

std::string Value(RegRoot root, const std::string& key, const std::string& name) {
    RegKey k;
    RegValue v;
    if (k.Open(root, key, kRegRead) != kOk || k.QueryValue(name, &v) != kOk) return "<none>";
    return v.type == RegType::Dword ? std::to_string(ValueDword(v)) : ValueText(v);
}

class InstallerWineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        cwd_ = CurrentFolder();
        oldTemp_ = GetEnv("TEMP");
        ASSERT_EQ(kOk, MakeDirectory(temp_));
        SetEnv("TEMP", temp_);
        CleanRegistry();
        WriteText(pkg_ + "\\corvinst.exe", "stands for the installer");
        ASSERT_EQ(kOk, CopyFileTo(ProgramPath() + "\\corvtestctl.dll", pkg_ + "\\ctl.dll", true));
        WriteText(pkg_ + "\\make.bat", "@echo made by %2> %1\r\n");
    }
    void TearDown() override {
        ChangeFolder(cwd_);
        SetEnv("TEMP", oldTemp_);
        log_.reset();
        CleanRegistry();
    }
    void CleanRegistry() {
        DeleteKey(RegRoot::CurrentUser, "Software", "CorvaneTest");
        DeleteKey(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                  "CorvTest");
    }

    // A package of `version`; `files` are the package's files with their contents.
    void Package(const std::string& version, const std::string& type, const std::string& since,
                 const std::string& fileItems) {
        WriteText(
            pkg_ + "\\corvinst.cfg",
            "[Release]\r\nPackageType=" + type +
                "\r\nCompany=Velmora\r\nProduct=CorvTest\r\nProcessName=corvtest\r\n"
                "Version=" +
                version + "\r\nApplicableSince=" + since +
                "\r\nInstallFor=onlyforme\r\nTargetFolder=" + target_ +
                "\r\nRegistryRoot=HKCU\r\nRegistryInstallLocation=Software\\CorvaneTest\r\n"
                "[AddRemovePrograms]\r\nDisplayName=CorvTest\r\nDisplayVersion=" +
                version +
                "\r\n[RegistryKeys]\r\n"
                "reg=$TargetHKEY|Software\\CorvaneTest|InstallLocation|REG_SZ|$TargetFolder\r\n"
                "reg=$TargetHKEY|Software\\CorvaneTest\\Settings|version|REG_SZ|" +
                version +
                "\r\nreg=HKCU|Software\\CorvaneTest\\Settings|build|REG_DWORD|0x20\r\n"
                "[FileItems]\r\n" +
                fileItems +
                "activex=$TargetFolder\\ctl.dll\r\n"
                "link=$TargetFolder\\links\\App.lnk|$TargetFolder\\app.txt||-x\r\n"
                "[Scripts]\r\nExec=" +
                GetEnv("COMSPEC") + "|void|/c " + pkg_ + "\\make.bat \"$TargetFolder\\out.txt\" " +
                version + "|$TargetFolder\\out.txt|hide|overwrite|1\r\n");
    }

    std::unique_ptr<CInstallMgr> Manager(bool uninstall) {
        log_ = std::make_unique<CInstallLog>();
        log_->Attach();
        InstallerOptions o;
        o.packageFolder = uninstall ? target_ : pkg_;
        o.configPath = uninstall ? target_ + "\\uninst.cfg" : pkg_ + "\\corvinst.cfg";
        o.programFile = uninstall ? target_ + "\\uninst.exe" : pkg_ + "\\corvinst.exe";
        o.silent = true;
        return std::make_unique<CInstallMgr>(o, *log_);
    }

    JobOutcome RunJob(CInstallMgr& mgr) {
        JobOptions options;
        options.installerFile = pkg_ + "\\corvinst.exe";
        options.progressPauseMs = 0;
        CInstallJob job(mgr, options);
        JobOutcome outcome = job.Run();
        complete_ = job.CompleteText();
        log_->Detach();
        ChangeFolder(cwd_);
        return outcome;
    }

    InstallAction Install() {
        auto mgr = Manager(false);
        InstallAction action = mgr->Install();
        if (IsRun(action)) outcome_ = RunJob(*mgr);
        log_->Detach();
        return action;
    }

    InstallAction Uninstall() {
        auto mgr = Manager(true);
        InstallAction action = mgr->Uninstall();
        if (action == InstallAction::UNINSTALL) outcome_ = RunJob(*mgr);
        log_->Detach();
        ChangeFolder(cwd_);
        return action;
    }

    std::string Snapshot() {
        return test::FilesSnapshot(target_) +
               test::RegistrySnapshot(
                   {{RegRoot::CurrentUser, kTestKey}, {RegRoot::LocalMachine, kUninstallEntry}});
    }

    TempTree tree_{"corvinst"};
    std::string temp_ = tree_["temp"], pkg_ = tree_["pkg"],
                target_ = tree_["Program Files\\CorvTest"];
    std::string cwd_, oldTemp_;
    ScopedScriptedPrompter prompts_;
    std::unique_ptr<CInstallLog> log_;
    JobOutcome outcome_ = JobOutcome::Failed;
    std::string complete_;
};

TEST_F(InstallerWineTest, InstallUpgradePatchFailureAndUninstall) {
    const std::string settings = std::string(kTestKey) + "\\Settings";
    const std::string control = std::string(kTestKey) + "\\Control";

    // A fresh install.
    WriteText(pkg_ + "\\app.txt", "app 2.0");
    WriteText(pkg_ + "\\lib.dll", "lib 2.0");
    Package("2.0", "Install", "",
            "dir=$TargetFolder\\data\r\nfile=$TargetFolder\\app.txt\r\n"
            "file=$TargetFolder\\data\\lib.dll\r\n");
    ASSERT_EQ(InstallAction::INSTALL, Install());
    ASSERT_EQ(JobOutcome::Success, outcome_) << complete_;
    EXPECT_EQ("app 2.0", ReadText(target_ + "\\app.txt"));
    EXPECT_EQ("lib 2.0", ReadText(target_ + "\\data\\lib.dll"));
    EXPECT_EQ("made by 2.0\r\n", ReadText(target_ + "\\out.txt"));
    std::string link = ReadText(target_ + "\\links\\App.lnk");
    EXPECT_EQ(std::string("L\0\0\0", 4), link.substr(0, 4));  // a shell link's header
    EXPECT_EQ(target_ + "\\ctl.dll", Value(RegRoot::CurrentUser, control, "Registered"));
    EXPECT_EQ("2.0", Value(RegRoot::CurrentUser, settings, "version"));
    EXPECT_EQ("32", Value(RegRoot::CurrentUser, settings, "build"));
    EXPECT_EQ(target_ + "\\uninst.exe",
              Value(RegRoot::LocalMachine, kUninstallEntry, "UninstallString"));
    EXPECT_FALSE(PathExists(target_ + "\\fallback"));
    EXPECT_THAT(ReadText(target_ + "\\install.log"),
                HasSubstr("Register activex control: " + target_ + "\\ctl.dll, succeeded\n"));

    // The same version again, and a patch that needs a later one.
    EXPECT_EQ(InstallAction::ERRORSAME, Install());
    Package("2.2", "patch", "2.1", "file=$TargetFolder\\app.txt\r\n");
    EXPECT_EQ(InstallAction::ERRORNOTAPPLICABLE, Install());

    // An upgrade: a file replaced, one removed as obsolete, one added.
    WriteText(pkg_ + "\\app.txt", "app 2.1");
    WriteText(pkg_ + "\\new.txt", "new 2.1");
    Package("2.1", "Install", "",
            "file=$TargetFolder\\app.txt\r\nfile=$TargetFolder\\data\\lib.dll|obsolete\r\n"
            "file=$TargetFolder\\new.txt\r\n");
    ASSERT_EQ(InstallAction::UPGRADE, Install());
    ASSERT_EQ(JobOutcome::Success, outcome_) << complete_;
    EXPECT_EQ("app 2.1", ReadText(target_ + "\\app.txt"));
    EXPECT_FALSE(PathExists(target_ + "\\data\\lib.dll"));
    EXPECT_EQ("new 2.1", ReadText(target_ + "\\new.txt"));
    EXPECT_EQ("made by 2.1\r\n", ReadText(target_ + "\\out.txt"));
    EXPECT_EQ("2.1", Value(RegRoot::CurrentUser, settings, "version"));
    EXPECT_EQ(target_ + "\\ctl.dll", Value(RegRoot::CurrentUser, control, "Registered"));

    // A patch that applies.
    WriteText(pkg_ + "\\app.txt", "app 2.2");
    Package("2.2", "patch", "2.1", "file=$TargetFolder\\app.txt\r\n");
    ASSERT_EQ(InstallAction::PATCH, Install());
    ASSERT_EQ(JobOutcome::Success, outcome_) << complete_;
    EXPECT_EQ("app 2.2", ReadText(target_ + "\\app.txt"));
    EXPECT_EQ("new 2.1", ReadText(target_ + "\\new.txt"));  // not in the patch: kept
    CInstallConfig installed;
    installed.LoadInstalled(target_ + "\\uninst.cfg");
    EXPECT_EQ("2.2", installed.GetRelease().version);
    EXPECT_EQ(target_, installed.GetRelease().targetFolder);

    // An upgrade that fails late leaves 2.2 as it was, byte for byte.
    const std::string before = Snapshot();
    WriteText(pkg_ + "\\app.txt", "app 3.0");
    Package("3.0", "Install", "",
            "file=$TargetFolder\\app.txt\r\nfile=$TargetFolder\\new.txt|obsolete\r\n"
            "file=$TargetFolder\\missing.txt\r\n");
    ASSERT_EQ(InstallAction::UPGRADE, Install());
    EXPECT_EQ(JobOutcome::Failed, outcome_);
    EXPECT_THAT(complete_, HasSubstr("Source file does not exist: " + pkg_ + "\\missing.txt"));
    EXPECT_EQ(before, Snapshot());

    // The uninstall, run as the installed uninstaller.
    ASSERT_EQ(InstallAction::UNINSTALL, Uninstall());
    ASSERT_EQ(JobOutcome::Success, outcome_) << complete_;
    for (const char* gone : {"app.txt", "new.txt", "ctl.dll", "links\\App.lnk", "data"})
        EXPECT_FALSE(PathExists(target_ + "\\" + gone)) << gone;
    EXPECT_EQ("<none>", Value(RegRoot::CurrentUser, control, "Registered"));
    EXPECT_EQ("<none>", Value(RegRoot::CurrentUser, settings, "version"));
    EXPECT_EQ("<none>", Value(RegRoot::CurrentUser, kTestKey, "InstallLocation"));
    RegKey entry;
    EXPECT_NE(kOk, entry.Open(RegRoot::LocalMachine, kUninstallEntry, kRegRead));
    EXPECT_TRUE(prompts_.Texts().empty());  // a silent run shows nothing
}

}  // namespace
}  // namespace corv::inst
