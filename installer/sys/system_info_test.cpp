#include "installer/sys/system_info.h"

#include <gtest/gtest.h>

#include "installer/sys/inst_log.h"
#include "platform/file_ops.h"
#include "platform/memory_registry.h"
#include "platform/session.h"
#include "platform/system.h"

namespace corv::inst {
namespace {

TEST(SystemInfoTest, VersionNamesComeFromTheSharedTable) {
    EXPECT_EQ(GetWindowsVersionName(), WindowsVersion());
    for (const char* n : {"Windows 98", "Windows 98 SP1", "Windows 98 SE", "Windows ME"})
        EXPECT_TRUE(IsWindows98OrMe(n)) << n;
    for (const char* n : {"Windows 95", "Windows 2000", "Windows XP", "unknown Windows version"})
        EXPECT_FALSE(IsWindows98OrMe(n)) << n;
    EXPECT_TRUE(IsOldNt("Windows NT 3.51"));
    EXPECT_TRUE(IsOldNt("Windows NT 4"));
    EXPECT_FALSE(IsOldNt("Windows 2000"));
}

TEST(SystemInfoTest, ShellFoldersAndProgramFiles) {
    ScopedMemoryRegistry reg;
    const char shell[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    RegKey user, all, cv;
    ASSERT_EQ(kOk, user.Create(RegRoot::CurrentUser, shell));
    ASSERT_EQ(kOk, all.Create(RegRoot::LocalMachine, shell));
    ASSERT_EQ(kOk,
              cv.Create(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"));
    user.SetString("Start Menu", "U\\Start");
    user.SetString("Programs", "U\\Programs");
    user.SetString("Desktop", "U\\Desktop");
    user.SetString("Startup", "U\\Startup");
    all.SetString("Common Start Menu", "A\\Start");
    all.SetString("Common Programs", "A\\Programs");
    all.SetString("Common Desktop", "A\\Desktop");
    all.SetDword("Common Startup", 1);  // not a string: not a folder
    cv.SetString("ProgramFilesDir", "C:\\Program Files");
    EXPECT_EQ("U\\Start", GetShellFolder(ShellFolder::StartMenu, false));
    EXPECT_EQ("U\\Programs", GetShellFolder(ShellFolder::Programs, false));
    EXPECT_EQ("U\\Desktop", GetShellFolder(ShellFolder::Desktop, false));
    EXPECT_EQ("U\\Startup", GetShellFolder(ShellFolder::Startup, false));
    EXPECT_EQ("A\\Start", GetShellFolder(ShellFolder::StartMenu, true));
    EXPECT_EQ("A\\Programs", GetShellFolder(ShellFolder::Programs, true));
    EXPECT_EQ("A\\Desktop", GetShellFolder(ShellFolder::Desktop, true));
    EXPECT_EQ("", GetShellFolder(ShellFolder::Startup, true));
    EXPECT_EQ("C:\\Program Files", GetProgramFilesDir());
}

TEST(SystemInfoTest, TextualSid) {
    const uint8_t nt[6] = {0, 0, 0, 0, 0, 5};
    EXPECT_EQ("S-1-5-21-1004336348-1177238915-682003330-512",
              FormatTextualSid(1, nt, {21, 1004336348u, 1177238915u, 682003330u, 512}));
    const uint8_t big[6] = {0, 1, 0, 0, 0, 0x2a};
    EXPECT_EQ("S-1-0x00010000002a-4294967295", FormatTextualSid(1, big, {4294967295u}));
    const uint8_t world[6] = {0, 0, 0, 0, 0, 1};
    EXPECT_EQ("S-1-1-0", FormatTextualSid(1, world, {0}));
}

TEST(SystemInfoTest, TokenOperations) {
    ScopedLogCapture log;
    std::string sid = CurrentUserSid();
#ifdef _WIN32
    ASSERT_EQ(0u, sid.find("S-1-5-")) << sid;
    EXPECT_TRUE(log.Contains("Current User SID: " + sid + "\n"));
    EXPECT_FALSE(EnablePrivilege("SeNoSuchPrivilege"));
    EXPECT_TRUE(log.Contains("LookupPrivilegeValue error: "));
    std::string error;
    std::string missing = TempFolder() + "\\no-such-readme.htm";
    EXPECT_FALSE(OpenDocument(missing, &error));
    EXPECT_EQ(0u, error.find("Error ")) << error;
    EXPECT_NE(std::string::npos, error.find(": ShellExecute could not open: " + missing)) << error;
#else
    EXPECT_EQ("", sid);
    EXPECT_TRUE(
        log.Contains("Cannot determine sid of current user. OpenProcessToken failed: (50) "
                     "The request is not supported.\n"));
    std::string error;
    EXPECT_FALSE(RestartComputer(&error));
    EXPECT_EQ(
        "Error when trying to shutdown computer: Can't OpenProcessToken, last error: (50) "
        "The request is not supported.",
        error);
    EXPECT_FALSE(OpenDocument("readme.htm", &error));
    EXPECT_EQ("Error 50: ShellExecute could not open: readme.htm", error);
#endif
}

}  // namespace
}  // namespace corv::inst
