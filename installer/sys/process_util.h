// Starting, finding and stopping processes for the installer. Every step is logged.
#pragma once

#include <string>

#include "platform/process.h"

namespace corv::inst {

constexpr unsigned kWmQuitMsg = 0x82EE;  // WM_APP + 750: the tray client ends itself on it
constexpr unsigned kKillStageMs = 500;

// Starts "\"program\" parameters" in `folder` with normal priority, shown or hidden, into
// `process`. False after logging "Could not start command: ...".
bool StartCommand(const std::string& program, const std::string& parameters,
                  const std::string& folder, bool show, ChildProcess* process);

// How waiting for a started program ended.
struct CommandEnd {
    ProcessWait outcome = ProcessWait::Failed;  // Ended, Timeout, or Failed (could not wait)
    unsigned exitCode = 0;                      // when it ended
    bool Succeeded() const { return outcome == ProcessWait::Ended && exitCode == 0; }
};
CommandEnd WaitForCommand(ChildProcess& process, unsigned timeoutMs);

// The id of another running process (never this one) whose image name is `imageName`,
// compared without regard to case; 0 when there is none. NT 3.51 and NT 4 list processes
// through PSAPI, every other system through ToolHelp.
unsigned IsRunning(const std::string& imageName, const std::string& windowsVersion);
unsigned IsRunning(const std::string& imageName);

// The system calls of the stop sequence; tests put in their own.
class ProcessControl {
  public:
    virtual ~ProcessControl() = default;
    virtual long PostToWindows(unsigned pid, unsigned message, const std::string* title,
                               unsigned* posted);
    virtual ProcessWait Wait(unsigned pid, unsigned timeoutMs);
    virtual bool Terminate(unsigned pid);
};
ProcessControl& SystemProcessControl();

// Stops process `pid` (image name `name` for the log): WM_APP + 750 to its top-level windows
// (for the product "Corvane" only to the window titled with the product name), then
// WM_CLOSE, then termination, waiting `stageMs` after each of the first two. True when the
// process has ended.
bool KillProcess(unsigned pid, const std::string& name, const std::string& product,
                 unsigned stageMs = kKillStageMs, ProcessControl& control = SystemProcessControl());

}  // namespace corv::inst
