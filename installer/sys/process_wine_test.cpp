// The stop sequence against real processes (Windows builds; under Wine in the test run).
#include <gtest/gtest.h>

#include "installer/sys/inst_log.h"
#include "installer/sys/process_util.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"

#ifdef _WIN32

namespace corv::inst {
namespace {

class RealProcessTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (process_.Id() != 0 && WaitForCommand(process_, 0).outcome != ProcessWait::Ended)
            process_.Terminate(1);
        RemoveFile(status_);
    }

    // Starts the target and waits until its windows exist.
    void Start(const std::string& mode, const std::string& title) {
        status_ = TempFolder() + "\\kill_target_" + std::to_string(CurrentProcessId()) + ".txt";
        RemoveFile(status_);
        ASSERT_TRUE(StartCommand(ProgramPath() + "\\kill_target.exe",
                                 mode + " \"" + title + "\" \"" + status_ + "\"", "", false,
                                 &process_));
        pid_ = process_.Id();
        for (int i = 0; i < 300 && Status() != "ready"; ++i) SleepMs(50);
        ASSERT_EQ("ready", Status());
    }

    std::string Status() {
        std::string text;
        ReadFileText(status_, &text);
        return text;
    }

    ChildProcess process_;
    unsigned pid_ = 0;
    std::string status_;
};

TEST_F(RealProcessTest, EndsOnTheQuitMessageToTheProductWindowOnly) {
    Start("quitmsg", "Corvane");
    EXPECT_EQ(pid_, IsRunning("KILL_TARGET.EXE", "Windows XP"));
    ScopedLogCapture log;
    EXPECT_TRUE(KillProcess(pid_, "kill_target.exe", "Corvane", 10000));
    EXPECT_EQ(
        std::vector<std::string>{"KillProcess: Sending WM_QUITMSG message to kill_target.exe\n"},
        log.Lines());
    EXPECT_EQ("ended:quitmsg", Status());
    EXPECT_EQ(0u, IsRunning("kill_target.exe", "Windows XP"));
}

TEST_F(RealProcessTest, OtherProductsGetTheMessageInEveryWindow) {
    Start("quitmsg", "Some Tool");
    ScopedLogCapture log;
    EXPECT_TRUE(KillProcess(pid_, "kill_target.exe", "Some Tool", 10000));
    EXPECT_EQ("ended:quitmsg,decoy", Status());
}

TEST_F(RealProcessTest, EndsOnWmClose) {
    Start("close", "Corvane");
    ScopedLogCapture log;
    EXPECT_TRUE(KillProcess(pid_, "kill_target.exe", "Corvane", 1000));
    EXPECT_EQ((std::vector<std::string>{
                  "KillProcess: Sending WM_QUITMSG message to kill_target.exe\n",
                  "KillProcess: kill_target.exe is still running, sending WM_CLOSE message\n"}),
              log.Lines());
    EXPECT_EQ("ended:close", Status());
}

TEST_F(RealProcessTest, IsTerminatedWhenItIgnoresBothMessages) {
    Start("never", "Corvane");
    ScopedLogCapture log;
    EXPECT_TRUE(KillProcess(pid_, "kill_target.exe", "Corvane"));
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("KillProcess: kill_target.exe is still running, terminating process forcibly\n",
              lines[2]);
    EXPECT_EQ(ProcessWait::Ended, WaitForCommand(process_, 5000).outcome);
    EXPECT_EQ("ready", Status());  // it never reached its own end
}

TEST_F(RealProcessTest, WaitingTellsATimeOutFromAnEnd) {
    Start("never", "Waited");
    CommandEnd end = WaitForCommand(process_, 0);
    EXPECT_EQ(ProcessWait::Timeout, end.outcome);
    EXPECT_FALSE(end.Succeeded());
    ASSERT_TRUE(process_.Terminate(7));
    end = WaitForCommand(process_, 5000);
    EXPECT_EQ(ProcessWait::Ended, end.outcome);
    EXPECT_EQ(7u, end.exitCode);
}

TEST_F(RealProcessTest, ProcessListThroughPsapi) {
    Start("never", "Listed");
    ScopedLogCapture log;
    EXPECT_EQ(pid_, IsRunning("kill_target.exe", "Windows NT 4"));
    EXPECT_EQ(0u, log.Lines()[0].find("isRunningNT(kill_target.exe), my pid is "));
    EXPECT_TRUE(log.Contains("kill_target.exe (Process ID: " + std::to_string(pid_) + ")\n"));
}

}  // namespace
}  // namespace corv::inst

#endif
