// Child processes and the list of running processes.
#pragma once

#include <functional>
#include <string>

namespace corv {

struct StartOptions {
    std::string folder;   // working folder; empty = the current one
    bool hidden = false;  // start with a hidden window
};

// Starts `program` (quoted on the command line) with `arguments`. Returns the process id, 0 on
// failure (*error gets the Win32 error number when given).
unsigned StartProcess(const std::string& program, const std::string& arguments,
                      const StartOptions& options = {}, long* error = nullptr);

enum class ProcessWait { Ended, Timeout, Failed };
constexpr unsigned kWaitForever = 0xFFFFFFFFu;
// Waits for the process to end. exitCode is set when it ended.
ProcessWait WaitForProcess(unsigned pid, unsigned timeoutMs, unsigned* exitCode = nullptr);
bool TerminateProcessById(unsigned pid, unsigned exitCode = 1);

// A process this program started, held from its start: waiting for it works even when it
// ended at once, and never reaches another process that reuses its id.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts as StartProcess does. Returns a Win32 error number, 0 on success.
    long Start(const std::string& program, const std::string& arguments,
               const StartOptions& options = {});
    bool IsStarted() const { return pid_ != 0; }
    unsigned Pid() const { return pid_; }
    // Waits for the end; exitCode is set when it ended. Failed when nothing was started.
    ProcessWait Wait(unsigned timeoutMs, unsigned* exitCode = nullptr);
    bool Terminate(unsigned exitCode = 1);

  private:
    void Release();
    unsigned pid_ = 0;
    void* handle_ = nullptr;  // Windows: the process handle
    bool ended_ = false;      // POSIX: reaped, with its exit code kept
    unsigned exitCode_ = 0;
};

struct ProcessEntry {
    unsigned pid;
    std::string imageName;  // the file-name part of the image path; "unknown" if unreadable
};
enum class ProcessListMethod { ToolHelp, Psapi };
// Lists running processes; false when the list cannot be taken.
bool ListProcesses(ProcessListMethod method, const std::function<void(const ProcessEntry&)>& visit);

}  // namespace corv
