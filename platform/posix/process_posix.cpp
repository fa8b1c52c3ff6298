#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "errno_map.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"

namespace corv {

unsigned StartProcess(const std::string& program, const std::string& arguments,
                      const StartOptions& options, long* error) {
    ChildProcess child;
    if (!child.Start(program, arguments, options, error)) return 0;
    unsigned pid = child.Id();
    child.Release();
    return pid;
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
