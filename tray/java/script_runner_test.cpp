#include "tray/java/script_runner.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"
#include "tray/core/messages.h"

namespace corv {
namespace {

TEST(VerifyScriptTest, LinesFollowTheWindowsFamily) {
    std::string xp = VerifyScriptText("Windows XP", "C:\\jre", "C:\\Corvane\\verify.bat");
    EXPECT_EQ(0u, xp.find("echo Running script verify.bat > logs\\start.log\n"
                          "echo BEGIN >> logs\\start.log\ntype verify.bat >> logs\\start.log\n"
                          "echo END >> logs\\start.log\n\necho PATH=%PATH% >> logs\\start.log\n\n"
                          "echo java -version >> logs\\start.log\njava -version >> logs\\start.log "
                          "2>&1\n\n"));
    EXPECT_NE(std::string::npos,
              xp.find("\"C:\\jre\\bin\\java.exe\" -version >> logs\\start.log 2>&1\n\n"));
    EXPECT_NE(std::string::npos, xp.find("dir \"C:\\jre\\bin\\client\" >> logs\\start.log\n\n"));
    EXPECT_NE(std::string::npos, xp.find("netstat -a -n -o >> logs\\start.log\n\n"));
    EXPECT_NE(std::string::npos, xp.find("ipconfig /all  >> logs\\start.log\n\n"));
    const std::string last = "del \"C:\\Corvane\\verify.bat\"\n";  // the script removes itself
    EXPECT_EQ(xp.size() - last.size(), xp.rfind(last));

    std::string nt4 = VerifyScriptText("Windows NT 4", "", "");
    EXPECT_NE(std::string::npos, nt4.find("netstat -a -n  >> logs\\start.log\n\n"));
    EXPECT_EQ(std::string::npos, nt4.find("-o"));
    EXPECT_EQ(std::string::npos, nt4.find("java.exe"));  // no Java home, no lines for it
    EXPECT_EQ(std::string::npos, nt4.find("del "));

    std::string w98 = VerifyScriptText("Windows 98", "C:\\j", "");
    EXPECT_NE(std::string::npos, w98.find("java -verbose -version >> logs\\start.log \n\n"));
    EXPECT_NE(std::string::npos,
              w98.find("\"C:\\j\\bin\\java.exe\" -verbose  -version >> logs\\start.log\n\n"));
    EXPECT_NE(std::string::npos, w98.find("netstat -a -n  >> logs\\start.log"));
    EXPECT_FALSE(IsWindows9x("Windows 95"));  // only the 98 family and ME count
}

bool ProcessListed(unsigned pid) {
    bool listed = false;
    ListProcesses(ProcessListMethod::ToolHelp,
                  [&](const ProcessEntry& e) { listed = listed || e.pid == pid; });
    return listed;
}

unsigned PidIn(const std::string& lines) {
    const std::string mark = "Started process, pid: ";
    size_t at = lines.find(mark);
    return at == std::string::npos ? 0 : std::stoul(lines.substr(at + mark.size()));
}

// Windows 9x's time limit: the runner ends the script it started, and once the script is gone
// nothing is left of it (natively: no unreaped child).
TEST(ScriptRunnerTest, TheTimeLimitEndsTheScriptItStartedAndNothingElse) {
    struct Case {
        const char* name;
        std::string script, args;
        unsigned limitMs;
        const char* outcome;
    };
#ifdef _WIN32
    const std::string shell = "C:\\windows\\system32\\cmd.exe";
    const Case cases[] = {
        {"outlives the limit", shell, "/c ping -n 30 127.0.0.1 >nul", 200, "Killed verify.bat\n"},
        {"ends in time", shell, "/c exit 0", 30000, "Could not kill verify.bat\n"},
    };
#else
    const Case cases[] = {
        {"outlives the limit", "/bin/sleep", "30", 200, "Killed verify.bat\n"},
        {"ends in time", "/bin/true", "", 30000, "Could not kill verify.bat\n"},
    };
#endif
    ScriptRunner& runner = ScriptRunner::Instance();
    for (const Case& c : cases) {
        QueuedPoster poster;
        SetMainPoster(&poster);
        ScriptRunner::Queue().TakeAll();
        runner.SetTimeLimit(c.limitMs);
        ASSERT_TRUE(runner.Start(c.script, c.args, ProgramPath())) << c.name;
        ASSERT_TRUE(runner.Join(60000)) << c.name;
        runner.SetTimeLimit(0);
        SetMainPoster(nullptr);
        std::string lines = ScriptRunner::Queue().TakeAll();
        size_t outcome = lines.find(c.outcome);
        ASSERT_NE(std::string::npos, outcome) << c.name << "\n" << lines;
        EXPECT_LT(outcome, lines.find("* Finished pid: ")) << c.name;
        unsigned pid = PidIn(lines);
        ASSERT_NE(0u, pid) << c.name;
        EXPECT_FALSE(ProcessListed(pid)) << c.name << ": the script is still there";
    }
}

TEST(ScriptRunnerTest, RunsTheScriptAndReportsStartAndEnd) {
    QueuedPoster poster;
    SetMainPoster(&poster);
    ScriptRunner::Queue().TakeAll();
#ifdef _WIN32
    std::string script = "C:\\windows\\system32\\cmd.exe";
    std::string args = "/c exit 0";
#else
    std::string script = "/bin/true";
    std::string args = "";
#endif
    ASSERT_TRUE(ScriptRunner::Instance().Start(script, args, ProgramPath()));
    ASSERT_TRUE(ScriptRunner::Instance().Join(30000));
    SetMainPoster(nullptr);
    std::vector<unsigned> messages;
    poster.Pump([&](const QueuedPoster::Message& m) { messages.push_back(m.message); });
    EXPECT_EQ((std::vector<unsigned>{kMsgScriptLog, kMsgScriptFinished}), messages);
    std::string lines = ScriptRunner::Queue().TakeAll();
    EXPECT_NE(std::string::npos, lines.find("ScriptRunner started thread: 0x"));
    EXPECT_NE(std::string::npos, lines.find("* Started process, pid: "));
    EXPECT_NE(std::string::npos, lines.find("* Finished pid: "));
    EXPECT_NE(std::string::npos, lines.find(" # startin: " + ProgramPath()));
}

TEST(ScriptRunnerTest, AMissingScriptIsReportedAsNotStarted) {
    QueuedPoster poster;
    SetMainPoster(&poster);
    ScriptRunner::Queue().TakeAll();
    ASSERT_TRUE(
        ScriptRunner::Instance().Start(ProgramPath() + "\\no-such-script.bat", "", ProgramPath()));
    ASSERT_TRUE(ScriptRunner::Instance().Join(30000));
    SetMainPoster(nullptr);
    std::string lines = ScriptRunner::Queue().TakeAll();
    EXPECT_NE(std::string::npos, lines.find("Could not start command: ")) << lines;
    EXPECT_NE(std::string::npos, lines.find("Failed to start ")) << lines;
    EXPECT_EQ(std::string::npos, lines.find("Started process")) << lines;
    EXPECT_EQ(1u, poster.Size());
}

}  // namespace
}  // namespace corv
