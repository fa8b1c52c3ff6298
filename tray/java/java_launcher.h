// Runs the Java proxy client inside this process: the virtual machine is created on the
// launcher's own thread, which calls the client's main and then stays inside DestroyJavaVM
// until the Java program ends.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/thread.h"

namespace corv {

class DynamicLibrary;

// The virtual machine library: found through PATH on Windows (UpdatePath puts the runtime's
// client folder first); natively the build machine's OpenJDK.
extern const char* const kDefaultJvmLibrary;

// Option texts are built in fixed buffers of these sizes (with the terminating zero).
constexpr size_t kClassPathOptionSize = 1024;
constexpr size_t kOptionSize = 100;

// What the launcher needs from its owner; called on the launcher thread.
class JavaLaunchHost {
  public:
    virtual ~JavaLaunchHost() = default;
    // The local address for the Java client, waiting at most waitMs for the network.
    virtual std::string GetActiveAddress(unsigned waitMs) = 0;
    // The address the Java client reports as its own (its syncaddress()).
    virtual void SetJavaLocalAddress(const std::string& address) = 0;
    // The Java client's main has returned; value 1.
    virtual void OnJavaStarted(int value) = 0;
};

// Preferences and start values, taken on the main thread when the launcher starts.
struct JavaLaunchSettings {
    std::string home;                                           // preference Home
    std::string classPath;                                      // preference classpath
    std::string mainClass = "corvane.proxyclient.ProxyClient";  // preference MainClass
    std::string clientId;                                       // "/id:<value>"; empty when none
    std::string jvmLibrary = kDefaultJvmLibrary;
};

// Puts the virtual machine's folder in front of PATH, before the library is first loaded.
bool UpdatePath(const std::string& jvmFolder);

// "-Djava.class.path=" + Home + "\" + each class path entry, joined by ";" (natively the
// program's paths in the system's form). Empty when the class path is empty. Entries that
// would not fit the option's buffer are left out, each with a log line; the option is never
// cut inside an entry. Queues the class path line to the Java log queue.
// An entry that starts with a separator or a drive ("C:") names its own place.
bool IsAbsoluteClassPathEntry(const std::string& entry);
std::string BuildClassPath(const std::string& home, const std::string& classPath);

class JavaLauncher : public WorkerThread {
  public:
    explicit JavaLauncher(JavaLaunchHost* host);  // host not owned
    ~JavaLauncher() override;                     // Stop(true)

    // Starts the launcher thread. Returns 0, or an error number when no thread was started.
    long Start(unsigned parameter, const JavaLaunchSettings& settings);
    // The exit code (259 while the thread runs); with force, a running thread is ended and
    // the result is -1.
    int Stop(bool force);

    bool IsJavaRunning() const { return running_.load() != 0; }  // inside the thread body
    unsigned Parameter() const { return parameter_; }
    unsigned ThreadId() const { return threadId_.load(); }

  protected:
    unsigned Run() override;

  private:
    bool Launch();

    JavaLaunchHost* host_;
    JavaLaunchSettings settings_;
    unsigned parameter_ = 0;
    std::atomic<unsigned> threadId_{0};
    std::atomic<int> running_{0};
    std::unique_ptr<DynamicLibrary> jvmLibrary_;
};

// The controller's StartJava: closes the log (lines collect in memory meanwhile) and starts
// the launcher only when a Java runtime was found and the credentials are set.
bool StartJava(JavaLauncher& launcher, bool javaOk, bool credentialsOk, unsigned parameter,
               const JavaLaunchSettings& settings);

}  // namespace corv
