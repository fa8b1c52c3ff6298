#include "tray/app/process_search.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <cctype>
#include <cstdlib>

namespace corv {
namespace {

TEST(ProcessSearchTest, FindsOthersByImageNameButNeverItself) {
#ifdef _WIN32
    // A copy of cmd.exe under a name of its own: other tests may leave shells running.
    std::string image = "corvsearch" + std::to_string(CurrentProcessId()) + ".exe";
    std::string program = ProgramPath() + "\\" + image;
    ASSERT_TRUE(CopyFileA("C:\\windows\\system32\\cmd.exe", program.c_str(), FALSE));
    const char* args = "/c ping -n 5 127.0.0.1 >nul";
    for (char& c : image) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
#else
    // A copy of sleep under a name of its own: other programs may be sleeping too.
    std::string image = "corvsearch" + std::to_string(CurrentProcessId());
    std::string program = "/tmp/" + image;
    ASSERT_EQ(0, std::system(("cp /bin/sleep " + program).c_str()));
    const char* args = "5";
    for (char& c : image) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
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
#ifdef _WIN32
    DeleteFileA(program.c_str());
#else
    RemoveFile(program);
#endif
}

}  // namespace
}  // namespace corv
