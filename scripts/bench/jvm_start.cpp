// One sample of the in-process start against the JDK's own launcher (see jvm-start):
// host resident memory before the machine is loaded, wall time from starting the `java`
// command to the client's first native call, and from starting the launcher thread to the same
// call in-process. Prints one "sample ..." line and leaves without shutting the machine down.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>

#include "bridge/jni_listener.h"
#include "tray/java/java_launcher.h"

namespace {

using Clock = std::chrono::steady_clock;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
    return -1;
}

// Notes the client's first report: main is running.
class FirstCall : public CJniListener {
  public:
    void setStatusBar(const char*) override { Mark(); }
    void dialogBox(const char*) override {}
    void bitrate(int) override {}
    void balloonInfo(const char*, const char*) override {}
    void balloonWarning(const char*, const char*) override {}
    void balloonError(const char*, const char*) override {}
    void enableMessengerProxy() override {}
    void disableMessengerProxy() override {}
    void setSipPort(int) override {}
    void setSocksPort(int) override {}

    // False when main did not report within the minute (the client could not start).
    bool Wait(Clock::time_point* at) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!done_.wait_for(lock, std::chrono::seconds(60), [&] { return marked_; })) return false;
        *at = at_;
        return true;
    }

  private:
    void Mark() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (marked_) return;
        at_ = Clock::now();
        marked_ = true;
        done_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable done_;
    bool marked_ = false;
    Clock::time_point at_;
};

class Host : public corv::JavaLaunchHost {
  public:
    std::string GetActiveAddress(unsigned) override { return "127.0.0.1"; }
    void SetJavaLocalAddress(const std::string&) override {}
    void OnJavaStarted(int) override {}
};

// The JDK's launcher with the same client; time until its first native call prints its trace.
double JavaCommandMs(const std::string& java, const std::string& programDir) {
    int out[2];
    if (pipe(out) != 0) return -1;
    Clock::time_point start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::string libPath = "-Djava.library.path=" + programDir;
        std::string jar = programDir + "/lib/corvane.client.jar";
        execl(java.c_str(), java.c_str(), libPath.c_str(), "-cp", jar.c_str(),
              "corvane.proxyclient.ProxyClient", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string seen;
    char buf[256];
    double ms = -1;
    for (;;) {
        ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        seen.append(buf, static_cast<size_t>(n));
        if (seen.find("GuiWrapper_setStatusBarW") != std::string::npos) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(out[0]);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <program folder> <java command>\n", argv[0]);
        return 2;
    }
    const std::string programDir = argv[1];
    long rssKb = ResidentKb();

    double javaMs = JavaCommandMs(argv[2], programDir);

    static FirstCall listener;
    setListener(&listener);
    static Host host;
    static corv::JavaLauncher launcher(&host);
    corv::JavaLaunchSettings settings;
    settings.home = programDir;
    settings.classPath = "lib\\corvane.client.jar";
    Clock::time_point start = Clock::now();
    if (launcher.Start(0, settings) != 0) return 1;
    Clock::time_point ran;
    if (!listener.Wait(&ran)) {
        std::fprintf(stderr, "the client's main did not run in-process\n");
        _exit(1);
    }
    double inProcessMs = std::chrono::duration<double, std::milli>(ran - start).count();

    std::fprintf(stderr, "sample inprocess_ms=%.1f java_ms=%.1f host_rss_kb=%ld\n", inProcessMs,
                 javaMs, rssKb);
    std::fflush(stderr);
    _exit(javaMs > 0 ? 0 : 1);  // the client keeps running; no orderly shutdown needed
}
