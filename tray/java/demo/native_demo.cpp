// corvdemo: the Java launcher with the build machine's OpenJDK and the reference client, shown
// natively. It stands where the tray's main frame stands: it takes the messages the launcher
// and the client's native calls post, prints what the frame would show, and after a while asks
// the client to stop and waits for the machine to end.
#include <jni.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

#include "bridge/jni_listener.h"
#include "platform/dynlib.h"
#include "platform/system.h"
#include "platform/thread.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"
#include "tray/java/gui_listener.h"
#include "tray/java/java_launcher.h"

// The machine handles SIGSEGV itself; the sanitizers must leave that signal alone.
extern "C" const char* __asan_default_options() {
    return "handle_segv=0:detect_leaks=0";
}

namespace corv {
namespace {

using Clock = std::chrono::steady_clock;

// A queued poster that also keeps the status text of the moment each status message was
// posted: the client reports several states in quick succession, and the demo shows each one
// (the frame itself reads the latest text when the message arrives).
class DemoPoster : public QueuedPoster {
  public:
    bool Post(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (message == kMsgSetMessageString) statuses_.push_back(GetStatusText());
        return QueuedPoster::Post(message, wParam, lParam);
    }
    std::string TakeStatus() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (statuses_.empty()) return GetStatusText();
        std::string s = statuses_.front();
        statuses_.pop_front();
        return s;
    }

  private:
    std::mutex mutex_;
    std::deque<std::string> statuses_;
};

class DemoHost : public JavaLaunchHost {
  public:
    // Loopback only: the demo never hands the client an outside address.
    std::string GetActiveAddress(unsigned) override { return "127.0.0.1"; }
    void SetJavaLocalAddress(const std::string& address) override {
        std::lock_guard<std::mutex> lock(mutex_);
        javaLocal_ = address;
    }
    void OnJavaStarted(int value) override { started_ = value; }
    std::string JavaLocal() {
        std::lock_guard<std::mutex> lock(mutex_);
        return javaLocal_;
    }
    int Started() const { return started_.load(); }

  private:
    std::mutex mutex_;
    std::string javaLocal_;
    std::atomic<int> started_{0};
};

Clock::time_point g_start;

void Print(const std::string& what) {
    double s = std::chrono::duration<double>(Clock::now() - g_start).count();
    std::printf("[%5.2fs] %s\n", s, what.c_str());
    std::fflush(stdout);
}

// Prints the queued Java log lines as the log file would hold them.
void PrintJavaLog() {
    std::string all = JavaLogQueue().TakeAll();
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty()) Print("java log: " + line);
    }
}

void Handle(DemoPoster& poster, const QueuedPoster::Message& m) {
    CGuiListener& l = TheGuiListener();
    switch (m.message) {
        case kMsgSetMessageString:
            Print("status: " + poster.TakeStatus());
            break;
        case kMsgBalloon: {
            CGuiListener::Balloon b = l.GetBalloon();
            static const char* const kinds[] = {"", "info", "warning", "error"};
            const char* kind = b.kind >= 1 && b.kind <= 3 ? kinds[b.kind] : "?";
            Print(std::string("balloon (") + kind + "): " + b.title + " | " + b.message);
            break;
        }
        case kMsgSipPortUpdated:
            Print("SIP port: " + std::to_string(l.GetSipPort()));
            break;
        case kMsgSocksPortUpdated:
            Print("SOCKS port: " + std::to_string(l.GetSocksPort()));
            break;
        case kMsgSyncMessenger:
            Print(std::string("messenger proxy: ") + (l.GetMessengerProxy() ? "on" : "off"));
            break;
        case kMsgJavaLog:
            PrintJavaLog();
            break;
        case kMsgVerifyInstallation:
            Print("(the tray would now verify the installation)");
            break;
        default:
            Print("message " + std::to_string(m.message));
            break;
    }
}

// The reference client has a static stop(); call it from a thread attached to the machine.
bool StopClient(const std::string& jvmLibrary) {
    DynamicLibrary jvm;
    if (jvm.Load(jvmLibrary) != 0) return false;
    using GetCreatedFn = jint(JNICALL*)(JavaVM**, jsize, jsize*);
    auto getCreated = reinterpret_cast<GetCreatedFn>(jvm.Symbol("JNI_GetCreatedJavaVMs"));
    JavaVM* vm = nullptr;
    jsize count = 0;
    if (!getCreated || getCreated(&vm, 1, &count) != JNI_OK || count != 1) return false;
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return false;
    jclass client = env->FindClass("corvane/proxyclient/ProxyClient");
    jmethodID stop = client ? env->GetStaticMethodID(client, "stop", "()V") : nullptr;
    if (stop) env->CallStaticVoidMethod(client, stop);
    bool failed = env->ExceptionCheck();
    if (failed) env->ExceptionDescribe();
    vm->DetachCurrentThread();  // an attached thread would keep the machine alive
    return stop && !failed;
}

void PumpFor(DemoPoster& poster, double seconds, JavaLauncher* untilEnded = nullptr) {
    Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(seconds));
    for (;;) {
        poster.Pump([&](const QueuedPoster::Message& m) { Handle(poster, m); });
        if (untilEnded && untilEnded->ExitCode() != kStillActive) break;
        if (Clock::now() >= end) break;
        SleepMs(50);
    }
    poster.Pump([&](const QueuedPoster::Message& m) { Handle(poster, m); });
}

int Usage(const char* self) {
    std::fprintf(stderr, "usage: %s [--seconds N] [--home FOLDER] [--jvm LIBJVM]\n", self);
    return 2;
}

int Main(int argc, char** argv) {
    double seconds = 8;
    JavaLaunchSettings settings;
    settings.home = CORV_PROGRAM_DIR;
    settings.classPath = "lib\\corvane.client.jar";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return Usage(argv[0]);
        if (a == "--seconds") {
            char* end = nullptr;
            seconds = std::strtod(argv[++i], &end);
            if (!end || *end || !(seconds > 0 && seconds <= 3600)) return Usage(argv[0]);
        } else if (a == "--home") {
            settings.home = argv[++i];
        } else if (a == "--jvm") {
            settings.jvmLibrary = argv[++i];
        } else {
            return Usage(argv[0]);
        }
    }

    // The client's System.loadLibrary("jnibridge") searches java.library.path, which the
    // machine builds from LD_LIBRARY_PATH when it is created: put Home (with the bridge) first.
    std::string libPath = settings.home;
    std::string old = GetEnv("LD_LIBRARY_PATH");
    if (!old.empty()) libPath += ":" + old;
    setenv("LD_LIBRARY_PATH", libPath.c_str(), 1);

    g_start = Clock::now();
    std::printf("Home:        %s\nclass path:  %s\nJava VM:     %s\n", settings.home.c_str(),
                settings.classPath.c_str(), settings.jvmLibrary.c_str());
    std::printf("main class:  %s\naddress:     127.0.0.1 (loopback only)\n\n",
                settings.mainClass.c_str());
    std::fflush(stdout);

    static DemoPoster poster;
    SetMainPoster(&poster);
    setListener(&TheGuiListener());
    static DemoHost host;
    static JavaLauncher launcher(&host);
    if (launcher.Start(1, settings) != 0) {
        std::fprintf(stderr, "corvdemo: the launcher thread did not start\n");
        return 1;
    }

    PumpFor(poster, seconds, &launcher);
    bool ran = launcher.ExitCode() == kStillActive;
    if (ran) {
        Print("-- asking the client to stop (ProxyClient.stop())");
        if (!StopClient(settings.jvmLibrary)) Print("-- the client could not be asked to stop");
        PumpFor(poster, 60, &launcher);
    }
    bool ended = launcher.ExitCode() != kStillActive;
    PrintJavaLog();  // lines queued after the last message
    std::printf("\nJava local address: %s; OnJavaStarted: %d; launcher thread %s\n",
                host.JavaLocal().c_str(), host.Started(), ended ? "ended" : "still running");
    std::fflush(stdout);
    setListener(nullptr);
    SetMainPoster(nullptr);
    if (!ended) _exit(1);  // the machine would keep the process alive
    return ran && host.Started() == 1 ? 0 : 1;
}

}  // namespace
}  // namespace corv

int main(int argc, char** argv) {
    return corv::Main(argc, argv);
}
