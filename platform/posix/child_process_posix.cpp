#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "errno_map.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"

extern char** environ;

namespace corv {

namespace {

unsigned ExitCodeOf(int status) {
    return WIFEXITED(status) ? static_cast<unsigned>(WEXITSTATUS(status)) : 1u;
}

}  // namespace

ChildProcess::~ChildProcess() {
    // Collects a child that has ended; one still running is left to run on.
    if (id_ && !ended_) {
        int status = 0;
        waitpid(static_cast<pid_t>(id_), &status, WNOHANG);
    }
}

bool ChildProcess::Start(const std::string& program, const std::string& arguments,
                         const StartOptions& options, long* error) {
    // The shell would find a missing program only once it runs; refuse it now, as
    // the system does on Windows. A bare name is left to the shell's search.
    std::string path = NativePath(program);
    if (path.find('/') != std::string::npos) {
        std::string full = path[0] == '/' || options.folder.empty()
                               ? path
                               : NativePath(options.folder) + "/" + path;
        if (access(full.c_str(), F_OK) != 0) {
            if (error) *error = Win32ErrorFromErrno(errno);
            return false;
        }
    }
    // exec, so that the pid is the program's own.
    std::string command = "exec '" + path + "' " + arguments;
    if (!options.folder.empty()) command = "cd '" + NativePath(options.folder) + "' && " + command;
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        if (error) *error = kErrFileNotFound;
        return false;
    }
    id_ = static_cast<unsigned>(pid);
    ended_ = false;
    return true;
}

// The child's id stays ours until it is collected here, so nothing else can have it meanwhile.
ProcessWait ChildProcess::Wait(unsigned timeoutMs, unsigned* exitCode) {
    if (!id_) return ProcessWait::Failed;
    uint64_t end = TickCountMs() + timeoutMs;
    while (!ended_) {
        int status = 0;
        pid_t r = waitpid(static_cast<pid_t>(id_), &status, WNOHANG);
        if (r == static_cast<pid_t>(id_)) {
            ended_ = true;
            exitCode_ = ExitCodeOf(status);
            break;
        }
        if (r < 0 && errno != EINTR) return ProcessWait::Failed;
        if (timeoutMs != kWaitForever && TickCountMs() >= end) return ProcessWait::Timeout;
        SleepMs(10);
    }
    if (exitCode) *exitCode = exitCode_;
    return ProcessWait::Ended;
}

bool ChildProcess::Terminate(unsigned) {
    if (!id_ || Wait(0) != ProcessWait::Timeout) return false;  // ended already, or not ours
    if (kill(static_cast<pid_t>(id_), SIGKILL) != 0) return false;
    int status = 0;
    while (waitpid(static_cast<pid_t>(id_), &status, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
    exitCode_ = ExitCodeOf(status);
    return true;
}

void ChildProcess::Release() {
    id_ = 0;
}

}  // namespace corv
