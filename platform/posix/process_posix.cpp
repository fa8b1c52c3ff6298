#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"

extern char** environ;

namespace corv {

unsigned StartProcess(const std::string& program, const std::string& arguments,
                      const StartOptions& options, long* error) {
    // exec, so that the pid returned is the program's own.
    std::string command = "exec '" + NativePath(program) + "' " + arguments;
    if (!options.folder.empty()) command = "cd '" + NativePath(options.folder) + "' && " + command;
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    int rc = posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ);
    if (rc != 0) {
        if (error) *error = kErrFileNotFound;
        return 0;
    }
    return static_cast<unsigned>(pid);
}

ChildProcess::~ChildProcess() {
    Release();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
    *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Release();
        pid_ = other.pid_;
        ended_ = other.ended_;
        exitCode_ = other.exitCode_;
        other.pid_ = 0;
    }
    return *this;
}

void ChildProcess::Release() {
    // A child still running is left to run; it is reaped by whoever waits for it next.
    pid_ = 0;
    ended_ = false;
}

long ChildProcess::Start(const std::string& program, const std::string& arguments,
                         const StartOptions& options) {
    Release();
    long error = 0;
    pid_ = StartProcess(program, arguments, options, &error);
    return pid_ ? 0 : error;
}

ProcessWait ChildProcess::Wait(unsigned timeoutMs, unsigned* exitCode) {
    if (!pid_) return ProcessWait::Failed;
    if (!ended_) {
        uint64_t end = TickCountMs() + timeoutMs;
        for (;;) {
            int status = 0;
            pid_t r = waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
            if (r == static_cast<pid_t>(pid_)) {
                ended_ = true;
                exitCode_ = WIFEXITED(status) ? static_cast<unsigned>(WEXITSTATUS(status)) : 1;
                break;
            }
            if (r < 0 && errno != EINTR) return ProcessWait::Failed;
            if (timeoutMs != kWaitForever && TickCountMs() >= end) return ProcessWait::Timeout;
            SleepMs(5);
        }
    }
    if (exitCode) *exitCode = exitCode_;
    return ProcessWait::Ended;
}

bool ChildProcess::Terminate(unsigned) {
    return pid_ && !ended_ && kill(static_cast<pid_t>(pid_), SIGKILL) == 0;
}

ProcessWait WaitForProcess(unsigned pid, unsigned timeoutMs, unsigned* exitCode) {
    uint64_t end = TickCountMs() + timeoutMs;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(static_cast<pid_t>(pid), &status, WNOHANG);
        if (r == static_cast<pid_t>(pid)) {
            if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
            return ProcessWait::Ended;
        }
        if (r < 0 && errno == ECHILD) {  // not our child: watch it from outside
            if (kill(static_cast<pid_t>(pid), 0) != 0) return ProcessWait::Ended;
        } else if (r < 0) {
            return ProcessWait::Failed;
        }
        if (timeoutMs != kWaitForever && TickCountMs() >= end) return ProcessWait::Timeout;
        SleepMs(10);
    }
}

bool TerminateProcessById(unsigned pid, unsigned) {
    return kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

bool ListProcesses(ProcessListMethod, const std::function<void(const ProcessEntry&)>& visit) {
    DIR* dir = opendir("/proc");
    if (!dir) return false;
    while (dirent* e = readdir(dir)) {
        char* end = nullptr;
        unsigned long pid = std::strtoul(e->d_name, &end, 10);
        if (!end || *end || pid == 0) continue;
        char buf[4096];
        std::string link = "/proc/" + std::string(e->d_name) + "/exe";
        ssize_t n = readlink(link.c_str(), buf, sizeof(buf) - 1);
        ProcessEntry entry{static_cast<unsigned>(pid), "unknown"};
        if (n > 0) {
            std::string path(buf, static_cast<size_t>(n));
            entry.imageName = path.substr(path.rfind('/') + 1);
        }
        visit(entry);
    }
    closedir(dir);
    return true;
}

}  // namespace corv
