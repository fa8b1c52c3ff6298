#include "tray/java/runtime_discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/memory_registry.h"
#include "platform/system.h"
#include "tray/core/log_capture.h"
#include "tray/core/status_text.h"

namespace corv {
namespace {

namespace fs = std::filesystem;

// A folder standing for the program folder and for runtime folders on disk.
class TempFolder {
  public:
    TempFolder() {
        static int counter = 0;
        path_ = fs::temp_directory_path() / ("corv-java-" + std::to_string(CurrentProcessId()) +
                                             "-" + std::to_string(++counter));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string Path() const { return path_.string(); }
    // Creates a file below the folder; `relative` uses backslashes.
    void Touch(const std::string& relative) {
        fs::path p = path_;
        size_t start = 0;
        while (start <= relative.size()) {
            size_t end = relative.find('\\', start);
            if (end == std::string::npos) end = relative.size();
            p /= relative.substr(start, end - start);
            start = end + 1;
        }
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
    }

  private:
    fs::path path_;
};

class DiscoveryTest : public ::testing::Test {
  protected:
    void SetUp() override { SetStatusText(""); }

    void AddVersion(const std::string& family, const std::string& version,
                    const std::string& javaHome) {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::LocalMachine, family + "\\" + version));
        if (!javaHome.empty()) {
            ASSERT_EQ(kOk, key.SetString("JavaHome", javaHome));
        }
    }
    void SetCurrentVersion(const std::string& family, const std::string& version) {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::LocalMachine, family));
        ASSERT_EQ(kOk, key.SetString("CurrentVersion", version));
    }

    ScopedMemoryRegistry registry_;
    TempFolder program_;
    JavaRuntime rt_;
};

TEST_F(DiscoveryTest, RuntimeInTheProgramFolderWinsWhateverItsVersion) {
    AddVersion(kJreFamilyKey, "1.5.0", "C:\\Java\\jre1.5.0");
    program_.Touch("jre-file.txt");
    program_.Touch("jre-1.3.1\\bin\\client\\jvm.dll");
    ASSERT_TRUE(VerifyJava(program_.Path(), &rt_));
    const std::string home = program_.Path() + "\\jre-1.3.1";
    EXPECT_EQ(1, rt_.javaOk);
    EXPECT_EQ("1.3.1", rt_.JavaVersion);
    EXPECT_EQ(home, rt_.JavaHome);
    EXPECT_EQ(home + "\\bin\\java", rt_.JRE);
    EXPECT_EQ(home + "\\bin\\client", rt_.JVM);

    JavaRuntime again;
    EXPECT_TRUE(FindPrivateJre(program_.Path() + "\\", &again));
    EXPECT_EQ(home, again.JavaHome);
}

TEST_F(DiscoveryTest, WalkSkipsFamilyKeysAndTakesTheNewestText) {
    SetCurrentVersion(kJreFamilyKey, "1.4");
    AddVersion(kJreFamilyKey, "1.4", "C:\\Program Files\\Java\\j2re1.4.1_02");
    AddVersion(kJreFamilyKey, "1.4.1_02", "C:\\Program Files\\Java\\j2re1.4.1_02");
    AddVersion(kJreFamilyKey, "1.4.2_03", "C:\\Program Files\\Java\\j2re1.4.2_03");
    AddVersion(kJreFamilyKey, "1.5.0", "C:\\Program Files\\Java\\jre1.5.0");

    ScopedLogCapture log;
    ASSERT_TRUE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
    EXPECT_EQ("1.5.0", rt_.JavaVersion);
    EXPECT_EQ("C:\\Program Files\\Java\\jre1.5.0", rt_.JavaHome);
    EXPECT_EQ("C:\\Program Files\\Java\\jre1.5.0\\bin\\java", rt_.JRE);
    EXPECT_EQ("C:\\Program Files\\Java\\jre1.5.0\\bin\\client", rt_.JVM);
    EXPECT_EQ(
        "FindLatestJre: Searching for JRE installations\n"
        "FindLatestJre: JRE basename is j2re1.4.1_02\n"
        "JavaHome: C:\\Program Files\\Java\\j2re1.4.1_02\nlen: 34\npos: 21\n"
        "FindLatestJre: Current JRE version is 1.4.1_02\n"
        "JavaHome: C:\\Program Files\\Java\\j2re1.4.1_02\nlen: 34\npos: 4\n"
        "FindLatestJre: JRE list is 1.4\n1.4.1_02\n1.4.2_03\n1.5.0\n"
        "FindLatestJre: Skipping master version key: 1.4\n"
        "FindLatestJre: Latest version 1.4.1_02 is newer than or equal to 1.4.1_02\n"
        "FindLatestJre: New latest version: 1.4.2_03\n"
        "FindLatestJre: New latest version: 1.5.0\n"
        "FindLatestJre: Latest JRE version is 1.5.0\n",
        log.Text());
}

TEST_F(DiscoveryTest, CurrentVersionRecentEnoughNeedsNoWalk) {
    SetCurrentVersion(kJreFamilyKey, "1.4");
    AddVersion(kJreFamilyKey, "1.4", "C:\\Java\\j2re1.4.2_06");
    AddVersion(kJreFamilyKey, "1.4.2_06", "C:\\Java\\j2re1.4.2_06");
    AddVersion(kJreFamilyKey, "1.5.0", "C:\\Java\\jre1.5.0");
    ScopedLogCapture log;
    ASSERT_TRUE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
    EXPECT_EQ("1.4.2_06", rt_.JavaVersion);
    EXPECT_EQ("C:\\Java\\j2re1.4.2_06", rt_.JavaHome);
    EXPECT_FALSE(log.Has("list is"));
}

TEST_F(DiscoveryTest, DevelopmentKitUsesItsJreFolder) {
    AddVersion(kJdkFamilyKey, "1.4.2_05", "C:\\j2sdk1.4.2_05");
    ASSERT_TRUE(VerifyJava(program_.Path(), &rt_));
    EXPECT_EQ("C:\\j2sdk1.4.2_05\\jre\\bin\\java", rt_.JRE);
    EXPECT_EQ("C:\\j2sdk1.4.2_05\\jre\\bin\\client", rt_.JVM);
    EXPECT_EQ(1, rt_.javaOk);
}

TEST_F(DiscoveryTest, TextComparisonRejectsOneTen) {
    AddVersion(kJreFamilyKey, "1.10.0", "C:\\Java\\jre1.10.0");
    ScopedLogCapture log;
    EXPECT_FALSE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
    EXPECT_TRUE(log.Has("FindLatestJre: Latest JRE version too old 1.10.0\n"));
}

TEST_F(DiscoveryTest, NothingFoundDisablesTheClient) {
    ScopedLogCapture log;
    EXPECT_FALSE(VerifyJava(program_.Path(), &rt_));
    EXPECT_EQ(0, rt_.javaOk);
    EXPECT_EQ("Disabled: Java 1.4.2 is not installed", GetStatusText());
    EXPECT_TRUE(
        log.Has("FindLatestJre: Searching for JRE installations\nFindLatestJre: Found no JRE "
                "installation!\n"
                "FindLatestJre: Searching for JDK installations\nFindLatestJre: Found no JDK "
                "installation!\n"));
    EXPECT_TRUE(log.Has("VerifyJava: Could not find Java 1.4.2 or newer on this machine\n"));
}

TEST_F(DiscoveryTest, FamilyKeyWithoutVersionsIsNoInstallation) {
    SetCurrentVersion(kJreFamilyKey, "");
    ScopedLogCapture log;
    EXPECT_FALSE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
    EXPECT_EQ(
        "FindLatestJre: Searching for JRE installations\nFindLatestJre: Found no JRE "
        "installation!\n",
        log.Text());
}

TEST_F(DiscoveryTest, ChosenVersionWithoutJavaHomeFails) {
    AddVersion(kJreFamilyKey, "1.4.2_01", "");
    ScopedLogCapture log;
    EXPECT_FALSE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
    EXPECT_TRUE(log.Has("FindLatestJre: Latest JRE version is 1.4.2_01\n"));
}

TEST_F(DiscoveryTest, BadRegistryValuesFallBackToTheWalk) {
    // CurrentVersion of the wrong type, then too long for its 30 bytes: ignored.
    RegKey family;
    ASSERT_EQ(kOk, family.Create(RegRoot::LocalMachine, kJreFamilyKey));
    family.SetDword("CurrentVersion", 14);
    AddVersion(kJreFamilyKey, "1.4.2_08", "C:\\Java\\j2re1.4.2_08");
    ASSERT_TRUE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
    EXPECT_EQ("1.4.2_08", rt_.JavaVersion);

    family.SetString("CurrentVersion", std::string(30, '1'));
    ASSERT_TRUE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
    EXPECT_EQ("1.4.2_08", rt_.JavaVersion);

    // A home without a backslash, not naming the version: the whole text is the basename
    // and the current version stays unknown.
    family.SetString("CurrentVersion", "1.4");
    AddVersion(kJreFamilyKey, "1.4", "jre");
    ScopedLogCapture log;
    ASSERT_TRUE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
    EXPECT_EQ("1.4.2_08", rt_.JavaVersion);
    EXPECT_TRUE(log.Has("FindLatestJre: JRE basename is jre\nJavaHome: jre\nlen: 3\npos: -1\n"));
    EXPECT_TRUE(
        log.Has("FindLatestJre: Current JRE version is \nJavaHome: jre\nlen: 3\npos: -1\n"));

    // An over-long JavaHome is unreadable.
    AddVersion(kJreFamilyKey, "1.4.2_09", std::string(1024, 'h'));
    EXPECT_FALSE(FindLatestJre("JRE", kJreFamilyKey, &rt_));
}

TEST_F(DiscoveryTest, ModernRuntimesAreFoundByVersionNumber) {
    program_.Touch("jdk-17\\bin\\server\\jvm.dll");
    program_.Touch("jdk-9\\bin\\server\\jvm.dll");
    const std::string jdk17 = program_.Path() + "\\jdk-17";
    AddVersion(kModernJdkFamilyKey, "9.0.4", program_.Path() + "\\jdk-9");
    AddVersion(kModernJdkFamilyKey, "17.0.2", jdk17);
    AddVersion(kModernJdkFamilyKey, "17", jdk17);
    AddVersion(kModernJdkFamilyKey, "21", program_.Path() + "\\removed");  // files gone
    AddVersion(kModernJdkFamilyKey, "22", "");

    ScopedLogCapture log;
    ASSERT_TRUE(VerifyJava(program_.Path() + "\\nothing-here", &rt_));
    EXPECT_EQ(1, rt_.javaOk);
    EXPECT_EQ("17.0.2", rt_.JavaVersion);
    EXPECT_EQ(jdk17, rt_.JavaHome);
    EXPECT_EQ(jdk17 + "\\bin\\java", rt_.JRE);
    EXPECT_EQ(jdk17 + "\\bin\\server", rt_.JVM);
    EXPECT_EQ("", GetStatusText());
    EXPECT_TRUE(log.Has("FindModernJre: Latest JDK version is 17.0.2\n"));
    EXPECT_TRUE(log.Has("VerifyJava: No client VM in " + jdk17 +
                        "\\bin\\client, using the server VM in " + jdk17 + "\\bin\\server\n"));
    EXPECT_TRUE(log.Has(" (no jvm.dll)\n"));
}

TEST_F(DiscoveryTest, ModernJreFamilyComesBeforeTheJdkFamily) {
    AddVersion(kModernJreFamilyKey, "10", "C:\\jre-10");
    AddVersion(kModernJdkFamilyKey, "11", "C:\\jdk-11");
    ASSERT_TRUE(VerifyJava(program_.Path(), &rt_));
    EXPECT_EQ("10", rt_.JavaVersion);
    EXPECT_EQ("C:\\jre-10\\bin\\client", rt_.JVM);  // no files at all: left as it is
}

TEST_F(DiscoveryTest, LegacyResultsStayWhenTheyWork) {
    AddVersion(kJreFamilyKey, "1.4.2_05", program_.Path() + "\\j2re1.4.2_05");
    AddVersion(kModernJdkFamilyKey, "17", "C:\\jdk-17");
    program_.Touch("j2re1.4.2_05\\bin\\client\\jvm.dll");
    program_.Touch("j2re1.4.2_05\\bin\\server\\jvm.dll");
    ASSERT_TRUE(VerifyJava(program_.Path(), &rt_));
    EXPECT_EQ("1.4.2_05", rt_.JavaVersion);
    EXPECT_EQ(program_.Path() + "\\j2re1.4.2_05\\bin\\client", rt_.JVM);
}

TEST_F(DiscoveryTest, SixtyFourBitJreOfTheOldFamilyUsesItsServerVm) {
    AddVersion(kJreFamilyKey, "1.8.0_301", program_.Path() + "\\jre1.8.0_301");
    program_.Touch("jre1.8.0_301\\bin\\server\\jvm.dll");
    ASSERT_TRUE(VerifyJava(program_.Path(), &rt_));
    EXPECT_EQ(program_.Path() + "\\jre1.8.0_301\\bin\\server", rt_.JVM);
}

// The process's registry (the real one under Wine): the walk over the runtime family.
TEST(DiscoverySystemRegistryTest, WalkOverTheRuntimeFamily) {
    RegKey existing;
    if (existing.Open(RegRoot::LocalMachine, "SOFTWARE\\JavaSoft", kRegRead) == kOk)
        GTEST_SKIP() << "this machine has Java registry keys of its own";
    const std::string family = kJreFamilyKey;
    {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::LocalMachine, family));
        ASSERT_EQ(kOk, key.SetString("CurrentVersion", "1.4"));
        for (const char* v : {"1.4", "1.4.1_02", "1.4.2_03", "1.5.0"}) {
            RegKey version;
            ASSERT_EQ(kOk, version.Create(RegRoot::LocalMachine, family + "\\" + v));
            std::string home = std::string("C:\\Program Files\\Java\\j2re") +
                               (std::string(v) == "1.4" ? "1.4.1_02" : v);
            ASSERT_EQ(kOk, version.SetString("JavaHome", home));
        }
    }
    TempFolder program;
    JavaRuntime rt;
    ScopedLogCapture log;
    bool found = VerifyJava(program.Path(), &rt);
    RegKey software;
    ASSERT_EQ(kOk, software.Open(RegRoot::LocalMachine, "SOFTWARE", kRegReadWrite));
    software.DeleteTree("JavaSoft");

    ASSERT_TRUE(found);
    EXPECT_EQ(1, rt.javaOk);
    EXPECT_EQ("1.5.0", rt.JavaVersion);
    EXPECT_EQ("C:\\Program Files\\Java\\j2re1.5.0\\bin\\client", rt.JVM);
    EXPECT_EQ(
        "FindLatestJre: Searching for JRE installations\n"
        "FindLatestJre: JRE basename is j2re1.4.1_02\n"
        "JavaHome: C:\\Program Files\\Java\\j2re1.4.1_02\nlen: 34\npos: 21\n"
        "FindLatestJre: Current JRE version is 1.4.1_02\n"
        "JavaHome: C:\\Program Files\\Java\\j2re1.4.1_02\nlen: 34\npos: 4\n"
        "FindLatestJre: JRE list is 1.4\n1.4.1_02\n1.4.2_03\n1.5.0\n"
        "FindLatestJre: Skipping master version key: 1.4\n"
        "FindLatestJre: Latest version 1.4.1_02 is newer than or equal to 1.4.1_02\n"
        "FindLatestJre: New latest version: 1.4.2_03\n"
        "FindLatestJre: New latest version: 1.5.0\n"
        "FindLatestJre: Latest JRE version is 1.5.0\n",
        log.Text());
}

TEST(JavaVersionTest, TextAndNumberComparisons) {
    EXPECT_GT(CompareJavaVersionText("1.4.2_05", "1.4.2"), 0);
    EXPECT_GT(CompareJavaVersionText("1.5.0", "1.4.2_10"), 0);
    EXPECT_LT(CompareJavaVersionText("1.10.0", "1.4.2"), 0);
    EXPECT_EQ(0, CompareJavaVersionText("1.4.2_0A", "1.4.2_0a"));
    EXPECT_LT(CompareJavaVersionText("", "1.4.2"), 0);
    EXPECT_GT(CompareJavaVersionText("9", "1.4.2"), 0);

    EXPECT_GT(CompareJavaVersionNumbers("10", "9"), 0);
    EXPECT_GT(CompareJavaVersionNumbers("17.0.2", "17"), 0);
    EXPECT_EQ(0, CompareJavaVersionNumbers("17", "17.0.0"));
    EXPECT_GT(CompareJavaVersionNumbers("1.8.0_301", "1.8.0_29"), 0);
    EXPECT_LT(CompareJavaVersionNumbers("1.4.1", "1.4.2"), 0);
    EXPECT_EQ(0, CompareJavaVersionNumbers("", "abc"));
    EXPECT_GT(CompareJavaVersionNumbers("99999999999999999999", "1"), 0);
}

}  // namespace
}  // namespace corv
