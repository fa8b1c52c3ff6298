// The real corvinst.exe under Wine: the suite's package is installed silently for the current
// user, a second install of the same version is refused with its status, a plan changes
// nothing, and the silent uninstall leaves the system as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/sys/system_info.h"
#include "installer/testing/test_support.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace corv::inst {
namespace {

using test::ReadText;
using test::TempTree;
using ::testing::HasSubstr;

const char kProductKey[] = "SOFTWARE\\Velmora\\Corvane";
const char kJavaTunnel[] = "SOFTWARE\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Tunnel";
const char kUninstallEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";
const char* const kPackageFiles[] = {"corvinst.exe",  "corvinst.cfg",       "corvtray.exe",
                                     "jnibridge.dll", "corvane.client.jar", "SwTermsOfUse.rtf",
                                     "Support.rtf",   "readme.htm"};

std::string WindowsPathOf(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string Value(RegRoot root, const std::string& key, const std::string& name) {
    RegKey k;
    RegValue v;
    if (k.Open(root, key, kRegRead) != kOk || k.QueryValue(name, &v) != kOk) return "<none>";
    return ValueText(v);
}

// The value of the line that starts with `key`.
std::string LineValue(const std::string& text, const std::string& key) {
    size_t at = text.find("\n" + key);
    if (at == std::string::npos) return "";
    at += 1 + key.size();
    return text.substr(at, text.find_first_of("\r\n", at) - at);
}

class InstallerProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The Java client's tree as a fresh machine has it: other tests' runs of the tray
        // client leave values there, and the uninstall check below looks at that tree.
        RegKey prefs;
        if (prefs.Open(RegRoot::CurrentUser, "SOFTWARE\\JavaSoft\\Prefs", kRegReadWrite) == kOk)
            prefs.DeleteTree("corvane");
        oldTemp_ = GetEnv("TEMP");
        ASSERT_EQ(kOk, MakeDirectory(temp_));
        SetEnv("TEMP", temp_);  // the installer's first log goes here
        ASSERT_EQ(kOk, MakeDirectory(pkg_));
        std::string from = WindowsPathOf(CORV_PACKAGE_DIR);
        for (const char* f : kPackageFiles)
            ASSERT_EQ(kOk, CopyFileTo(from + "\\" + f, pkg_ + "\\" + f, true)) << f;
        links_ = GetShellFolder(ShellFolder::Programs, false) + "\\Corvane";
        ASSERT_FALSE(PathExists(links_)) << "an earlier run left " << links_;
    }
    void TearDown() override { SetEnv("TEMP", oldTemp_); }

    // Runs a program of the test and returns its exit status.
    unsigned Run(const std::string& program, const std::string& arguments) {
        ChildProcess child;
        long error = 0;
        EXPECT_TRUE(child.Start(program, arguments, {}, &error)) << program << ": " << error;
        unsigned code = 9999;
        EXPECT_EQ(ProcessWait::Ended, child.Wait(120000, &code)) << program << " " << arguments;
        return code;
    }

    // The names below `folder`, one a line, in the order listed.
    static std::string Names(const std::string& folder, const std::string& prefix = "") {
        std::vector<FolderEntry> entries;
        std::string out;
        if (!ListFolder(folder, &entries)) return out;
        for (const FolderEntry& e : entries) {
            out += prefix + e.name + "\n";
            if (e.folder && !e.link) out += Names(folder + "\\" + e.name, prefix + e.name + "\\");
        }
        return out;
    }

    // The package's files, its link folder, its registry keys and every value it writes.
    std::string Snapshot() {
        const std::string preferences = std::string(kProductKey) + "\\Preferences";
        return "files:\n" + Names(target_) +
               "links: " + (PathExists(links_) ? "present\n" : "absent\n") +
               test::RegistrySnapshot({{RegRoot::CurrentUser, "SOFTWARE\\Velmora"}}) +
               "InstallLocation: " + Value(RegRoot::CurrentUser, kProductKey, "InstallLocation") +
               "\nHome: " + Value(RegRoot::CurrentUser, preferences, "Home") +
               "\nproxyServerAddresses: " +
               Value(RegRoot::CurrentUser, preferences, "proxyServerAddresses") +
               "\nproxy/Server/Addresses: " +
               Value(RegRoot::CurrentUser, kJavaTunnel, "proxy/Server/Addresses") +
               "\nUninstall entry: " +
               Value(RegRoot::LocalMachine, kUninstallEntry, "UninstallString") + " " +
               Value(RegRoot::LocalMachine, kUninstallEntry, "DisplayVersion") + "\n";
    }

    // Every log in the temporary folder, one after the other.
    std::string TemporaryLogs() {
        std::string all;
        std::vector<FolderEntry> entries;
        ListFolder(temp_, &entries);
        for (const FolderEntry& e : entries)
            if (!e.folder) all += ReadText(temp_ + "\\" + e.name);
        return all;
    }

    TempTree tree_{"corvinst_program"};
    std::string temp_ = tree_["temp"], pkg_ = tree_["pkg"],
                target_ = tree_["Program Files\\Corvane"];
    std::string oldTemp_, links_;
};

TEST_F(InstallerProgramTest, SilentInstallRefusalPlanAndUninstall) {
    const std::string before = Snapshot();
    const std::string preferences = std::string(kProductKey) + "\\Preferences";

    // An older package, installed silently for the current user into a folder of the test,
    // with proxy addresses given on the command line.
    const std::string description = ReadText(pkg_ + "\\corvinst.cfg");
    const std::string version = "Version=" + LineValue(description, "Version=");
    std::string older = description;
    for (size_t at; (at = older.find(version)) != std::string::npos;)
        older.replace(at, version.size(), "Version=0.9");
    test::WriteText(pkg_ + "\\corvinst.cfg", older);

    // A plan of the install changes nothing.
    EXPECT_EQ(0u, Run(pkg_ + "\\corvinst.exe", "/S /U /plan /F:" + target_));
    EXPECT_EQ(before, Snapshot());
    EXPECT_FALSE(PathExists(target_));
    EXPECT_THAT(TemporaryLogs(), HasSubstr("Install action: INSTALL (1)\n"));

    const std::string options = "/S /U /T:proxy.example:8080 /F:" + target_;
    ASSERT_EQ(0u, Run(pkg_ + "\\corvinst.exe", options));
    EXPECT_EQ("0.9", Value(RegRoot::LocalMachine, kUninstallEntry, "DisplayVersion"));
    EXPECT_EQ("proxy.example:8080",
              Value(RegRoot::CurrentUser, preferences, "proxyServerAddresses"));
    EXPECT_EQ("proxy.example:8080",
              Value(RegRoot::CurrentUser, kJavaTunnel, "proxy/Server/Addresses"));
    EXPECT_THAT(
        ReadText(target_ + "\\install.log"),
        HasSubstr("ProgramName: " + pkg_ + "\\corvinst.exe, Parameters: " + options + "\n"));

    // This build's package upgrades it.
    test::WriteText(pkg_ + "\\corvinst.cfg", description);
    ASSERT_EQ(0u, Run(pkg_ + "\\corvinst.exe", "/S /U"));
    for (const char* f : {"corvtray.exe", "jnibridge.dll", "lib\\corvane.client.jar", "readme.htm",
                          "uninst.exe", "uninst.cfg", "install.log"})
        EXPECT_TRUE(PathExists(target_ + "\\" + f)) << f;
    EXPECT_EQ(ReadText(pkg_ + "\\corvtray.exe"), ReadText(target_ + "\\corvtray.exe"));
    EXPECT_TRUE(PathExists(links_ + "\\Corvane.lnk"));
    EXPECT_EQ(target_, Value(RegRoot::CurrentUser, kProductKey, "InstallLocation"));
    EXPECT_EQ(target_, Value(RegRoot::CurrentUser, preferences, "Home"));
    EXPECT_EQ(target_ + "\\uninst.exe",
              Value(RegRoot::LocalMachine, kUninstallEntry, "UninstallString"));
    EXPECT_EQ(version.substr(8), Value(RegRoot::LocalMachine, kUninstallEntry, "DisplayVersion"));
    EXPECT_THAT(ReadText(target_ + "\\update.log"), HasSubstr("Install action: UPGRADE\n"));
    const std::string installed = Snapshot();

    // The older package is now refused, as is the same version again; neither changes anything.
    test::WriteText(pkg_ + "\\corvinst.cfg", older);
    EXPECT_EQ(12u, Run(pkg_ + "\\corvinst.exe", "/S /U"));
    test::WriteText(pkg_ + "\\corvinst.cfg", description);
    EXPECT_EQ(installed, Snapshot());

    // The same version again is refused with its status and changes nothing.
    EXPECT_EQ(11u, Run(pkg_ + "\\corvinst.exe", "/S /U"));
    EXPECT_EQ(installed, Snapshot());

    // A plan of the uninstall lists the operations and changes nothing.
    EXPECT_EQ(0u, Run(target_ + "\\uninst.exe", "/S /plan"));
    EXPECT_EQ(installed, Snapshot());
    std::string logs = TemporaryLogs();
    EXPECT_THAT(logs, HasSubstr("Install action: UNINSTALL (2)\n"));
    EXPECT_THAT(logs, HasSubstr("Nothing was changed.\n"));

    // The silent uninstall leaves what was there before, but for the running uninstaller's own
    // files and the logs, which its self-removal script takes away once it has ended.
    EXPECT_EQ(0u, Run(target_ + "\\uninst.exe", "/S"));
    std::string kept = before;
    kept.replace(kept.find("files:\n") + 7, 0,
                 "install.log\nuninst.cfg\nuninst.exe\nuninstall.log\nupdate.log\n");
    EXPECT_EQ(kept, Snapshot());
    // The proxy addresses' keys in the Java client's preference tree stay, empty: the addresses
    // are value items, and that tree is the Java client's own.
    std::string java =
        test::RegistrySnapshot({{RegRoot::CurrentUser, "SOFTWARE\\JavaSoft\\Prefs\\corvane"}});
    EXPECT_THAT(java, HasSubstr("proxyclient\\/Tunnel\n"));
    EXPECT_THAT(java, ::testing::Not(HasSubstr("\n  ")));  // no value left
}

}  // namespace
}  // namespace corv::inst
