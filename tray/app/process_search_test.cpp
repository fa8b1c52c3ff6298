#include "tray/app/process_search.h"

#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/system.h"

namespace corv {
namespace {

TEST(ProcessSearchTest, FindsOthersByImageNameButNeverItself) {
#ifdef _WIN32
    const char* program = "C:\\windows\\system32\\cmd.exe";
    const char* args = "/c ping -n 5 127.0.0.1 >nul";
    const char* image = "CMD.EXE";
#else
    const char* program = "/bin/sleep";
    const char* args = "5";
    const char* image = "SLEEP";
#endif
    unsigned pid = StartProcess(program, args);
    ASSERT_NE(0u, pid);
    // The child needs a moment before its image is the program's.
    unsigned found = 0;
    for (int i = 0; i < 100 && found != pid; ++i, SleepMs(50))
        found = FindRunningProcess(image, true);
    EXPECT_EQ(pid, found);
    TerminateProcessById(pid);
    WaitForProcess(pid, 5000);
    EXPECT_EQ(0u, FindRunningProcess(image, false));
    EXPECT_EQ(0u, FindRunningProcess("no-such-program.exe", false));
}

}  // namespace
}  // namespace corv
