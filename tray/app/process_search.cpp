#include "tray/app/process_search.h"

#include "platform/process.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"

namespace corv {

unsigned FindRunningProcess(const std::string& imageName, bool verbose) {
    std::string version = GetWindowsVersionName();
    bool psapi = version == "Windows NT 3.51" || version == "Windows NT 4";
    unsigned self = CurrentProcessId();
    if (verbose)
        TheLog().Log(psapi ? "isRunningNT(%s), my pid is %u, using PSAPI\n"
                           : "isRunning(%s), my pid is %u, using ToolHelp\n",
                     imageName.c_str(), self);
    unsigned found = 0;
    ListProcesses(psapi ? ProcessListMethod::Psapi : ProcessListMethod::ToolHelp,
                  [&](const ProcessEntry& e) {
                      if (e.pid == self) return;
                      if (verbose)
                          TheLog().Log("%s (Process ID: %u)\n", e.imageName.c_str(), e.pid);
                      if (!found && EqualsNoCase(e.imageName, imageName)) found = e.pid;
                  });
    return found;
}

}  // namespace corv
