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

// A child process held from its start: waiting for it and ending it reach this process only,
// never one that got its id after it ended.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();  // lets go of the process; one still running runs on
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // As StartProcess; false on failure (*error gets the Win32 error number when given).
    bool Start(const std::string& program, const std::string& arguments,
               const StartOptions& options = {}, long* error = nullptr);
    unsigned Id() const { return id_; }
    ProcessWait Wait(unsigned timeoutMs, unsigned* exitCode = nullptr);
    // Ends the process and waits a moment for it to be gone; false when it had ended already
    // or could not be ended.
    bool Terminate(unsigned exitCode);
    // Lets go of the process without waiting (its id is all that is left).
    void Release();

  private:
    unsigned id_ = 0;
    void* handle_ = nullptr;  // Windows: the process handle
    bool ended_ = false;      // POSIX: the child was collected, its id is no longer ours
    unsigned exitCode_ = 0;   // POSIX: its exit code then
};

struct ProcessEntry {
    unsigned pid;
    std::string imageName;  // the file-name part of the image path; "unknown" if unreadable
};
enum class ProcessListMethod { ToolHelp, Psapi };
// Lists running processes; false when the list cannot be taken.
bool ListProcesses(ProcessListMethod method, const std::function<void(const ProcessEntry&)>& visit);

}  // namespace corv
