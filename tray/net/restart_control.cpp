#include "tray/net/restart_control.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"

namespace corv {

const char* const kReconnectSwitch = "/Reconnect";
const char* const kWaitOnRestartSwitch = "/WaitOnRestart";

namespace {
constexpr long kErrFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
}

std::string ProgramInHome(const std::string& home) {
    return WithTrailingBackslash(home) + "corvtray.exe";
}

unsigned StartProcessLogged(const std::string& program, const std::string& arguments,
                            const std::string& folder) {
    std::string commandLine;
    try {
        commandLine = Format("\"%s\" %s", program.c_str(), arguments.c_str());
        long error = kErrFilenameTooLong;
        unsigned pid = 0;
        if (commandLine.size() < kCommandLineBytes) {
            StartOptions options;
            options.folder = folder;
            options.hidden = true;
            pid = StartProcess(program, arguments, options, &error);
        }
        if (pid == 0) {
            TheLog().Log("Could not start command: %s \nFolder: %s, Reason: %s\n",
                         commandLine.c_str(), folder.c_str(), ErrorText(error).c_str());
        }
        return pid;
    } catch (...) {
        TheLog().Log(
            "ERROR: Caught unknown exception while starting command: %s, folder: %s, "
            "lasterr: %s\n",
            commandLine.c_str(), folder.c_str(), ErrorText(LastError()).c_str());
        return 0;
    }
}

}  // namespace corv
