// The launcher with the build machine's OpenJDK, running the reference client and the test
// classes in-process. One virtual machine per process: ctest runs each case on its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <jni.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "bridge/jni_listener.h"
#include "platform/dynlib.h"
#include "platform/errors.h"
#include "tray/java/gui_listener.h"
#include "tray/java/java_launcher.h"
#include "tray/java/testing/launch_harness.h"

namespace corv {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using namespace testing_support;

class RealJvm : public ::testing::Test {
  protected:
    void SetUp() override {
        JavaLogQueue().TakeAll();
        SetStatusText("");
        SetMainPoster(&poster_);
        setListener(&listener_);
        settings_.home = CORV_PROGRAM_DIR;
        settings_.classPath = std::string("lib\\corvane.client.jar;") + CORV_TESTCLIENT_JAR;
    }
    void TearDown() override {
        setListener(nullptr);
        SetMainPoster(nullptr);
    }

    std::vector<std::string> RunToEnd() {
        JavaLauncher launcher(&host_);
        EXPECT_EQ(launcher.Start(1, settings_), kOk);
        EXPECT_TRUE(launcher.Join(300000)) << "launcher thread did not end";
        return TakeLauncherLog();
    }

    void ExpectFailure(const std::string& status) {
        auto all = poster_.All();
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().message, kMsgVerifyInstallation);
        EXPECT_EQ(GetStatusText(), status);
        EXPECT_TRUE(host_.Started().empty());
    }

    TestHost host_;
    RecordingPoster poster_;
    ForwardingListener listener_;
    JavaLaunchSettings settings_;
};

// The host's listener, forwarding to the program's own; every call stays inside a moment, so
// that the host's exit meets a call there.
class LingeringListener final : public CJniListener {
  public:
    void setStatusBar(const char* t) override {
        Linger([&] { TheGuiListener().setStatusBar(t); });
    }
    void dialogBox(const char*) override {}
    void bitrate(int) override {}
    void balloonInfo(const char* t, const char* m) override {
        Linger([&] { TheGuiListener().balloonInfo(t, m); });
    }
    void balloonWarning(const char* t, const char* m) override {
        Linger([&] { TheGuiListener().balloonWarning(t, m); });
    }
    void balloonError(const char* t, const char* m) override {
        Linger([&] { TheGuiListener().balloonError(t, m); });
    }
    void enableMessengerProxy() override {
        Linger([&] { TheGuiListener().enableMessengerProxy(); });
    }
    void disableMessengerProxy() override {
        Linger([&] { TheGuiListener().disableMessengerProxy(); });
    }
    void setSipPort(int p) override {
        Linger([&] { TheGuiListener().setSipPort(p); });
    }
    void setSocksPort(int p) override {
        Linger([&] { TheGuiListener().setSocksPort(p); });
    }

    bool WaitInside() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(120), [&] { return inside_ > 0; });
    }
    int Inside() const { return inside_.load(); }

  private:
    template <typename F>
    void Linger(F&& forward) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++inside_;
            changed_.notify_all();
        }
        forward();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        --inside_;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<int> inside_{0};
};

// Calls ProxyClient.stop() from a native thread attached to the running machine.
void StopReferenceClient() {
    DynamicLibrary jvm;
    ASSERT_EQ(jvm.Load(kDefaultJvmLibrary), kOk);
    using GetCreatedFn = jint(JNICALL*)(JavaVM**, jsize, jsize*);
    auto getCreated = reinterpret_cast<GetCreatedFn>(jvm.Symbol("JNI_GetCreatedJavaVMs"));
    ASSERT_NE(getCreated, nullptr);
    JavaVM* vm = nullptr;
    jsize count = 0;
    ASSERT_EQ(getCreated(&vm, 1, &count), JNI_OK);
    ASSERT_EQ(count, 1);
    JNIEnv* env = nullptr;
    ASSERT_EQ(vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr), JNI_OK);
    jclass client = env->FindClass("corvane/proxyclient/ProxyClient");
    jmethodID stop = client ? env->GetStaticMethodID(client, "stop", "()V") : nullptr;
    if (stop) env->CallStaticVoidMethod(client, stop);
    bool failed = env->ExceptionCheck();
    if (failed) env->ExceptionDescribe();
    vm->DetachCurrentThread();  // an attached thread would keep the machine alive
    ASSERT_TRUE(stop && !failed);
}

TEST_F(RealJvm, ReferenceClient) {
    JavaLauncher launcher(&host_);
    ASSERT_EQ(launcher.Start(1, settings_), kOk);
    ASSERT_TRUE(listener_.WaitForCall("balloonInfo")) << "the client did not report";
    EXPECT_TRUE(launcher.IsJavaRunning());
    StopReferenceClient();
    ASSERT_TRUE(launcher.Join(300000));

    EXPECT_THAT(
        listener_.Calls(),
        ElementsAre("setStatusBar(Initializing...)", "setSipPort(5060)", "setSocksPort(1080)",
                    "setStatusBar(Connecting to server...)", "setStatusBar(Connected to server)",
                    "enableMessengerProxy", "balloonInfo(Corvane|Connected to server)",
                    "disableMessengerProxy", "setStatusBar(Not running)"));
    EXPECT_THAT(poster_.Statuses(),
                ElementsAre("Initializing...", "Initializing...OK", "Connecting to server...",
                            "Connected to server", "Not running", "Proxy thread terminated"));
    EXPECT_THAT(host_.JavaLocal(), ElementsAre("127.0.0.5"));
    EXPECT_THAT(host_.Started(), ElementsAre(1));
    EXPECT_EQ(poster_.Count(kMsgVerifyInstallation), 1);
    EXPECT_TRUE(InOrder(TakeLauncherLog(),
                        {"Active Address: 127.0.0.5\n\n", "Starting JVM...", "OK\n",
                         "Calling java method syncaddress()\n", "Java localAddress: 127.0.0.5\n",
                         "Calling OnJavaStarted()\n", "Calling VerifyInstallation()\n",
                         "Calling jvm->DestroyJavaVM()\n", "JVM terminated\n"}));
}

TEST_F(RealJvm, AllNativesInOrderAndDestroyWaitsForTheClientThread) {
    settings_.mainClass = "corvane.testclient.AllNatives";
    settings_.clientId = "desk7";  // an option the machine accepts and the client ignores
    Gate gate;
    listener_.HoldAtSocksPort(&gate);
    JavaLauncher launcher(&host_);
    ASSERT_EQ(launcher.Start(1, settings_), kOk);
    ASSERT_TRUE(gate.WaitArrived());
    ASSERT_TRUE(poster_.WaitUntil([](const std::vector<Posted>& all) {
        int logs = 0;
        for (const auto& p : all) logs += p.message == kMsgJavaLog;
        return logs >= 2;  // the second is posted just before DestroyJavaVM
    }));
    EXPECT_TRUE(launcher.IsJavaRunning());
    EXPECT_NE(GetStatusText(), "Proxy thread terminated");

    gate.Release();
    ASSERT_TRUE(launcher.Join(300000));
    std::vector<std::string> expected{"setStatusBar(Initializing...)"};
    for (const auto& c : AllNativesCalls()) expected.push_back(c);
    EXPECT_THAT(listener_.Calls(), ElementsAreArray(expected));
    EXPECT_THAT(poster_.Statuses(), ElementsAre("Initializing...", "Initializing...OK",
                                                "Verbunden mit Server \xc3\xbc\xe2\x82\xac",
                                                "Proxy thread terminated"));
    EXPECT_THAT(host_.JavaLocal(), ElementsAre("127.0.0.9"));
    CGuiListener::Balloon b = TheGuiListener().GetBalloon();
    EXPECT_EQ(b.kind, 3);
    EXPECT_EQ(b.title, std::string(255, 't'));
    EXPECT_EQ(TheGuiListener().GetSocksPort(), 1081);
    EXPECT_TRUE(InOrder(TakeLauncherLog(), {"CorvaneId: -DCorvanId=desk7\n",
                                            "Calling jvm->DestroyJavaVM()\n", "JVM terminated\n"}));
}

// The host ends while a client thread keeps calling: it takes its listener back before the
// objects the listener reaches go, and the calls after that are ignored until the process ends
// (the launcher thread stays inside DestroyJavaVM).
TEST_F(RealJvm, HostExitsWhileTheClientKeepsReporting) {
    settings_.mainClass = "corvane.testclient.EndlessReporter";
    auto* lingering = new LingeringListener;
    setListener(lingering);
    auto* launcher = new JavaLauncher(&host_);
    ASSERT_EQ(launcher->Start(1, settings_), kOk);
    // The launcher's last post comes just before DestroyJavaVM, where its thread stays.
    ASSERT_TRUE(poster_.WaitUntil([](const std::vector<Posted>& all) {
        int logs = 0;
        for (const auto& p : all) logs += p.message == kMsgJavaLog;
        return logs >= 2;
    }));
    ASSERT_TRUE(lingering->WaitInside()) << "the client did not report";

    setListener(nullptr);
    EXPECT_EQ(0, lingering->Inside()) << "a call is still inside the listener taken back";
    delete lingering;
    EXPECT_TRUE(launcher->IsJavaRunning());
    delete launcher;
    SetMainPoster(nullptr);
}

TEST_F(RealJvm, ClientWithoutSyncaddress) {
    settings_.mainClass = "corvane.testclient.QuickMain";
    auto log = RunToEnd();
    EXPECT_TRUE(InOrder(log, {"OK\n", "Could not find Java syncaddress method\n",
                              "Calling OnJavaStarted()\n", "JVM terminated\n"}));
    EXPECT_THAT(poster_.Statuses(),
                ElementsAre("Initializing...", "Initializing...OK", "Proxy thread terminated"));
}

TEST_F(RealJvm, MissingMainClass) {
    settings_.mainClass = "corvane.testclient.Missing";
    auto log = RunToEnd();
    EXPECT_TRUE(Contains(log, "Could not find Java class: corvane.testclient.Missing\n"));
    ExpectFailure("Could not init Proxy thread");
}

TEST_F(RealJvm, MissingMainMethod) {
    settings_.mainClass = "corvane.testclient.NoMain";
    auto log = RunToEnd();
    EXPECT_TRUE(Contains(log, "Could not find Java main method\n"));
    ExpectFailure("Could not initiate Proxy thread");
}

TEST_F(RealJvm, ThrowingMain) {
    settings_.mainClass = "corvane.testclient.ThrowingMain";
    auto log = RunToEnd();
    EXPECT_TRUE(InOrder(log, {"Starting JVM...", "Could not start Java VM\n"}));
    ExpectFailure("Could not start Proxy thread");
}

}  // namespace
}  // namespace corv
