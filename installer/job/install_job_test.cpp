#include "installer/job/install_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

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

using test::FakeSystem;
using test::ReadText;
using test::TempTree;
using test::WriteText;
using ::testing::HasSubstr;
using ::testing::Not;

const char kShellFolders[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A script that writes "made by <its argument>" into the file named by its first argument; on
// Windows a batch file run by cmd.exe, elsewhere a shell script.
struct Script {
    std::string program, prefix;
};

Script MakeScript(const std::string& folder, bool fails = false) {
#ifdef _WIN32
    WriteText(folder + "\\setup.bat",
              fails ? "@exit /b 3\r\n" : "@echo made by %2> %1\r\n@exit /b 0\r\n");
    // Unquoted: cmd.exe takes a quoted first word followed by more quotes apart.
    return {GetEnv("COMSPEC"), "/c " + folder + "\\setup.bat "};
#else
    WriteText(folder + "/setup.sh",
              fails ? "exit 3\n"
                    : "f=$(printf '%s' \"$1\" | tr '\\\\' '/')\nprintf 'made by %s\\r\\n' \"$2\" > "
                      "\"$f\"\n");
    return {"/bin/sh", "\"" + NativePath(folder + "/setup.sh") + "\" "};
#endif
}

class JobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        oldTemp_ = GetEnv("TEMP");
        oldRoot_ = GetEnv("SYSTEMROOT");
        for (const std::string& f : {temp_, pkg_, menu_}) ASSERT_EQ(kOk, MakeDirectory(f));
        SetEnv("TEMP", temp_);
        SetEnv("SYSTEMROOT", tree_["sysroot"]);  // no REGSVR32.EXE unless a test puts one
        RegKey folders;
        ASSERT_EQ(kOk, folders.Create(RegRoot::CurrentUser, kShellFolders));
        folders.SetString("Programs", menu_);
        WriteText(pkg_ + "\\corvinst.exe", "the installer");
        script_ = MakeScript(pkg_);
    }
    void TearDown() override {
        SetEnv("TEMP", oldTemp_);
        SetEnv("SYSTEMROOT", oldRoot_);
    }

    // The package description: [Release] for this version, then `items`.
    void Package(const std::string& version, const std::string& items,
                 const std::string& type = "Install") {
        WriteText(pkg_ + "\\corvinst.cfg",
                  "[Release]\nPackageType=" + type +
                      "\nCompany=Velmora\nProduct=Corvane\nProcessName=corvtray\nVersion=" +
                      version + "\nInstallFor=onlyforme\nTargetFolder=" + target_ +
                      "\nRegistryRoot=HKCU\nRegistryInstallLocation=SOFTWARE\\Velmora\\Corvane\n"
                      "[AddRemovePrograms]\nDisplayName=Corvane\nDisplayVersion=" +
                      version + "\nPublisher=Velmora\n" + items);
    }

    InstallAction Decide() {
        // Each start takes a temporary log name; ten at most may exist.
        test::RemoveTreeUnderTemp(temp_);
        MakeDirectory(temp_);
        log_ = std::make_unique<CInstallLog>();
        log_->Attach();
        InstallerOptions o;
        o.packageFolder = pkg_;
        o.configPath = pkg_ + "\\corvinst.cfg";
        o.programFile = pkg_ + "\\corvinst.exe";
        o.silent = true;
        o.load.windowsVersion = "Windows XP";
        o.load.placeholders = [](const std::string&, std::string*) { return false; };
        mgr_ = std::make_unique<CInstallMgr>(o, *log_, system_);
        return mgr_->Install();
    }

    JobOutcome RunJob(JobOptions options = {}) {
        if (options.installerFile.empty()) options.installerFile = pkg_ + "\\corvinst.exe";
        options.progressPauseMs = 0;
        job_ = std::make_unique<CInstallJob>(*mgr_, options);
        JobOutcome outcome = job_->Run();
        log_->Detach();
        return outcome;
    }

    // Decides and runs; the decision must be `expected`.
    JobOutcome Run(InstallAction expected, JobOptions options = {}) {
        EXPECT_EQ(expected, Decide());
        return RunJob(options);
    }

    JobOutcome Uninstall(JobOptions options = {}) {
        test::RemoveTreeUnderTemp(temp_);
        MakeDirectory(temp_);
        log_ = std::make_unique<CInstallLog>();
        log_->Attach();
        InstallerOptions o;
        o.packageFolder = target_;
        o.configPath = target_ + "\\uninst.cfg";
        o.programFile = target_ + "\\uninst.exe";
        o.silent = true;
        o.load.windowsVersion = "Windows XP";
        o.load.placeholders = [](const std::string&, std::string*) { return false; };
        std::string cwd = CurrentFolder();
        mgr_ = std::make_unique<CInstallMgr>(o, *log_, system_);
        EXPECT_EQ(InstallAction::UNINSTALL, mgr_->Uninstall());
        JobOutcome outcome = RunJob(options);
        ChangeFolder(cwd);
        return outcome;
    }

    std::string Log() { return ReadText(log_->Path()); }

    // Everything a run may touch: the files of target and menu folders, and the registry.
    std::string Snapshot() {
        return "target:\n" + test::FilesSnapshot(target_) + "menu:\n" + test::FilesSnapshot(menu_) +
               "registry:\n" +
               test::RegistrySnapshot({{RegRoot::CurrentUser, ""}, {RegRoot::LocalMachine, ""}});
    }

    std::string Value(RegRoot root, const std::string& key, const std::string& name) {
        RegKey k;
        RegValue v;
        if (k.Open(root, key, kRegRead) != kOk || k.QueryValue(name, &v) != kOk) return "<none>";
        return v.type == RegType::Dword ? std::to_string(ValueDword(v)) : ValueText(v);
    }

    TempTree tree_{"corvjob"};
    std::string temp_ = tree_["temp"], pkg_ = tree_["pkg"], target_ = tree_["target"],
                menu_ = tree_["menu"];
    std::string oldTemp_, oldRoot_;
    ScopedMemoryRegistry registry_;
    FakeSystem system_;
    Script script_;
    std::unique_ptr<CInstallLog> log_;
    std::unique_ptr<CInstallMgr> mgr_;
    std::unique_ptr<CInstallJob> job_;
};

const char kCorvaneKey[] = "SOFTWARE\\Velmora\\Corvane";
const char kEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";

std::string Items(const Script& script) {
    return "[Selectables]\ninternal=docs|Documentation|selected\ninternal=extra|Extras|cleared\n"
           "[RegistryKeys]\n"
           "reg=$TargetHKEY|SOFTWARE\\Velmora\\Corvane\n"
           "reg=$TargetHKEY|SOFTWARE\\Velmora\\Corvane|home|REG_SZ|$TargetFolder\n"
           "reg=HKCU|SOFTWARE\\Velmora\\Corvane|count|REG_DWORD|0x10\n"
           "reg=HKCU|Environment|PATH|REG_SZ|b;a|ignoreorder\n"
           "Selectable=extra|reg|HKCU|SOFTWARE\\Extra|x|REG_SZ|1\n"
           "[FileItems]\n"
           "dir=$TargetFolder\\logs\n"
           "file=$TargetFolder\\corvtray.exe\n"
           "file=$TargetFolder\\lib\\jnibridge.dll\n"
           "link=$StartMenuProgramsFolder\\Corvane\\Corvane.lnk|$TargetFolder\\corvtray.exe||/"
           "hide\n"
           "Selectable=docs|file|$TargetFolder\\readme.htm\n"
           "Selectable=extra|file|$TargetFolder\\extra.txt\n"
           "[Scripts]\n"
           "Exec=" +
           script.program + "|void|" + script.prefix +
           "\"$TargetFolder\\out.txt\" one|$TargetFolder\\out.txt|hide|overwrite|1\n"
           "LaunchApp=$TargetFolder\\corvtray.exe\n";
}

void PackageFiles(const std::string& pkg, const std::string& version) {
    for (const char* name : {"corvtray.exe", "jnibridge.dll", "readme.htm", "extra.txt"})
        WriteText(pkg + "\\" + name, std::string(name) + " " + version);
}

TEST_F(JobTest, AFreshInstall) {
    PackageFiles(pkg_, "2.0");
    Package("2.0", Items(script_));
    ASSERT_EQ(JobOutcome::Success, Run(InstallAction::INSTALL));

    EXPECT_TRUE(IsDirectory(target_ + "\\logs"));
    EXPECT_EQ("corvtray.exe 2.0", ReadText(target_ + "\\corvtray.exe"));
    EXPECT_EQ("jnibridge.dll 2.0", ReadText(target_ + "\\lib\\jnibridge.dll"));
    EXPECT_EQ("readme.htm 2.0", ReadText(target_ + "\\readme.htm"));
    EXPECT_FALSE(PathExists(target_ + "\\extra.txt"));  // its component is not chosen
    EXPECT_TRUE(PathExists(menu_ + "\\Corvane\\Corvane.lnk"));
    EXPECT_EQ("made by one\r\n", ReadText(target_ + "\\out.txt"));
    EXPECT_EQ("the installer", ReadText(target_ + "\\uninst.exe"));
    EXPECT_FALSE(PathExists(target_ + "\\fallback"));

    EXPECT_EQ(target_, Value(RegRoot::CurrentUser, kCorvaneKey, "home"));
    EXPECT_EQ("16", Value(RegRoot::CurrentUser, kCorvaneKey, "count"));
    EXPECT_EQ("b;a", Value(RegRoot::CurrentUser, "Environment", "PATH"));
    EXPECT_FALSE(registry_->KeyExists(RegRoot::CurrentUser, "SOFTWARE\\Extra"));
    EXPECT_EQ(target_ + "\\uninst.exe", Value(RegRoot::LocalMachine, kEntryKey, "UninstallString"));
    EXPECT_EQ("2.0", Value(RegRoot::LocalMachine, kEntryKey, "DisplayVersion"));

    // The installed description: this installation's facts, the items as the package has them.
    CInstallConfig installed;
    installed.LoadInstalled(target_ + "\\uninst.cfg");
    EXPECT_EQ("S-1-5-21-100", installed.GetUser());
    EXPECT_EQ(target_, installed.GetRelease().targetFolder);
    EXPECT_EQ(target_, installed.GetAddRemove().installLocation);
    EXPECT_EQ("$TargetFolder\\corvtray.exe", installed.GetFileItems()[1].path);

    EXPECT_EQ("Installation Completed", job_->CompleteHeader());
    EXPECT_EQ("Corvane has been successfully installed.", job_->CompleteText());
    EXPECT_EQ(target_ + "\\install.log", log_->Path());
    std::string log = Log();
    for (const std::string& line : std::vector<std::string>{
             "ProgressInfo: Initializing programs group...\n",
             "Creating regkey: HKEY_LOCAL_MACHINE\\" + std::string(kEntryKey) + ", succeeded\n",
             "Creating regkey: HKEY_LOCAL_MACHINE\\" + std::string(kEntryKey) +
                 "\\DisplayVersion, succeeded\n",
             "add file: " + target_ + "\\uninst.exe, succeeded\n",
             "add file: " + target_ + "\\uninst.cfg, succeeded\n",
             "ProgressInfo: Copying files...\n",
             "add dir: " + target_ + "\\logs, succeeded\n",
             "add file: " + target_ + "\\lib\\jnibridge.dll, succeeded\n",
             "add link: " + menu_ + "\\Corvane\\Corvane.lnk, succeeded\n",
             "ProgressInfo: Updating registry...\n",
             "Creating regkey: HKEY_CURRENT_USER\\" + std::string(kCorvaneKey) + ",succeeded\n",
             "Creating regkey: HKCU\\SOFTWARE\\Velmora\\Corvane\\count,succeeded\n",
             "ProgressInfo: Executing script...\n",
             "execute script: " + script_.program + "...finished\n",
             "ProgressInfo: Finished\n",
             "Complete header: Installation Completed\n",
         })
        EXPECT_THAT(log, HasSubstr(line));
    EXPECT_THAT(log, Not(HasSubstr("extra.txt")));
}

TEST_F(JobTest, AnUpgradeReplacesKeepsAndRemoves) {
    PackageFiles(pkg_, "2.0");
    WriteText(pkg_ + "\\old.dll", "old.dll 2.0");
    Package("2.0", Items(script_) + "[FileItems]\nfile=$TargetFolder\\old.dll\n");
    ASSERT_EQ(JobOutcome::Success, Run(InstallAction::INSTALL));
    WriteText(target_ + "\\logs\\user.log", "the user's own file");

    PackageFiles(pkg_, "2.1");
    Package("2.1",
            "[RegistryKeys]\n"
            "reg=HKCU|SOFTWARE\\Velmora\\Corvane|count|REG_DWORD|17\n"
            "reg=HKCU|SOFTWARE\\Velmora\\Corvane|home|obsolete\n"
            "reg=HKCU|Environment|PATH|REG_SZ|a;b|ignoreorder\n"
            "[FileItems]\n"
            "file=$TargetFolder\\corvtray.exe\n"
            "file=$TargetFolder\\lib\\jnibridge.dll|validsince|2.0\n"
            "file=$TargetFolder\\old.dll|obsolete\n"
            "file=$TargetFolder\\never.dll|obsolete\n"
            "dir=$TargetFolder\\logs|obsolete\n");
    ASSERT_EQ(JobOutcome::Success, Run(InstallAction::UPGRADE));
    EXPECT_EQ("corvtray.exe 2.1", ReadText(target_ + "\\corvtray.exe"));
    EXPECT_EQ("jnibridge.dll 2.0", ReadText(target_ + "\\lib\\jnibridge.dll"));
    EXPECT_FALSE(PathExists(target_ + "\\old.dll"));
    EXPECT_EQ("the user's own file", ReadText(target_ + "\\logs\\user.log"));
    EXPECT_EQ("17", Value(RegRoot::CurrentUser, kCorvaneKey, "count"));
    EXPECT_EQ("<none>", Value(RegRoot::CurrentUser, kCorvaneKey, "home"));
    EXPECT_EQ("b;a", Value(RegRoot::CurrentUser, "Environment", "PATH"));  // same elements
    EXPECT_FALSE(PathExists(target_ + "\\fallback"));

    std::string log = Log();
    for (const std::string& line : std::vector<std::string>{
             "Killing",
             "ProgressInfo: Updating programs group...\n",
             "ProgressInfo: Updating files...\n",
             "keeping file: " + target_ + "\\lib\\jnibridge.dll\n",
             "del obsolete file: " + target_ + "\\old.dll, succeeded\n",
             "del obsolete file: " + target_ + "\\never.dll, file missing (ignored)\n",
             "del obsolete dir: " + target_ + "\\logs, Warning: Failed to delete dir: ",
             "del obsolete regkey: HKCU\\SOFTWARE\\Velmora\\Corvane\\home, succeeded\n",
             "ignoreorder:    a;b\nexisting value: b;a\n, kept (the same elements)\n",
             "Complete text: Corvane has been successfully updated to version 2.1.\n",
         }) {
        if (line == "Killing")
            EXPECT_THAT(log, Not(HasSubstr(line)));  // nothing was running
        else
            EXPECT_THAT(log, HasSubstr(line));
    }
    EXPECT_EQ(target_ + "\\update.log", log_->Path());

    // The installed description is merged: the new version, the removed items gone.
    CInstallConfig installed;
    installed.LoadInstalled(target_ + "\\uninst.cfg");
    EXPECT_EQ("2.1", installed.GetRelease().version);
    EXPECT_EQ(target_, installed.GetRelease().targetFolder);
    for (const FileItem& f : installed.GetFileItems()) EXPECT_NE("$TargetFolder\\old.dll", f.path);
}

TEST_F(JobTest, UninstallRemovesOnlyWhatThePackageMade) {
    PackageFiles(pkg_, "2.0");
    Package("2.0", Items(script_) +
                       "[RegistryKeys]\nreg=HKLM|SYSTEM\\CurrentControlSet\\Control\\Session "
                       "Manager\\Environment|CORVANE|REG_SZ|1\n");
    ASSERT_EQ(JobOutcome::Success, Run(InstallAction::INSTALL));
    WriteText(target_ + "\\logs\\user.log", "kept");
    {
        RegKey other;
        ASSERT_EQ(kOk, other.Create(RegRoot::CurrentUser, std::string(kCorvaneKey) + "\\Other"));
    }
    ASSERT_EQ(JobOutcome::Success, Uninstall());
    EXPECT_FALSE(PathExists(target_ + "\\corvtray.exe"));
    EXPECT_FALSE(PathExists(target_ + "\\lib\\jnibridge.dll"));
    EXPECT_FALSE(PathExists(menu_ + "\\Corvane\\Corvane.lnk"));
    EXPECT_EQ("kept", ReadText(target_ + "\\logs\\user.log"));
    EXPECT_EQ("<none>", Value(RegRoot::CurrentUser, kCorvaneKey, "home"));
    EXPECT_TRUE(registry_->KeyExists(RegRoot::CurrentUser, std::string(kCorvaneKey) + "\\Other"));
    EXPECT_EQ("1",
              Value(RegRoot::LocalMachine,
                    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "CORVANE"));
    EXPECT_FALSE(registry_->KeyExists(RegRoot::LocalMachine, kEntryKey));

    std::string log = Log();
    for (const std::string& line : std::vector<std::string>{
             "ProgressInfo: Removing files...\nCInstallJob::RemoveFiles()\n",
             "del file: " + target_ + "\\corvtray.exe, succeeded\n",
             "del file: " + target_ + "\\extra.txt",  // not chosen: never named
             "del link: " + menu_ + "\\Corvane\\Corvane.lnk, succeeded\n",
             "del dir: " + target_ + "\\logs, Warning: Failed to delete dir: ",
             "keeping regkey (system environment variable): "
             "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\CORVANE\n",
             "del regkey: HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\Corvane, Warning: Failed to "
             "delete, the key is not empty and stays (ignored)\n",
             "del regkey: HKEY_LOCAL_MACHINE\\" + std::string(kEntryKey) + ", succeeded\n",
             "Complete text: Corvane has been successfully uninstalled.\n",
         }) {
        if (line.find("extra.txt") != std::string::npos)
            EXPECT_THAT(log, Not(HasSubstr(line)));
        else
            EXPECT_THAT(log, HasSubstr(line));
    }
}

// Every N: the Nth file, registry or script operation fails, and the run puts back exactly
// what was there, for a fresh install of 50 items and for an upgrade over it.
TEST_F(JobTest, AFailureAtAnyOperationLeavesTheSystemAsItWas) {
    auto items = [&](const std::string& version, bool upgrade) {
        std::string reg = "[RegistryKeys]\nreg=$TargetHKEY|SOFTWARE\\Velmora\\Corvane\n";
        std::string files = "[FileItems]\ndir=$TargetFolder\\data\n";
        for (int i = 0; i < 20; ++i) {
            std::string n = std::to_string(i);
            if (upgrade && i % 7 == 3) {
                reg += "reg=HKCU|SOFTWARE\\Velmora\\Corvane|v" + n + "|obsolete\n";
                files += "file=$TargetFolder\\data\\f" + n + ".dll|obsolete\n";
                continue;
            }
            reg += "reg=HKCU|SOFTWARE\\Velmora\\Corvane\\K" + std::to_string(i % 3) + "|v" + n +
                   (i % 2 ? "|REG_DWORD|" + n : "|REG_SZ|" + version + "-" + n) + "\n";
            files += "file=$TargetFolder\\data\\f" + n + ".dll\n";
            WriteText(pkg_ + "\\f" + n + ".dll", "f" + n + " " + version);
        }
        files += "link=$StartMenuProgramsFolder\\Corvane\\C.lnk|$TargetFolder\\data\\f0.dll\n";
        files += std::string("link=$StartMenuProgramsFolder\\Corvane\\D.lnk|$TargetFolder\\d") +
                 (upgrade ? "2" : "1") + "\n";
        std::string scripts = "[Scripts]\nExec=" + script_.program + "|void|" + script_.prefix +
                              "\"$TargetFolder\\out.txt\" " + version +
                              "|$TargetFolder\\out.txt|hide|update|1\n";
        return reg + files + scripts;
    };
    // The install's last run goes through: the upgrade is made over it.
    for (bool upgrade : {false, true}) {
        SCOPED_TRACE(upgrade ? "upgrade" : "install");
        const std::string version = upgrade ? "2.0" : "1.0";
        const InstallAction action = upgrade ? InstallAction::UPGRADE : InstallAction::INSTALL;
        Package(version, items(version, upgrade));
        const std::string before = Snapshot();
        unsigned failures = 0;
        for (unsigned n = 1;; ++n) {
            JobOptions options;
            options.failAt = n;
            JobOutcome outcome = Run(action, options);
            if (outcome == JobOutcome::Success) break;  // past the last operation
            ASSERT_EQ(JobOutcome::Failed, outcome);
            ASSERT_THAT(job_->CompleteText(),
                        HasSubstr("Injected fault at operation " + std::to_string(n)));
            ASSERT_EQ(before, Snapshot()) << "failing at operation " << n << "\n" << Log();
            ++failures;
        }
        EXPECT_GT(failures, 50u);
        // The run that went through changed the system.
        EXPECT_NE(before, Snapshot());
        EXPECT_EQ("f0 " + version, ReadText(target_ + "\\data\\f0.dll"));
    }
}

TEST_F(JobTest, ACancelledRunIsUndone) {
    PackageFiles(pkg_, "2.0");
    Package("2.0", Items(script_));
    const std::string before = Snapshot();
    ASSERT_EQ(InstallAction::INSTALL, Decide());
    QueuedPoster page;
    JobOptions options;
    options.installerFile = pkg_ + "\\corvinst.exe";
    options.progressPage = &page;
    options.progressPauseMs = 0;
    job_ = std::make_unique<CInstallJob>(*mgr_, options);
    job_->Cancel();  // before the first item: the run stops at its first check
    EXPECT_EQ(JobOutcome::Cancelled, job_->Run());
    log_->Detach();
    EXPECT_EQ(before, Snapshot());
    EXPECT_EQ("Installation Cancelled", job_->CompleteHeader());
    EXPECT_EQ("Installation of Corvane cancelled by user.", job_->CompleteText());
    EXPECT_THAT(Log(),
                HasSubstr("\n*** User Cancelled installation of Corvane, cleaning up...\n\n"));
    // Progress went to the page, not into the log; the end was posted last.
    EXPECT_THAT(Log(), Not(HasSubstr("ProgressInfo: ")));
    std::vector<unsigned> messages;
    page.Pump([&](const QueuedPoster::Message& m) { messages.push_back(m.message); });
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(kMsgProgress, messages.front());
    EXPECT_EQ(kMsgJobEnded, messages.back());
    int position = 0;
    std::string text;
    job_->Progress(&position, &text);
    EXPECT_EQ("Initializing programs group...", text);
    EXPECT_THROW(job_->Run(), CInstallException);  // started twice
}

TEST_F(JobTest, AFailingScriptFailsTheRun) {
    PackageFiles(pkg_, "2.0");
    Script failing = MakeScript(tree_["scripts"], true);
    Package("2.0", Items(failing));
    const std::string before = Snapshot();
    ASSERT_EQ(JobOutcome::Failed, Run(InstallAction::INSTALL));
    EXPECT_EQ(before, Snapshot());
    EXPECT_EQ("Installation Failed", job_->CompleteHeader());
    EXPECT_THAT(job_->CompleteText(),
                HasSubstr("Installation failed!\r\nReason: Failed to execute script: "));
    EXPECT_THAT(job_->CompleteText(), HasSubstr("it ended with exit code 3"));
    std::string log = Log();
    EXPECT_THAT(log, HasSubstr("\n*****\n***** Installation failed, cleaning up...\n*****\n\n"));
    EXPECT_THAT(log, HasSubstr("Failed to execute script: " + failing.program + "\n"));
    EXPECT_EQ(0u, log_->Path().find(temp_));  // the log of an undone run stays in TEMP
}

TEST_F(JobTest, ADryRunListsEveryOperationAndChangesNothing) {
    PackageFiles(pkg_, "2.0");
    Package("2.0", Items(script_));
    const std::string before = Snapshot();
    JobOptions options;
    options.plan = true;
    ASSERT_EQ(JobOutcome::Success, Run(InstallAction::INSTALL, options));
    EXPECT_EQ(before, Snapshot());
    const std::vector<std::string>& plan = job_->PlanLines();
    auto at = [&](const std::string& line) {
        auto it = std::find(plan.begin(), plan.end(), line);
        EXPECT_NE(plan.end(), it) << line;
        return it - plan.begin();
    };
    auto target = at("create folder " + target_);
    auto entry =
        at("set registry value HKEY_LOCAL_MACHINE\\" + std::string(kEntryKey) + "\\DisplayName");
    auto copy = at("copy " + pkg_ + "\\corvtray.exe to " + target_ + "\\corvtray.exe");
    auto link =
        at("create link " + menu_ + "\\Corvane\\Corvane.lnk to " + target_ + "\\corvtray.exe");
    auto value = at("set registry value HKEY_CURRENT_USER\\" + std::string(kCorvaneKey) + "\\home");
    auto script = at("run \"" + script_.program + "\" " + script_.prefix + "\"" + target_ +
                     "\\out.txt\" one");
    EXPECT_LT(target, entry);
    EXPECT_LT(entry, copy);
    EXPECT_LT(copy, link);
    EXPECT_LT(link, value);
    EXPECT_LT(value, script);
    EXPECT_THAT(Log(), HasSubstr("add file: " + target_ + "\\corvtray.exe, not done (dry run)\n"));
    EXPECT_THAT(Log(), Not(HasSubstr("succeeded")));

    // As printed for "/plan": the action, then the operations numbered.
    ASSERT_EQ(InstallAction::INSTALL, Decide());
    std::string report = DryRun(*mgr_, JobOptions());
    log_->Detach();
    EXPECT_EQ(0u,
              report.find("Install action: INSTALL (1)\n   1. create folder " + target_ + "\n"));
    EXPECT_THAT(report,
                HasSubstr(". copy " + pkg_ + "\\corvtray.exe to " + target_ + "\\corvtray.exe\n"));
    EXPECT_THAT(report, HasSubstr("Nothing was changed.\n"));
    EXPECT_EQ(before, Snapshot());
}

TEST_F(JobTest, ARunOnItsOwnThreadPostsItsEnd) {
    PackageFiles(pkg_, "2.0");
    Package("2.0", Items(script_));
    ASSERT_EQ(InstallAction::INSTALL, Decide());
    QueuedPoster page;
    JobOptions options;
    options.installerFile = pkg_ + "\\corvinst.exe";
    options.progressPage = &page;
    options.progressPauseMs = 0;
    job_ = std::make_unique<CInstallJob>(*mgr_, options);
    job_->Start();
    ASSERT_TRUE(job_->Join(60000));
    log_->Detach();
    EXPECT_EQ(JobOutcome::Success, job_->Outcome());
    std::vector<unsigned> messages;
    page.Pump([&](const QueuedPoster::Message& m) { messages.push_back(m.message); });
    EXPECT_EQ(6u, messages.size());  // five steps, then the end
    EXPECT_EQ(kMsgJobEnded, messages.back());
    int position = 0;
    std::string text;
    job_->Progress(&position, &text);
    EXPECT_EQ(100, position);
    EXPECT_EQ("Finished", text);
    EXPECT_THROW(job_->Start(), CInstallException);
}

TEST_F(JobTest, TargetFolderChecks) {
    const struct {
        std::string target;
        std::string message;
    } cases[] = {
        {target_ + "\\a|b", "Target folder cannot contain any of the characters /:*?\"<>| \n\n"},
        {"relative\\folder",
         "Target folder must be a fully qualified pathname\n\nrelative\\folder"},
        {pkg_ + "\\corvinst.exe",
         "is not a folder. \n\nThere already exists a file with the same "
         "name."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        std::string saved = target_;
        target_ = c.target;
        Package("2.0", "");
        target_ = saved;
        ASSERT_EQ(JobOutcome::Failed, Run(InstallAction::INSTALL));
        EXPECT_THAT(job_->CompleteText(), HasSubstr(c.message));
        EXPECT_THAT(job_->CompleteText(), HasSubstr("\n\nPlease specify another target folder!\n"));
    }
}

#ifndef _WIN32
// REGSVR32 from the system folder registers, unregisters before a replacement, and a
// rollback unregisters what the run registered.
TEST_F(JobTest, ActiveXControls) {
    std::string calls = tree_["regsvr32.txt"];
    std::string regsvr = tree_["sysroot"] + "/SYSTEM32/REGSVR32.EXE";
    WriteText(regsvr, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + NativePath(calls) + "'\n");
    chmod(NativePath(regsvr).c_str(), 0755);
    WriteText(pkg_ + "\\ctl.ocx", "control");
    Package("2.0", "[FileItems]\nactivex=$TargetFolder\\ctl.ocx\n");
    ASSERT_EQ(JobOutcome::Success, Run(InstallAction::INSTALL));
    EXPECT_EQ("/s " + target_ + "\\ctl.ocx\n", ReadText(calls));
    EXPECT_THAT(Log(),
                HasSubstr("Register activex control: " + target_ + "\\ctl.ocx, succeeded\n"));

    RemoveFile(calls);
    Package("2.1",
            "[FileItems]\nactivex=$TargetFolder\\ctl.ocx\nfile=$TargetFolder\\missing.dll\n");
    ASSERT_EQ(JobOutcome::Failed, Run(InstallAction::UPGRADE));
    // Unregistered, replaced, registered; then undone: unregistered, restored, registered.
    std::string f = target_ + "\\ctl.ocx";
    EXPECT_EQ("/s /u " + f + "\n/s " + f + "\n/s /u " + f + "\n/s " + f + "\n", ReadText(calls));
    EXPECT_EQ("control", ReadText(f));

    // Without REGSVR32.EXE: a warning, and the run goes on.
    RemoveFile(regsvr);
    ASSERT_EQ(JobOutcome::Success, Uninstall());
    EXPECT_THAT(Log(),
                HasSubstr("Warning: Could not find command: REGSVR32.EXE in PATH: " +
                          tree_["sysroot"] + "\\SYSTEM32;" + tree_["sysroot"] + "\\SYSTEM \n"));
    EXPECT_FALSE(PathExists(f));
}
#endif

TEST_F(JobTest, AWrapperRunsTheChosenPackagesScripts) {
    auto exec = [&](const std::string& id, const std::string& file) {
        return "Selectable=" + id + "|Exec|" + script_.program + "|void|" + script_.prefix +
               "\"$TargetFolder\\" + file + "\" " + id + "|$TargetFolder\\" + file +
               "|hide|update|1\n";
    };
    Package("1.0",
            "[Selectables]\nwrapper=pkgA|Package A|selected\nwrapper=pkgB|Package B|cleared\n"
            "[Scripts]\n" +
                exec("pkgA", "a.txt") + exec("pkgB", "b.txt"),
            "Wrapper");
    ASSERT_EQ(JobOutcome::Success, Run(InstallAction::WRAPPER));
    EXPECT_EQ("made by pkgA\r\n", ReadText(target_ + "\\a.txt"));
    EXPECT_FALSE(PathExists(target_ + "\\b.txt"));
    EXPECT_THAT(Log(), HasSubstr("ProgressInfo: Executing Package A script...\n"));
    EXPECT_THAT(Log(), Not(HasSubstr("Package B")));
}

TEST_F(JobTest, NutcrackerComponentThroughTheOutsideLibrary) {
    std::string calls = tree_["nutins.txt"];
    SetEnv("CORV_NUTINS_RECORD", NativePath(calls));
    Package("7.5",
            "[Selectables]\ninternal=nutc|NuTCRACKER|selected\ninternal=tessaly_enu|Tessaly|"
            "selected\n",
            "MultiInstall");
    JobOptions options;
    options.nutinsLibrary = ProgramPath() + "\\" + NUTINS_STANDIN_NAME;
    options.nutcRoot = tree_["nutcroot"];
    ASSERT_EQ(JobOutcome::Success, Run(InstallAction::MULTIINSTALL, options)) << Log();
    EXPECT_EQ("nutinsProcessHasRights\nnutinsInstallOe|NuTC 7.5|" + tree_["nutcroot"] + "|" +
                  target_ +
                  "\\nutc\nnutinsSetPreferredXServer|Hummingbird\n"
                  "nutinsProcessHasRights\nnutinsRegisterApp|Tessaly AS|Corvane|7|5\n",
              ReadText(calls));
    EXPECT_THAT(Log(), HasSubstr("ProgressInfo: Invoking NuTCRACKER install script...\n"
                                 "Registering Corvane application in NuTCRACKER\n"));
    EXPECT_EQ("NuTCRACKER and Tessaly components has been successfully installed.",
              job_->CompleteText());

    // A failed install script names the library's error.
    SetEnv("CORV_NUTINS_FAIL", "nutinsInstallOe");
    log_.reset();  // its file is in the target folder now
    test::RemoveTreeUnderTemp(target_);
    ASSERT_EQ(JobOutcome::Failed, Run(InstallAction::MULTIINSTALL, options));
    EXPECT_THAT(Log(), HasSubstr("NuTCRACKER install: NuTCRACKER install script failed, reason "
                                 "NUTINS_ERR_COPY_FILES\n"));
    EXPECT_FALSE(PathExists(target_));
    SetEnv("CORV_NUTINS_FAIL", "");
    SetEnv("CORV_NUTINS_RECORD", "");
}

}  // namespace
}  // namespace corv::inst
