#include "installer/sys/process_util.h"

#include "installer/sys/inst_log.h"
#include "installer/sys/system_info.h"
#include "platform/desktop.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

bool StartCommand(const std::string& program, const std::string& parameters,
                  const std::string& folder, bool show, ChildProcess* process) {
    std::string command = "\"" + program + "\" " + parameters;
    try {
        StartOptions options;
        options.folder = folder;
        options.hidden = !show;
        long error = 0;
        if (process->Start(program, parameters, options, &error)) return true;
        InstLog("Could not start command: %s \nFolder: %s \nLastError: %s\n", command.c_str(),
                folder.c_str(), ErrorText(error).c_str());
    } catch (...) {
        InstLog("ERROR: Caught unknown exception while starting command: %s, folder: %s\n",
                command.c_str(), folder.c_str());
    }
    return false;
}

CommandEnd WaitForCommand(ChildProcess& process, unsigned timeoutMs) {
    CommandEnd end;
    end.outcome = process.Wait(timeoutMs, &end.exitCode);
    return end;
}

unsigned IsRunning(const std::string& imageName, const std::string& windowsVersion) {
    unsigned me = CurrentProcessId();
    bool psapi = IsOldNt(windowsVersion);
    if (psapi)
        InstLog("isRunningNT(%s), my pid is %u, using PSAPI\n", imageName.c_str(), me);
    else
        InstLog("isRunning(%s), my pid is %u, using ToolHelp\n", imageName.c_str(), me);
    unsigned found = 0;
    bool listed =
        ListProcesses(psapi ? ProcessListMethod::Psapi : ProcessListMethod::ToolHelp,
                      [&](const ProcessEntry& entry) {
                          if (psapi)
                              InstLog("%s (Process ID: %u)\n", entry.imageName.c_str(), entry.pid);
                          if (!found && entry.pid != me && EqualsNoCase(entry.imageName, imageName))
                              found = entry.pid;
                      });
    if (!listed) InstLog("isRunning(%s): the process list is not available\n", imageName.c_str());
    return found;
}

unsigned IsRunning(const std::string& imageName) {
    return IsRunning(imageName, WindowsVersion());
}

long ProcessControl::PostToWindows(unsigned pid, unsigned message, const std::string* title,
                                   unsigned* posted) {
    return PostToProcessWindows(pid, message, title, posted);
}

ProcessWait ProcessControl::Wait(unsigned pid, unsigned timeoutMs) {
    return corv::WaitForProcess(pid, timeoutMs);
}

bool ProcessControl::Terminate(unsigned pid) {
    return TerminateProcessById(pid, 1);
}

ProcessControl& SystemProcessControl() {
    static ProcessControl control;
    return control;
}

bool KillProcess(unsigned pid, const std::string& name, const std::string& product,
                 unsigned stageMs, ProcessControl& control) {
    // The tray client has hidden helper windows too; only its main window ends the program.
    const std::string* title = EqualsNoCase(product, "Corvane") ? &product : nullptr;
    unsigned posted = 0;

    InstLog("KillProcess: Sending WM_QUITMSG message to %s\n", name.c_str());
    control.PostToWindows(pid, kWmQuitMsg, title, &posted);
    ProcessWait wait = control.Wait(pid, stageMs);
    if (wait == ProcessWait::Failed) {
        InstLog("Could not open process with pid: %d, SendMessage failed\n", static_cast<int>(pid));
        return false;
    }
    if (wait == ProcessWait::Ended) return true;

    InstLog("KillProcess: %s is still running, sending WM_CLOSE message\n", name.c_str());
    control.PostToWindows(pid, kWmClose, title, &posted);
    wait = control.Wait(pid, stageMs);
    if (wait == ProcessWait::Ended) return true;

    InstLog("KillProcess: %s is still running, terminating process forcibly\n", name.c_str());
    if (!control.Terminate(pid)) {
        InstLog("KillProcess: Unable to terminate %s\n", name.c_str());
        return false;
    }
    // Termination is asynchronous; the caller may replace the program's files right after.
    control.Wait(pid, stageMs);
    return true;
}

}  // namespace corv::inst
