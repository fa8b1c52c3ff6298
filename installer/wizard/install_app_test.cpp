#include "installer/wizard/install_app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/testing/test_support.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/prompt.h"
#include "platform/system.h"

namespace corv::inst {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(InstallCommandLineTest, OptionsAreSplitAtSlashesTrimmedAndMatchedWithoutCase) {
    struct Case {
        const char* line;
        bool uninstall, capture, silent, plan;
        InstallForOption installFor;
        const char* dir;  // nullptr: not given
        const char* tunnel;
        const char* target;
    };
    const Case cases[] = {
        {"", false, false, false, false, InstallForOption::None, nullptr, nullptr, ""},
        {"/S /A", false, false, true, false, InstallForOption::AllUsers, nullptr, nullptr, ""},
        {" /s/u ", false, false, true, false, InstallForOption::OnlyForMe, nullptr, nullptr, ""},
        {"/U /A", false, false, false, false, InstallForOption::AllUsers, nullptr, nullptr, ""},
        {"/dir:C:\\pkg one /UNINSTALL", true, false, false, false, InstallForOption::None,
         "C:\\pkg one", nullptr, ""},
        {"/Capture /plan /dir: \"C:\\My Pkg\" ", false, true, false, true, InstallForOption::None,
         "C:\\My Pkg", nullptr, ""},
        {"/T:proxy1:8080;proxy2 /F:D:\\Corvane", false, false, false, false, InstallForOption::None,
         nullptr, "proxy1:8080;proxy2", "D:\\Corvane"},
        {"/t:p /f:E:\\x", false, false, false, false, InstallForOption::None, nullptr, "p",
         "E:\\x"},
        {"/T:", false, false, false, false, InstallForOption::None, nullptr, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        InstallCommandLine cmd = ParseInstallCommandLine(c.line);
        EXPECT_EQ(c.uninstall, cmd.uninstall);
        EXPECT_EQ(c.capture, cmd.capture);
        EXPECT_EQ(c.silent, cmd.silent);
        EXPECT_EQ(c.plan, cmd.plan);
        EXPECT_EQ(c.installFor, cmd.installFor);
        EXPECT_EQ(c.dir != nullptr, cmd.hasDir);
        EXPECT_EQ(c.dir ? c.dir : "", cmd.dir);
        EXPECT_EQ(c.tunnel != nullptr, cmd.hasTunnelServers);
        EXPECT_EQ(c.tunnel ? c.tunnel : "", cmd.tunnelServers);
        EXPECT_EQ(c.target, cmd.targetFolder);
        EXPECT_TRUE(cmd.unknown.empty());
    }
}

TEST(InstallCommandLineTest, UnknownPartsAreKeptForTheLogAndChangeNothing) {
    InstallCommandLine cmd = ParseInstallCommandLine("/Sx /S /silent");
    EXPECT_TRUE(cmd.silent);
    EXPECT_THAT(cmd.unknown, ElementsAre("Sx", "silent"));
}

TEST(InstallAppTest, TheProgramsNameChoosesUninstallMode) {
    EXPECT_TRUE(IsUninstallProgram("C:\\Program Files\\Corvane\\uninst.exe"));
    EXPECT_TRUE(IsUninstallProgram("C:\\x\\UNINST.EXE"));
    EXPECT_TRUE(IsUninstallProgram("uninstall_corvane.exe"));
    EXPECT_FALSE(IsUninstallProgram("C:\\uninst\\corvinst.exe"));  // the folder does not count
    EXPECT_FALSE(IsUninstallProgram("C:\\pkg\\setup.exe"));
}

TEST(InstallAppTest, TheExitStatusIsZeroOnlyWhenTheDecidedActionRanToItsEnd) {
    EXPECT_EQ(0, ExitStatus(InstallAction::INSTALL, JobResult::Success));
    EXPECT_EQ(0, ExitStatus(InstallAction::UNINSTALL, JobResult::Success));
    EXPECT_EQ(0, ExitStatus(InstallAction::UPGRADE, JobResult::NotRun));  // a plan
    EXPECT_EQ(kExitJobFailed, ExitStatus(InstallAction::UPGRADE, JobResult::Failed));
    EXPECT_EQ(16, ExitStatus(InstallAction::PATCH, JobResult::Cancelled));
    EXPECT_EQ(11, ExitStatus(InstallAction::ERRORSAME, JobResult::NotRun));
    EXPECT_EQ(12, ExitStatus(InstallAction::ERRORNEWER, JobResult::NotRun));
    EXPECT_EQ(7, ExitStatus(InstallAction::NOTSET, JobResult::NotRun));
}

class InstallAppRunTest : public ::testing::Test {
  protected:
    // Options are split at "/", so the tests name their folders relative to the tree.
    void SetUp() override {
        cwd_ = CurrentFolder();
        oldTemp_ = GetEnv("TEMP");
        SetEnv("TEMP", tree_["temp"]);
        ASSERT_EQ(kOk, MakeDirectory(tree_["temp"]));
        ASSERT_EQ(kOk, ChangeFolder(tree_.Path()));
    }
    void TearDown() override {
        ChangeFolder(cwd_);
        SetEnv("TEMP", oldTemp_);
    }

    AppSeams Seams() {
        AppSeams s;
        s.openConsole = [this] {
            consoles_++;
            return true;
        };
        s.print = [this](const std::string& text) { printed_ += text; };
        s.waitForReturn = [this] { waits_++; };
        return s;
    }

    test::TempTree tree_{"instapp"};
    std::string pkg_ = tree_["pkg"];
    std::string cwd_, oldTemp_;
    ScopedScriptedPrompter prompts_;
    int consoles_ = 0, waits_ = 0;
    std::string printed_;
};

TEST_F(InstallAppRunTest, TheDescriptionIsCorvinstCfgThenSetupCfg) {
    test::WriteText(pkg_ + "\\setup.cfg", "[Release]\r\n");
    CInstallApp app(pkg_ + "\\corvinst.exe", "/dir:pkg", Seams());
    EXPECT_EQ(kExitNoWizard, app.Run());
    EXPECT_EQ(app.PackageFolder() + "\\setup.cfg", app.FindDescription(false));
    test::WriteText(pkg_ + "\\corvinst.cfg", "[Release]\r\n");
    EXPECT_EQ(app.PackageFolder() + "\\corvinst.cfg", app.FindDescription(false));
    EXPECT_EQ(app.PackageFolder() + "\\uninst.cfg", app.FindDescription(true));
    EXPECT_THAT(app.PackageFolder(), ::testing::EndsWith("pkg"));
    // Without /S the build has no wizard to show: one box says so, nothing else is asked.
    EXPECT_THAT(prompts_.Texts(), ElementsAre(HasSubstr("wizard is not part of this build")));
}

TEST_F(InstallAppRunTest, AMissingDescriptionIsNamedAfterTheProgram) {
    struct Case {
        const char* program;
        const char* named;
    };
    for (Case c : {Case{"corvinst.exe", "corvinst.cfg"}, Case{"CorvInst.EXE", "corvinst.cfg"},
                   Case{"setup.exe", "setup.cfg"}, Case{"corvane-2.1.exe", "setup.cfg"}}) {
        CInstallApp app(pkg_ + "\\" + c.program, "/dir:.", Seams());
        EXPECT_EQ(7, app.Run()) << c.program;
    }
    std::vector<std::string> texts = prompts_.Texts();
    ASSERT_EQ(4u, texts.size());
    EXPECT_EQ("Could not start installation, config file not found: corvinst.cfg\n", texts[0]);
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_EQ("Could not start installation, config file not found: setup.cfg\n", texts[2]);
    EXPECT_EQ(texts[2], texts[3]);
}

TEST_F(InstallAppRunTest, ASilentRunShowsNothingAndAFolderItCannotUseEndsIt) {
    CInstallApp missing(pkg_ + "\\corvinst.exe", "/S /U /dir:nowhere", Seams());
    EXPECT_EQ(kExitBadCommandLine, missing.Run());
    CInstallApp noConfig(pkg_ + "\\corvinst.exe", "/S /A /dir:.", Seams());
    EXPECT_EQ(7, noConfig.Run());
    EXPECT_TRUE(prompts_.Texts().empty());
    // Both left their log in the temporary folder, though no description was read.
    EXPECT_THAT(test::ReadText(tree_["temp\\corvinst_install_000.log"]),
                HasSubstr("Can't change directory to nowhere\nExit status: 22\n"));
    EXPECT_THAT(test::ReadText(tree_["temp\\corvinst_install_001.log"]),
                HasSubstr("config file not found: corvinst.cfg\nExit status: 7\n"));
    // Shown to a user, the folder is named.
    CInstallApp shown(pkg_ + "\\corvinst.exe", "/dir:nowhere", Seams());
    EXPECT_EQ(kExitBadCommandLine, shown.Run());
    EXPECT_THAT(prompts_.Texts(), ElementsAre("Can't change directory to nowhere\n"));
}

TEST_F(InstallAppRunTest, CaptureEchoesTheLogAndWaitsForReturnAtTheEnd) {
    CInstallApp app(pkg_ + "\\corvinst.exe", "/capture /S /dir:.", Seams());
    EXPECT_EQ(7, app.Run());
    EXPECT_EQ(1, consoles_);
    EXPECT_EQ(1, waits_);
    EXPECT_THAT(printed_, HasSubstr("ProgramName: " + pkg_ +
                                    "\\corvinst.exe, Parameters: "
                                    "/capture /S /dir:.\n"));
    EXPECT_THAT(printed_, HasSubstr("config file not found: corvinst.cfg\n"));
    EXPECT_THAT(printed_, HasSubstr("Exit status: 7\nPress RETURN to continue . . ."));

    // Without the option: no console, no wait.
    consoles_ = waits_ = 0;
    CInstallApp plain(pkg_ + "\\corvinst.exe", "/S /dir:.", Seams());
    plain.Run();
    EXPECT_EQ(0, consoles_ + waits_);
}

}  // namespace
}  // namespace corv::inst
