#include "installer/manager/install_mgr.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "installer/testing/fake_system.h"
#include "installer/testing/test_support.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {
namespace {

using test::ReadText;
using test::TempTree;
using test::WriteText;
using ::testing::HasSubstr;

using test::FakeSystem;

class ManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        oldTemp_ = GetEnv("TEMP");
        ASSERT_EQ(kOk, MakeDirectory(temp_));
        ASSERT_EQ(kOk, MakeDirectory(pkg_));
        SetEnv("TEMP", temp_);
        system_.programFiles = tree_["pf"];
        MakeDirectory(system_.programFiles);
    }
    void TearDown() override { SetEnv("TEMP", oldTemp_); }

    // A package of the product; `extra` is added to its [Release] section.
    void Package(const std::string& version, const std::string& type = "Install",
                 const std::string& extra = "") {
        WriteText(pkg_ + "\\corvinst.cfg",
                  "[Release]\nPackageType=" + type +
                      "\nCompany=Velmora\nProduct=Corvane\nProcessName=corvtray\nVersion=" +
                      version + "\nInstallFor=onlyforme\nTargetFolder=" + target_ +
                      "\nRegistryRoot=HKCU\nRegistryInstallLocation=SOFTWARE\\Velmora\\Corvane\n" +
                      extra +
                      "[AddRemovePrograms]\nDisplayName=Corvane\n"
                      "[Selectables]\ninternal=docs|Documentation|selected\n"
                      "[FileItems]\nfile=$TargetFolder\\corvtray.exe\n");
    }

    // An installation of `version` in `folder` by `user`, recorded where the package looks.
    void Installed(const std::string& version, const std::string& folder,
                   const std::string& user = "S-1-5-21-100", bool record = true) {
        WriteText(folder + "\\uninst.cfg",
                  "[corvinstall]\nuser=" + user +
                      "\n[Release]\nPackageType=Install\nProduct=Corvane\nVersion=" + version +
                      "\nTargetFolder=" + folder +
                      "\nInstallFor=allusers\n[AddRemovePrograms]\nDisplayName=Corvane\n"
                      "UninstallString=" +
                      folder +
                      "\\uninst.exe\n[Selectables]\ninternal=docs|Documentation|cleared\n");
        if (record) {
            RegKey key;
            ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, "SOFTWARE\\Velmora\\Corvane"));
            key.SetString("InstallLocation", folder);
        }
    }

    void UninstallEntry(const std::string& folder, const std::string& uninstall) {
        RegKey key;
        ASSERT_EQ(kOk,
                  key.Create(RegRoot::LocalMachine,
                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane"));
        key.SetString("DisplayName", "Corvane");
        key.SetString("InstallLocation", folder);
        key.SetString("UninstallString", uninstall);
    }

    InstallerOptions Options(bool silent = false) {
        InstallerOptions o;
        o.packageFolder = pkg_;
        o.configPath = pkg_ + "\\corvinst.cfg";
        o.programFile = pkg_ + "\\corvinst.exe";
        o.silent = silent;
        o.load.windowsVersion = "Windows XP";
        o.load.placeholders = [](const std::string&, std::string*) { return false; };
        return o;
    }

    InstallAction Install(bool silent = false) {
        log_ = std::make_unique<CInstallLog>();
        log_->Attach();
        mgr_ = std::make_unique<CInstallMgr>(Options(silent), *log_, system_);
        InstallAction action = mgr_->Install();
        log_->Detach();
        return action;
    }

    std::string LogText() { return ReadText(log_->Path()); }

    TempTree tree_{"corvmgr"};
    std::string temp_ = tree_["temp"], pkg_ = tree_["pkg"], target_ = tree_["target"];
    std::string oldTemp_;
    ScopedMemoryRegistry registry_;
    FakeSystem system_;
    std::unique_ptr<CInstallLog> log_;
    std::unique_ptr<CInstallMgr> mgr_;
};

TEST_F(ManagerTest, VersionDecisions) {
    const struct {
        const char* installed;  // empty: nothing installed
        const char* version;
        const char* type;
        const char* since;
        InstallAction expected;
        const char* message;  // shown, when the start is refused
    } cases[] = {
        {"", "2.1", "Install", "", InstallAction::INSTALL, ""},
        {"2.1", "2.1", "Install", "", InstallAction::ERRORSAME,
         "Corvane version 2.1 is already installed on this computer!"},
        {"2.1", "2.0", "Install", "", InstallAction::ERRORNEWER,
         "Found newer version! \n\nCorvane version 2.1 is already installed! \n\nIf you really "
         "would like to install the older version 2.0, \nplease uninstall the current version "
         "first!"},
        {"2.9", "2.10", "Install", "", InstallAction::UPGRADE, ""},
        {"2.0", "2.2", "patch", "2.1", InstallAction::ERRORNOTAPPLICABLE,
         "This patch is not valid on your current version of Corvane!\n\nBecause of major "
         "changes you have to download and install the full\nrelease of Corvane 2.2!\n"},
        {"2.1", "2.2", "Patch", "2.1", InstallAction::PATCH, ""},
        {"2.1", "2.2", "patch", "", InstallAction::PATCH, ""},
        {"", "2.2", "patch", "", InstallAction::ERRORUPDATE,
         "Could not find any installed version of Corvane to update! \n\nThis is a patch "
         "release! \nPlease download a full release from http://www.corvane.example/download"},
        {"2.x", "2.2", "Install", "", InstallAction::ERRORVERSION,
         "Cannot compare the installed version 2.x of Corvane with version 2.2!"},
        {"", "1", "Wrapper", "", InstallAction::WRAPPER, ""},
        {"2.1", "1", "multiinstall", "", InstallAction::MULTIINSTALL, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.installed) + " -> " + c.version + " " + c.type);
        registry_->Clear();
        test::RemoveTreeUnderTemp(target_);
        test::RemoveTreeUnderTemp(temp_);  // ten temporary logs at most
        MakeDirectory(temp_);
        if (*c.installed) Installed(c.installed, target_);
        Package(c.version, c.type,
                *c.since ? std::string("ApplicableSince=") + c.since + "\n" : "");
        ScopedScriptedPrompter prompts;
        EXPECT_EQ(c.expected, Install());
        EXPECT_THAT(LogText(), HasSubstr(std::string("Install action: ") + ActionName(c.expected)));
        if (*c.message)
            EXPECT_EQ(std::vector<std::string>{c.message}, prompts.Texts());
        else
            EXPECT_TRUE(prompts.Texts().empty());
    }
}

TEST_F(ManagerTest, AnUpdateTakesOverWhereAndForWhomItIsInstalled) {
    std::string elsewhere = tree_["elsewhere"];
    Installed("2.0", elsewhere);
    Package("2.1");
    ASSERT_EQ(InstallAction::UPGRADE, Install());
    const ReleaseInfo& r = mgr_->Config().GetRelease();
    EXPECT_EQ(elsewhere, mgr_->TargetFolder());
    EXPECT_EQ(elsewhere, r.targetFolder);
    EXPECT_EQ(InstallFor::AllUsers, r.installFor);
    EXPECT_FALSE(mgr_->Config().FindSelectable("docs")->selected);  // left out then
    ASSERT_NE(nullptr, mgr_->Installed());
    EXPECT_EQ("2.0", mgr_->Variables().oldVersion);
    EXPECT_EQ("Update Corvane from 2.0 to 2.1",
              mgr_->Substitute("$Install $Product from $oldversion to $newversion"));
    EXPECT_THAT(LogText(), HasSubstr("inifileExists=TRUE (" + elsewhere + "\\uninst.cfg)\n"));
    EXPECT_THAT(LogText(),
                HasSubstr("Current user id: S-1-5-21-100, previous user: S-1-5-21-100\n"));
}

TEST_F(ManagerTest, InstallationsRecordedElsewhere) {
    Package("2.1");
    // The tray client's home in a user's hive, where its program is.
    std::string home = tree_["home"];
    Installed("2.0", home, "S-1-5-21-100", false);
    WriteText(home + "\\corvtray.exe", "x");
    {
        RegKey key;
        ASSERT_EQ(
            kOk, key.Create(RegRoot::Users, "S-1-5-21-7\\Software\\Velmora\\Corvane\\Preferences"));
        key.SetString("home", home + "\\");
    }
    EXPECT_EQ(InstallAction::UPGRADE, Install());
    EXPECT_EQ(home, mgr_->TargetFolder());

    // Another installer's entry in Add/Remove Programs.
    registry_->Clear();
    UninstallEntry(tree_["msi"], "MsiExec.exe /X{1234}");
    ScopedScriptedPrompter prompts;
    EXPECT_EQ(InstallAction::ERRORMSI, Install());
    EXPECT_EQ(std::vector<std::string>{"Corvane is already installed!\n\nPlease go to Control "
                                       "Panel -> Add/Remove Programs and \nuninstall it before "
                                       "proceeding!"},
              prompts.Texts());
}

TEST_F(ManagerTest, ADamagedInstallationIsOverwrittenOnlyWhenTheUserSaysSo) {
    Package("2.1");
    std::string damaged = tree_["damaged"];
    MakeDirectory(damaged);
    UninstallEntry(damaged, "\"" + damaged + "\\uninst.exe\"");
    const std::string question =
        "Warning! Found corrupt installation of Corvane, file does not "
        "exist: \n\n" +
        damaged + "\\uninst.cfg\n\nDo you want to overwrite the installation?";
    {
        ScopedScriptedPrompter prompts({PromptAnswer::No});
        EXPECT_EQ(InstallAction::ERRORCANCEL, Install());
        EXPECT_EQ(std::vector<std::string>{question}, prompts.Texts());
        EXPECT_THAT(LogText(), HasSubstr("Found corrupt installation of Corvane, could not find "
                                         "file: \n\n" +
                                         damaged + "\\uninst.cfg\n\n"));
    }
    {
        ScopedScriptedPrompter prompts({PromptAnswer::Yes});
        EXPECT_EQ(InstallAction::INSTALL, Install());
        EXPECT_EQ(damaged, mgr_->TargetFolder());
    }
    {
        // Nobody to ask: the safe answer.
        ScopedScriptedPrompter prompts;
        EXPECT_EQ(InstallAction::ERRORCANCEL, Install(true));
        EXPECT_TRUE(prompts.Texts().empty());
        EXPECT_THAT(LogText(), HasSubstr(question + "\nSilent run: answered No\n"));
    }
}

TEST_F(ManagerTest, AnotherUsersInstallation) {
    Package("2.1");
    Installed("2.0", target_, "S-1-5-21-999");
    system_.admin = false;  // and the probes fail: no program files folder
    system_.programFiles = "";
    {
        ScopedScriptedPrompter prompts;
        EXPECT_EQ(InstallAction::ERRORUSR, Install());
        EXPECT_EQ(std::vector<std::string>{"Corvane is already installed by S-1-5-21-999!\n\nYou "
                                           "do not have sufficient rights for overwriting "
                                           "Corvane!\nPlease log in as the appropriate user "
                                           "before proceeding!\n"},
                  prompts.Texts());
        EXPECT_THAT(LogText(), HasSubstr("User: tester, does not have administrator rights\n"));
    }
    system_.admin = true;
    for (PromptAnswer answer : {PromptAnswer::No, PromptAnswer::Yes}) {
        ScopedScriptedPrompter prompts({answer});
        EXPECT_EQ(answer == PromptAnswer::Yes ? InstallAction::UPGRADE : InstallAction::ERRORCANCEL,
                  Install());
        EXPECT_EQ(std::vector<std::string>{"Corvane is already installed by S-1-5-21-999!\n\nDo "
                                           "you want to overwrite the installation!"},
                  prompts.Texts());
    }
    ScopedScriptedPrompter prompts;
    EXPECT_EQ(InstallAction::ERRORCANCEL, Install(true));
}

TEST_F(ManagerTest, RunningPrograms) {
    Package("2.1");
    ScopedScriptedPrompter prompts;
    system_.running["corvtray.exe"] = 42;
    EXPECT_EQ(InstallAction::ERRORRUN, Install());
    system_.running["uninst.exe"] = 43;
    EXPECT_EQ(InstallAction::ERRORRUN, Install());
    EXPECT_EQ((std::vector<std::string>{
                  "Not able to determine installation status!\n\nPlease terminate Corvane and "
                  "uninstall it before proceeding!",
                  "A uninstall script is running! Please stop it and try again!"}),
              prompts.Texts());
    // Over an installation the job stops the program itself.
    system_.running.erase("uninst.exe");
    Installed("2.0", target_);
    EXPECT_EQ(InstallAction::UPGRADE, Install());
}

TEST_F(ManagerTest, RightsFromTheGroupOrFromBothProbes) {
    Package("2.1", "Install", "InstallFor=allusers\n");
    system_.admin = false;
    EXPECT_EQ(InstallAction::INSTALL, Install());
    EXPECT_THAT(LogText(), HasSubstr("canCreateFiles=TRUE, canCreateKeys=TRUE\nisAdministrator()="
                                     "TRUE\nUser: tester, has administrator rights\n"));
    // The key probe leaves no key of its own behind.
    EXPECT_FALSE(registry_->KeyExists(RegRoot::LocalMachine, "SOFTWARE\\Velmora"));
    EXPECT_FALSE(PathExists(system_.programFiles + "\\____test"));

    registry_->DenyAccess(RegRoot::LocalMachine, "SOFTWARE\\Velmora\\___test");
    ScopedScriptedPrompter prompts;
    EXPECT_EQ(InstallAction::ERRORUSR, Install());
    EXPECT_EQ(std::vector<std::string>{"You need administrator rights to install Corvane! "
                                       "\r\nPlease login as an administrator and try again!"},
              prompts.Texts());
    // For this user only, no rights are needed.
    Package("2.1");
    EXPECT_EQ(InstallAction::INSTALL, Install());
}

TEST_F(ManagerTest, DiskSpace) {
    Package("2.1");
    WriteText(pkg_ + "\\corvtray.exe", std::string(2 * 1048576, 'x'));
    system_.disk = {10 * 1048576ull, 3 * 1048576ull, 2 * 1048576ull};
    ScopedScriptedPrompter prompts;
    EXPECT_EQ(InstallAction::ERRORDISKFULL, Install());
    EXPECT_EQ(std::vector<std::string>{"The installation requires 2 MBytes disk space \nwhile "
                                       "only 2 MB is available!\n"},
              prompts.Texts());
    EXPECT_THAT(LogText(), HasSubstr("Disk info: 10 MB (total), 3 MB (free), 2 MB (user) on " +
                                     target_ + "\n"));
    // What cannot be measured is reported and left out.
    RemoveFile(pkg_ + "\\corvtray.exe");
    EXPECT_EQ(InstallAction::INSTALL, Install());
    EXPECT_THAT(LogText(), HasSubstr("Could not get file size on " + pkg_ + "\\corvtray.exe \n"));
}

TEST_F(ManagerTest, TemporaryLogsAndTheirMoveToTheTarget) {
    Package("2.1");
    WriteText(temp_ + "\\Corvane_install_000.log", "older run");
    EXPECT_EQ(InstallAction::INSTALL, Install());
    EXPECT_EQ(temp_ + "\\Corvane_install_001.log", log_->Path());
    EXPECT_EQ("older run", ReadText(temp_ + "\\Corvane_install_000.log"));
    std::string text = LogText();
    EXPECT_EQ(0u,
              text.find("CInstallMgr::Install()\nVelmora Install script version: 3.0.1-0007\n"));
    ASSERT_EQ(kOk, MakeDirectory(target_));
    mgr_->MoveLogToTarget();
    EXPECT_EQ(target_ + "\\install.log", log_->Path());
    EXPECT_EQ(text, ReadText(target_ + "\\install.log"));
    EXPECT_FALSE(PathExists(temp_ + "\\Corvane_install_001.log"));

    for (int i = 0; i < 10; ++i)
        WriteText(temp_ + Format("\\Corvane_install_%03d.log", i), "taken");
    ScopedScriptedPrompter prompts;
    EXPECT_EQ(InstallAction::ERRORCONFIG, Install());
    EXPECT_EQ(std::vector<std::string>{"Could not generate temporary log filename!"},
              prompts.Texts());
}

TEST_F(ManagerTest, UninstallStart) {
    Installed("2.0", target_);
    InstallerOptions o = Options();
    o.programFile = target_ + "\\uninst.exe";
    o.configPath = target_ + "\\uninst.cfg";
    std::string cwd = CurrentFolder();
    auto uninstall = [&]() {
        log_ = std::make_unique<CInstallLog>();
        log_->Attach();
        mgr_ = std::make_unique<CInstallMgr>(o, *log_, system_);
        InstallAction action = mgr_->Uninstall();
        log_->Detach();
        ChangeFolder(cwd);
        return action;
    };
    UninstallEntry(tree_["moved"], target_ + "\\uninst.exe");
    EXPECT_EQ(InstallAction::UNINSTALL, uninstall());
    EXPECT_EQ(temp_ + "\\Corvane_uninstall_000.log", log_->Path());
    std::string text = LogText();
    EXPECT_THAT(text, HasSubstr("CInstallMgr::Uninstall()\nchdir to: " + target_ + "\n"));
    EXPECT_THAT(text, HasSubstr("Product to uninstall: Corvane, version: 2.0, file version: not "
                                "set\nWindows version: Windows XP\n"));
    EXPECT_THAT(text, HasSubstr("Warning! Inconsistent dirs: home=" + target_ +
                                ", installLocation=" + tree_["moved"] + "\n"));
    EXPECT_EQ("Uninstall Corvane 2.0", mgr_->Substitute("$Install $Product $oldversion"));

    ScopedScriptedPrompter prompts;
    system_.running["corvinst.exe"] = 7;
    EXPECT_EQ(InstallAction::ERRORRUN, uninstall());
    system_.running.clear();
    system_.admin = false;
    system_.programFiles = "";  // and the write probe fails
    system_.sid = "S-1-5-21-5";
    EXPECT_EQ(InstallAction::ERRORUSR, uninstall());
    system_.admin = true;
    UninstallEntry(target_, "MsiExec.exe /X{1}");
    EXPECT_EQ(InstallAction::ERRORMSI, uninstall());
    EXPECT_EQ((std::vector<std::string>{
                  "Another install or uninstall script is running! Please stop it and try again!",
                  "Corvane was installed by S-1-5-21-100!\n\nYou do not have sufficient rights "
                  "for uninstalling Corvane.\nPlease log in as the appropriate user before "
                  "proceeding!\n",
                  "Incompatibility problem! \nCorvane was installed using a different install "
                  "script!\n\nPlease go to Control Panel -> Add/Remove Programs \nfor "
                  "uninstalling it!"}),
              prompts.Texts());
}

TEST_F(ManagerTest, ABrokenDescriptionIsRefused) {
    WriteText(pkg_ + "\\corvinst.cfg", "[Release]\nProduct=Corvane\nVersion=1\n");
    ScopedScriptedPrompter prompts;
    EXPECT_EQ(InstallAction::ERRORCONFIG, Install());
    EXPECT_EQ(std::vector<std::string>{"Installation file, " + pkg_ +
                                       "\\corvinst.cfg, is corrupt! [Release] PackageType is "
                                       "missing\n"},
              prompts.Texts());
    EXPECT_EQ(temp_ + "\\Corvane_install_000.log", log_->Path());
}

}  // namespace
}  // namespace corv::inst
