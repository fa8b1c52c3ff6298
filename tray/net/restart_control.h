// Starting a fresh copy of the program: the Java virtual machine cannot be started twice in one
// process, so bringing the Java client up again means a new process that waits for this one.
#pragma once

#include <string>

namespace corv {

extern const char* const kReconnectSwitch;      // "/Reconnect": after an address change
extern const char* const kWaitOnRestartSwitch;  // "/WaitOnRestart": after settings changes

// Home with exactly one backslash before "corvtray.exe" (none added when Home has one).
std::string ProgramInHome(const std::string& home);

// The command line "\"program\" arguments" must fit 2048 bytes with its terminating zero;
// a longer one is refused rather than cut.
constexpr size_t kCommandLineBytes = 2048;

// Starts the program with the arguments in the folder, without inherited handles and with its
// window hidden. Returns the process id, 0 on failure (logged with the system's reason).
unsigned StartProcessLogged(const std::string& program, const std::string& arguments,
                            const std::string& folder);

}  // namespace corv
