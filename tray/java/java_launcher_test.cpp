// The launcher against the stand-in virtual machine (natively by path; on Windows found as
// jvm.dll through the PATH update), with the real bridge library and listener.
#include "tray/java/java_launcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "bridge/jni_listener.h"
#include "platform/dynlib.h"
#include "platform/environment.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/system.h"
#include "tray/java/gui_listener.h"
#include "tray/java/testing/fake_jvm.h"
#include "tray/java/testing/launch_harness.h"

namespace corv {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace testing_support;

#ifdef _WIN32
// The stand-in's folder as Wine shows the build tree.
std::string FakeJreFolder() {
    std::string p = std::string("Z:") + CORV_FAKE_JVM_DIR;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}
#endif

std::string FakeJvmLibrary() {
#ifdef _WIN32
    return "jvm.dll";  // by name: found through PATH only
#else
    return std::string(CORV_FAKE_JVM_DIR) + "/libjvm.so";
#endif
}

// The class path option as the launcher writes it for this system.
std::string ClassPathOption(const std::vector<std::string>& entries) {
    std::string list;
    for (const auto& e : entries) {
        if (!list.empty()) list += PathListSeparator();
#ifdef _WIN32
        list += e;
#else
        list += NativePath(e);
#endif
    }
    return "-Djava.class.path=" + list;
}

class FakeJvm {
  public:
    bool Load() {
#ifdef _WIN32
        foundBeforePathUpdate_ = DynamicLibrary().Load("jvm.dll") == kOk;
        if (!UpdatePath(FakeJreFolder())) return false;
#endif
        if (lib_.Load(FakeJvmLibrary()) != kOk) return false;
        reset_ = reinterpret_cast<FakeJvmResetFn>(lib_.Symbol("FakeJvmReset"));
        option_ = reinterpret_cast<FakeJvmOptionFn>(lib_.Symbol("FakeJvmOption"));
        count_ = reinterpret_cast<FakeJvmIntFn>(lib_.Symbol("FakeJvmOptionCount"));
        version_ = reinterpret_cast<FakeJvmIntFn>(lib_.Symbol("FakeJvmVersion"));
        ignore_ = reinterpret_cast<FakeJvmIntFn>(lib_.Symbol("FakeJvmIgnoreUnrecognized"));
        calls_ = reinterpret_cast<FakeJvmCallsFn>(lib_.Symbol("FakeJvmCalls"));
        binding_ = reinterpret_cast<FakeJvmBindingFn>(lib_.Symbol("FakeJvmBinding"));
        return reset_ && option_ && count_ && version_ && ignore_ && calls_ && binding_;
    }
    void Reset(const FakeJvmScript& s) {
        reset_(&s);
    }
    std::vector<std::string> Options() {
        std::vector<std::string> o;
        for (int i = 0; i < count_(); ++i) o.push_back(option_(i));
        return o;
    }
    int Version() {
        return version_();
    }
    int Ignore() {
        return ignore_();
    }
    std::string Calls() {
        return calls_();
    }
    std::string Binding() {
        return binding_();
    }
    bool FoundBeforePathUpdate() const {
        return foundBeforePathUpdate_;
    }

  private:
    DynamicLibrary lib_;
    bool foundBeforePathUpdate_ = false;
    FakeJvmResetFn reset_ = nullptr;
    FakeJvmOptionFn option_ = nullptr;
    FakeJvmIntFn count_ = nullptr;
    FakeJvmIntFn version_ = nullptr;
    FakeJvmIntFn ignore_ = nullptr;
    FakeJvmCallsFn calls_ = nullptr;
    FakeJvmBindingFn binding_ = nullptr;
};

FakeJvm& Jvm() {
    static FakeJvm jvm;
    return jvm;
}

class LauncherTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { loaded_ = Jvm().Load(); }

    void SetUp() override {
        ASSERT_TRUE(loaded_) << "stand-in virtual machine not loadable";
        Jvm().Reset(script_);
        JavaLogQueue().TakeAll();
        SetStatusText("");
        SetMainPoster(&poster_);
        setListener(&listener_);
        settings_.home = "C:\\Program Files\\Corvane";
        settings_.classPath = "lib\\corvane.client.jar;lib\\js.jar";
        settings_.mainClass = "corvane.proxyclient.ProxyClient";
        settings_.jvmLibrary = FakeJvmLibrary();
    }
    void TearDown() override {
        setListener(nullptr);
        SetMainPoster(nullptr);
    }

    // Runs one launch to its end; returns the launcher's log texts.
    std::vector<std::string> RunLaunch(const FakeJvmScript& script = FakeJvmScript{}) {
        Jvm().Reset(script);
        JavaLauncher launcher(&host_);
        EXPECT_EQ(launcher.Start(7, settings_), kOk);
        EXPECT_TRUE(launcher.Join(120000)) << "launcher thread did not end";
        EXPECT_FALSE(launcher.IsJavaRunning());
        return TakeLauncherLog();
    }

    void ExpectNoJniMisuse() { EXPECT_THAT(Jvm().Calls(), Not(HasSubstr("ERROR"))); }

    // A failed launch still asks for the installation check, after the log message and at
    // least the pause later.
    void ExpectVerifyAfterFailure(const std::string& status) {
        auto all = poster_.All();
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().message, kMsgVerifyInstallation);
        EXPECT_EQ(poster_.Count(kMsgVerifyInstallation), 1);
        auto failed = std::find_if(all.begin(), all.end(), [&](const Posted& p) {
            return p.message == kMsgSetMessageString && p.status == status;
        });
        ASSERT_NE(failed, all.end()) << "status " << status << " not posted";
        auto pause =
            std::chrono::duration_cast<std::chrono::milliseconds>(all.back().at - failed->at);
        EXPECT_GE(pause.count(), 150);
        EXPECT_EQ(all[all.size() - 2].message, kMsgJavaLog);
        EXPECT_EQ(GetStatusText(), status);
        EXPECT_TRUE(host_.Started().empty());
    }

    static bool loaded_;
    FakeJvmScript script_{};
    TestHost host_;
    RecordingPoster poster_;
    ForwardingListener listener_;
    JavaLaunchSettings settings_;
};

bool LauncherTest::loaded_ = false;

TEST_F(LauncherTest, ClientRunsInProcessAndReportsThroughTheBridge) {
#ifdef _WIN32
    EXPECT_FALSE(Jvm().FoundBeforePathUpdate()) << "jvm.dll must come from the PATH update";
    EXPECT_EQ(GetEnv("PATH").rfind(FakeJreFolder() + ";", 0), 0u);
#endif
    auto log = RunLaunch();

    EXPECT_THAT(Jvm().Options(),
                ElementsAre(ClassPathOption({"C:\\Program Files\\Corvane\\lib\\corvane.client.jar",
                                             "C:\\Program Files\\Corvane\\lib\\js.jar"}),
                            "-DactiveAddress=127.0.0.5"));
    EXPECT_EQ(Jvm().Version(), 0x10004);
    EXPECT_EQ(Jvm().Ignore(), 1);
    EXPECT_EQ(Jvm().Calls(),
              "JNI_CreateJavaVM\n"
              "FindClass corvane/proxyclient/ProxyClient\n"
              "GetStaticMethodID corvane/proxyclient/ProxyClient.main ([Ljava/lang/String;)V\n"
              "FindClass java/lang/String\n"
              "NewObjectArray 0 java/lang/String\n"
              "CallStaticVoidMethodA corvane/proxyclient/ProxyClient.main args\n"
              "GetStaticMethodID corvane/proxyclient/ProxyClient.syncaddress "
              "()Ljava/lang/String;\n"
              "CallStaticObjectMethodA corvane/proxyclient/ProxyClient.syncaddress\n"
              "DestroyJavaVM\n");
#ifdef _WIN32
    EXPECT_EQ(Jvm().Binding(), sizeof(void*) == 4 ? "decorated" : "plain");
#endif

    // The natives reached the listener in order, after main's own report.
    std::vector<std::string> expected{"setStatusBar(Initializing...)"};
    for (const auto& c : AllNativesCalls()) expected.push_back(c);
    EXPECT_THAT(listener_.Calls(), ElementsAreArray(expected));
    EXPECT_THAT(poster_.Statuses(), ElementsAre("Initializing...", "Initializing...OK",
                                                "Verbunden mit Server \xc3\xbc\xe2\x82\xac",
                                                "Proxy thread terminated"));
    EXPECT_EQ(TheGuiListener().GetSocksPort(), 1081);
    EXPECT_EQ(TheGuiListener().GetSipPort(), 5070);

    EXPECT_THAT(host_.Waits(), ElementsAre(5000u));
    EXPECT_THAT(host_.JavaLocal(), ElementsAre("127.0.0.5"));
    EXPECT_THAT(host_.Started(), ElementsAre(1));
    EXPECT_EQ(poster_.Count(kMsgVerifyInstallation), 1);

    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].rfind("JavaLauncher started thread: 0x", 0), 0u);
    EXPECT_TRUE(InOrder(
        log,
        {"\nclasspath: " + Jvm().Options()[0] + "\n\n", "GetActiveAddress returned: 127.0.0.5\n",
         "Active Address: 127.0.0.5\n\n", "Starting JVM...", "OK\n",
         "Calling java method syncaddress()\n", "Java localAddress: 127.0.0.5\n",
         "Calling OnJavaStarted()\n", "Calling VerifyInstallation()\n",
         "Calling jvm->DestroyJavaVM()\n", "JVM terminated\n"}))
        << ::testing::PrintToString(log);
    ExpectNoJniMisuse();
}

TEST_F(LauncherTest, DestroyReturnsOnlyWhenTheClientThreadEnds) {
    Gate gate;
    listener_.HoldAtSocksPort(&gate);
    JavaLauncher launcher(&host_);
    ASSERT_EQ(launcher.Start(1, settings_), kOk);
    ASSERT_TRUE(gate.WaitArrived());
    // The launcher reaches DestroyJavaVM and stays there while the client thread is held.
    ASSERT_TRUE(poster_.WaitUntil([](const std::vector<Posted>& all) {
        int logs = 0;
        for (const auto& p : all) logs += p.message == kMsgJavaLog;
        return logs >= 2;  // "Starting JVM..." and "Calling jvm->DestroyJavaVM()"
    }));
    EXPECT_TRUE(launcher.IsRunning());
    EXPECT_TRUE(launcher.IsJavaRunning());
    EXPECT_NE(GetStatusText(), "Proxy thread terminated");
    EXPECT_EQ(launcher.Start(2, settings_), kErrAlreadyExists) << "one launcher thread at a time";
    EXPECT_EQ(launcher.Stop(false), 259);

    gate.Release();
    ASSERT_TRUE(launcher.Join(120000));
    EXPECT_EQ(GetStatusText(), "Proxy thread terminated");
    EXPECT_EQ(launcher.Stop(false), 0);
    EXPECT_EQ(launcher.Parameter(), 1u);
    EXPECT_TRUE(InOrder(TakeLauncherLog(), {"Calling jvm->DestroyJavaVM()\n", "JVM terminated\n"}));
}

TEST_F(LauncherTest, ClientIdBecomesTheThirdOption) {
    settings_.clientId = "desk7";
    settings_.mainClass = "corvane.testclient.QuickMain";
    auto log = RunLaunch();
    EXPECT_THAT(Jvm().Options(), ElementsAre(HasSubstr("corvane.client.jar"),
                                             "-DactiveAddress=127.0.0.5", "-DCorvanId=desk7"));
    EXPECT_TRUE(Contains(log, "CorvaneId: -DCorvanId=desk7\n"));
}

TEST_F(LauncherTest, EmptyClassPathGivesAnEmptyFirstOption) {
    settings_.classPath = "";
    settings_.mainClass = "corvane.testclient.QuickMain";
    auto log = RunLaunch();
    EXPECT_THAT(Jvm().Options(), ElementsAre("", "-DactiveAddress=127.0.0.5"));
    EXPECT_TRUE(Contains(log, "\nclasspath: \n\n"));
}

TEST_F(LauncherTest, OverLongOptionsAreLeftOutWithALogLine) {
    host_.SetAddress(std::string(90, '1'));
    settings_.clientId = std::string(89, 'i');  // "-DCorvanId=" + 89 = 100 bytes: no room
    settings_.mainClass = "corvane.testclient.QuickMain";
    auto log = RunLaunch();
    EXPECT_THAT(Jvm().Options(), ElementsAre(HasSubstr("corvane.client.jar"), "-DactiveAddress="));
    EXPECT_TRUE(
        Contains(log, "Active address too long, not passed: " + std::string(90, '1') + "\n"));
    EXPECT_TRUE(Contains(log, "CorvaneId too long, not passed: " + std::string(89, 'i') + "\n"));

    settings_.clientId = std::string(88, 'i');  // 99 bytes and the terminating zero: fits
    RunLaunch();
    EXPECT_EQ(Jvm().Options().back(), "-DCorvanId=" + std::string(88, 'i'));
}

TEST_F(LauncherTest, ClientWithoutThreadsOrSyncaddressEndsNormally) {
    settings_.mainClass = "corvane.testclient.QuickMain";
    auto log = RunLaunch();
    EXPECT_TRUE(InOrder(log, {"OK\n", "Could not find Java syncaddress method\n",
                              "Calling OnJavaStarted()\n", "JVM terminated\n"}));
    EXPECT_TRUE(host_.JavaLocal().empty());
    EXPECT_THAT(poster_.Statuses(),
                ElementsAre("Initializing...", "Initializing...OK", "Proxy thread terminated"));
    ExpectNoJniMisuse();  // the missing method's exception was cleared
}

TEST_F(LauncherTest, MissingMainClass) {
    settings_.mainClass = "corvane.testclient.Missing";
    auto log = RunLaunch();
    EXPECT_TRUE(Contains(log, "Could not find Java class: corvane.testclient.Missing\n"));
    EXPECT_THAT(Jvm().Calls(),
                HasSubstr("FindClass corvane/testclient/Missing\nExceptionDescribe\n"));
    ExpectVerifyAfterFailure("Could not init Proxy thread");
    ExpectNoJniMisuse();
}

TEST_F(LauncherTest, MissingMainMethod) {
    settings_.mainClass = "corvane.testclient.NoMain";
    auto log = RunLaunch();
    EXPECT_TRUE(Contains(log, "Could not find Java main method\n"));
    ExpectVerifyAfterFailure("Could not initiate Proxy thread");
    ExpectNoJniMisuse();
}

TEST_F(LauncherTest, ArgumentArrayCannotBeMade) {
    FakeJvmScript s{};
    s.failStringArray = 1;
    auto log = RunLaunch(s);
    EXPECT_TRUE(Contains(log, "Could not create Java args array\n"));
    ExpectVerifyAfterFailure("Could not initialize Proxy thread");
}

TEST_F(LauncherTest, ThrowingMain) {
    settings_.mainClass = "corvane.testclient.ThrowingMain";
    auto log = RunLaunch();
    EXPECT_TRUE(InOrder(log, {"Starting JVM...", "Could not start Java VM\n"}));
    EXPECT_THAT(Jvm().Calls(), HasSubstr("ThrowingMain.main args\nExceptionDescribe\n"));
    ExpectVerifyAfterFailure("Could not start Proxy thread");
    ExpectNoJniMisuse();
}

TEST_F(LauncherTest, MachineCannotBeCreated) {
    FakeJvmScript s{};
    s.createResult = -4;
    auto log = RunLaunch(s);
    EXPECT_TRUE(Contains(log, "Can't create Java VM: -4\n"));
    ExpectVerifyAfterFailure("Could not create Proxy thread");
}

TEST_F(LauncherTest, MachineLibraryMissing) {
    settings_.jvmLibrary = "no-such-jvm-library";
    auto log = RunLaunch();
    EXPECT_TRUE(Contains(log, "Internal error: Could not start Java VM\n"));
    ExpectVerifyAfterFailure("Could not start Proxy Thread");
}

TEST_F(LauncherTest, FailuresAfterMainAreLoggedAndTheClientStillRuns) {
    FakeJvmScript s{};
    s.syncaddressThrows = 1;
    host_.ThrowOnStarted();
    auto log = RunLaunch(s);
    EXPECT_TRUE(InOrder(
        log, {"Calling java method syncaddress()\n",
              "Internal error(ignored): Caught exception while calling java method syncaddress()\n",
              "Calling OnJavaStarted()\n",
              "Internal error(ignored): Caught exception while calling OnJavaStarted()\n",
              "Calling VerifyInstallation()\n", "JVM terminated\n"}));
    EXPECT_TRUE(host_.JavaLocal().empty());
    EXPECT_EQ(GetStatusText(), "Proxy thread terminated");
    ExpectNoJniMisuse();
}

TEST_F(LauncherTest, NullAddressFromTheClientIsStoredAsEmpty) {
    FakeJvmScript s{};
    s.syncaddressNull = 1;
    auto log = RunLaunch(s);
    EXPECT_TRUE(Contains(log, "Java localAddress: \n"));
    EXPECT_THAT(host_.JavaLocal(), ElementsAre(""));
}

TEST_F(LauncherTest, StartJavaNeedsJavaAndCredentials) {
    settings_.mainClass = "corvane.testclient.QuickMain";
    JavaLauncher launcher(&host_);
    EXPECT_FALSE(StartJava(launcher, false, true, 1, settings_));
    EXPECT_FALSE(StartJava(launcher, true, false, 1, settings_));
    EXPECT_FALSE(launcher.IsRunning());
    EXPECT_FALSE(TheLog().IsOpen());
    ASSERT_TRUE(StartJava(launcher, true, true, 3, settings_));
    ASSERT_TRUE(launcher.Join(120000));
    EXPECT_EQ(launcher.Parameter(), 3u);
    EXPECT_EQ(GetStatusText(), "Proxy thread terminated");
}

// --- pieces that need no machine ---

TEST(BuildClassPath, PrefixesEveryEntryWithTheProgramFolder) {
    JavaLogQueue().TakeAll();
    std::string option = BuildClassPath("C:\\Corvane", "lib\\a.jar;;lib\\b.jar;");
    EXPECT_EQ(option, ClassPathOption({"C:\\Corvane\\lib\\a.jar", "C:\\Corvane\\lib\\b.jar"}));
    EXPECT_THAT(TakeLauncherLog(), ElementsAre("\nclasspath: " + option + "\n\n"));
}

TEST(BuildClassPath, EmptyPreferenceGivesNoOption) {
    JavaLogQueue().TakeAll();
    EXPECT_EQ(BuildClassPath("C:\\Corvane", ""), "");
    EXPECT_THAT(TakeLauncherLog(), ElementsAre("\nclasspath: \n\n"));
}

TEST(BuildClassPath, AbsoluteEntriesArePassedUnchanged) {
    std::string option =
        BuildClassPath("C:\\Corvane", "D:\\java\\x.jar;\\\\server\\y.jar;lib\\z.jar");
    EXPECT_EQ(option,
              ClassPathOption({"D:\\java\\x.jar", "\\\\server\\y.jar", "C:\\Corvane\\lib\\z.jar"}));
}

TEST(BuildClassPath, EntriesThatDoNotFitTheBufferAreLeftOutWhole) {
    JavaLogQueue().TakeAll();
    const std::string home = "C:\\C";  // each entry: "C:\C\" + name
    // 18 bytes of prefix; the first entry fills the option to 1023 bytes exactly.
    std::string first = std::string(1023 - 18 - 5, 'a');
    std::string option = BuildClassPath(home, first + ";b.jar;" + std::string(2000, 'c'));
    EXPECT_EQ(option.size(), 1023u);
    EXPECT_EQ(option, ClassPathOption({home + "\\" + first}));
    auto log = TakeLauncherLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "BuildClassPath: class path too long, left out: " +
                          ClassPathOption({home + "\\b.jar"}).substr(18) + "\n");
    EXPECT_THAT(log[1], HasSubstr("left out: "));
    EXPECT_EQ(log[2], "\nclasspath: " + option + "\n\n");

    // One byte more and the entry no longer fits; a later short one still does.
    option = BuildClassPath(home, first + "a;b.jar");
    EXPECT_EQ(option, ClassPathOption({home + "\\b.jar"}));
}

TEST(UpdatePath, PutsTheFolderFirst) {
    std::string old = GetEnv("PATH");
    ASSERT_TRUE(UpdatePath("C:\\jre\\bin\\client"));
    EXPECT_EQ(GetEnv("PATH"), std::string("C:\\jre\\bin\\client") + PathListSeparator() + old);
    ASSERT_EQ(SetEnv("PATH", old), kOk);
}

}  // namespace
}  // namespace corv
