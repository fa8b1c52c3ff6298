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

struct ProcessEntry {
    unsigned pid;
    std::string imageName;  // the file-name part of the image path; "unknown" if unreadable
};
enum class ProcessListMethod { ToolHelp, Psapi };
// Lists running processes; false when the list cannot be taken.
bool ListProcesses(ProcessListMethod method, const std::function<void(const ProcessEntry&)>& visit);

}  // namespace corv
