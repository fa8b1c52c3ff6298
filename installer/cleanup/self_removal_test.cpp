#include "installer/cleanup/self_removal.h"

#include <gtest/gtest.h>

#include "installer/sys/inst_log.h"
#include "platform/system.h"

namespace corv::inst {
namespace {

TEST(SelfRemovalTest, TheScriptRemovesTheUninstallersFilesThenItselfAndTheEmptyFolder) {
    SelfRemoval r;
    r.folder = "C:\\Program Files\\Velmora\\Corvane\\";
    r.packageFiles = {"C:\\Program Files\\Velmora\\Corvane\\jnibridge.dll",
                      "C:\\Program Files\\Velmora\\Corvane\\corvtray.exe",
                      "C:\\Program Files\\Velmora\\Corvane\\lib\\Helper.DLL"};
    r.uninstallLog = "C:\\Program Files\\Velmora\\Corvane\\uninstall.log";
    std::string text;
    ASSERT_TRUE(CleanupScriptText(r, &text));
    EXPECT_EQ(
        "ping -n 2 localhost> NUL\n"
        "del \"C:\\Program Files\\Velmora\\Corvane\\jnibridge.dll\"\n"
        "del \"C:\\Program Files\\Velmora\\Corvane\\lib\\Helper.DLL\"\n"
        "del \"C:\\Program Files\\Velmora\\Corvane\\uninst.cfg\"\n"
        "del \"C:\\Program Files\\Velmora\\Corvane\\uninst.exe\"\n"
        "del \"C:\\Program Files\\Velmora\\Corvane\\uninstall.log\"\n"
        "del \"C:\\Program Files\\Velmora\\Corvane\\install.log\"\n"
        "cd /d \"C:\\Program Files\\Velmora\" & del \"C:\\Program Files\\Velmora\\Corvane\\"
        "cleanup.bat\" & start \"\" /b cmd /c ping -n 2 localhost^> NUL ^& rmdir "
        "\"C:\\Program Files\\Velmora\\Corvane\"\n",
        text);

    // A folder at the top of a drive: the interpreter leaves it for the drive's root. A "%"
    // in the folder keeps it from any command line a second interpreter would expand.
    r = SelfRemoval();
    r.folder = "D:\\100%";
    ASSERT_TRUE(CleanupScriptText(r, &text));
    EXPECT_NE(
        std::string::npos,
        text.find("\ncd /d \"D:\\\" & del \"D:\\100%%\\cleanup.bat\" & rmdir \"D:\\100%%\"\n"));
    // A drive's root is never removed.
    r.folder = "D:\\";
    ASSERT_TRUE(CleanupScriptText(r, &text));
    EXPECT_NE(std::string::npos, text.find("\ndel \"D:\\install.log\"\ndel \"D:\\cleanup.bat\"\n"));
    EXPECT_EQ(std::string::npos, text.find("rmdir"));
}

// A path that the interpreter would read as something else never reaches the script.
TEST(SelfRemovalTest, PathsThatCannotBeNamedSafelyAreLeftOut) {
    struct Case {
        std::string path;
        std::string line;  // in the script, or "" when left out
        std::string why;
    };
    const Case cases[] = {
        {"C:\\100%\\%PATH%.dll", "del \"C:\\100%%\\%%PATH%%.dll\"\n", ""},
        {"\\\\server\\share\\x.dll", "del \"\\\\server\\share\\x.dll\"\n", ""},
        {"relative.dll", "", "not a full path"},
        {"\\x.dll", "", "not a full path"},
        {"C:\\a\\*.dll", "", "a character the script cannot hold"},
        {"C:\\a\\?.dll", "", "a character the script cannot hold"},
        {"C:\\a\\\".dll", "", "a character the script cannot hold"},
        {"C:\\a\\x\n.dll", "", "a character the script cannot hold"},
        {"C:\\a\\x\r\ndel \"C:\\y.dll", "", "a character the script cannot hold"},
    };
    for (const auto& c : cases) {
        SelfRemoval r;
        r.folder = "C:\\Corvane";
        r.packageFiles = {c.path};
        ScopedLogCapture log;
        std::string text;
        ASSERT_TRUE(CleanupScriptText(r, &text)) << c.path;
        EXPECT_EQ(c.line.empty() ? 5 : 6, std::count(text.begin(), text.end(), '\n')) << c.path;
        if (!c.line.empty()) {
            EXPECT_NE(std::string::npos, text.find("NUL\n" + c.line)) << c.path;
            EXPECT_EQ("", log.Text());
        } else {
            EXPECT_EQ("DeleteMySelf: left out " + c.path + ", " + c.why + "\n", log.Text());
        }
    }

    SelfRemoval r;
    r.folder = "Corvane";
    ScopedLogCapture log;
    std::string text = "unchanged";
    EXPECT_FALSE(CleanupScriptText(r, &text));
    EXPECT_EQ("unchanged", text);
    EXPECT_EQ("DeleteMySelf: the folder Corvane cannot be named in a script: not a full path\n",
              log.Text());
    EXPECT_EQ(0u, DeleteMySelf(r));
}

TEST(SelfRemovalTest, AScriptThatCannotBeWrittenIsNotStarted) {
    SelfRemoval r;
    r.folder = "C:\\corv-no-such-folder-" + std::to_string(CurrentProcessId());
    ScopedLogCapture log;
    EXPECT_EQ(0u, DeleteMySelf(r));
    auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("CInstallApp::DeleteMySelf()\n", lines[0]);
    EXPECT_EQ(0u, lines[1].find("Could not create: " + r.folder + "\\cleanup.bat, reason: ("))
        << lines[1];
}

}  // namespace
}  // namespace corv::inst
