#include "installer/sys/process_util.h"

#include <gtest/gtest.h>

#include <deque>

#include "installer/sys/inst_log.h"
#include "platform/system.h"

namespace corv::inst {
namespace {

// A process that ends after a given stage, as the stop sequence sees it.
class FakeControl : public ProcessControl {
  public:
    std::deque<ProcessWait> waits;
    bool terminateOk = true;
    std::vector<std::string> calls;

    long PostToWindows(unsigned pid, unsigned message, const std::string* title,
                       unsigned* posted) override {
        calls.push_back("post " + std::to_string(pid) + " " + std::to_string(message) + " " +
                        (title ? *title : "*"));
        *posted = 1;
        return 0;
    }
    ProcessWait Wait(unsigned, unsigned timeoutMs) override {
        calls.push_back("wait " + std::to_string(timeoutMs));
        ProcessWait w = waits.empty() ? ProcessWait::Timeout : waits.front();
        if (!waits.empty()) waits.pop_front();
        return w;
    }
    bool Terminate(unsigned pid) override {
        calls.push_back("terminate " + std::to_string(pid));
        return terminateOk;
    }
};

TEST(KillProcessTest, ProcessEndingOnTheFirstMessageGetsNothingElse) {
    ScopedLogCapture log;
    FakeControl control;
    control.waits = {ProcessWait::Ended};
    EXPECT_TRUE(KillProcess(42, "corvtray.exe", "Corvane", 500, control));
    EXPECT_EQ((std::vector<std::string>{"post 42 33518 Corvane", "wait 500"}), control.calls);
    EXPECT_EQ(std::vector<std::string>{"KillProcess: Sending WM_QUITMSG message to corvtray.exe\n"},
              log.Lines());
}

TEST(KillProcessTest, StagesCloseThenTerminate) {
    ScopedLogCapture log;
    FakeControl control;
    control.waits = {ProcessWait::Timeout, ProcessWait::Ended};
    EXPECT_TRUE(KillProcess(7, "tool.exe", "Other", 500, control));
    EXPECT_EQ((std::vector<std::string>{"post 7 33518 *", "wait 500", "post 7 16 *", "wait 500"}),
              control.calls);
    EXPECT_EQ((std::vector<std::string>{
                  "KillProcess: Sending WM_QUITMSG message to tool.exe\n",
                  "KillProcess: tool.exe is still running, sending WM_CLOSE message\n"}),
              log.Lines());

    ScopedLogCapture log2;
    FakeControl stubborn;
    EXPECT_TRUE(KillProcess(7, "tool.exe", "Other", 500, stubborn));
    EXPECT_EQ("terminate 7", stubborn.calls[4]);
    EXPECT_TRUE(
        log2.Contains("KillProcess: tool.exe is still running, terminating process forcibly\n"));

    ScopedLogCapture log3;
    FakeControl immortal;
    immortal.terminateOk = false;
    EXPECT_FALSE(KillProcess(7, "tool.exe", "Other", 500, immortal));
    EXPECT_TRUE(log3.Contains("KillProcess: Unable to terminate tool.exe\n"));

    ScopedLogCapture log4;
    FakeControl gone;
    gone.waits = {ProcessWait::Failed};
    EXPECT_FALSE(KillProcess(9, "x.exe", "Other", 500, gone));
    EXPECT_TRUE(log4.Contains("Could not open process with pid: 9, SendMessage failed\n"));
    EXPECT_EQ(2u, gone.calls.size());
}

TEST(IsRunningTest, FindsOtherProcessesByImageNameButNeverItself) {
    ScopedLogCapture log;
    std::string me = "no-such-image.exe";
    EXPECT_EQ(0u, IsRunning(me, "Windows XP"));
    EXPECT_EQ("isRunning(no-such-image.exe), my pid is " + std::to_string(CurrentProcessId()) +
                  ", using ToolHelp\n",
              log.Lines().at(0));
#ifndef _WIN32
    // The test program itself is running, but it is this process.
    std::string self = "instsys_test";
    EXPECT_EQ(0u, IsRunning(self, "Windows XP"));
#endif
}

// A program that ends before anyone waits is no failure: its end and exit code are known
// from the start.
TEST(StartCommandTest, AProgramThatEndsAtOnceIsWaitedForWithItsExitCode) {
#ifdef _WIN32
    const std::string shell = GetEnv("COMSPEC"), arguments = "/c exit 3";
#else
    const std::string shell = "/bin/sh", arguments = "-c 'exit 3'";
#endif
    ChildProcess process;
    ASSERT_TRUE(StartCommand(shell, arguments, "", false, &process));
    SleepMs(300);  // let it end before the wait
    CommandEnd end = WaitForCommand(process, 5000);
    EXPECT_EQ(ProcessWait::Ended, end.outcome);
    EXPECT_EQ(3u, end.exitCode);
    EXPECT_FALSE(end.Succeeded());
    // Waiting again tells the same.
    EXPECT_EQ(3u, WaitForCommand(process, 0).exitCode);
    ChildProcess never;
    EXPECT_EQ(ProcessWait::Failed, WaitForCommand(never, 0).outcome);
}

#ifdef _WIN32
TEST(StartCommandTest, FailureIsLoggedWithCommandAndFolder) {
    ScopedLogCapture log;
    ChildProcess process;
    EXPECT_FALSE(StartCommand("Z:\\no\\such\\program.exe", "/x", "Z:\\no\\such", true, &process));
    EXPECT_TRUE(
        log.Contains("Could not start command: \"Z:\\no\\such\\program.exe\" /x \nFolder: "
                     "Z:\\no\\such \nLastError: "));
}
#endif

}  // namespace
}  // namespace corv::inst
