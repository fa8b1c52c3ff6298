// The installer's view of the system: Windows version names, shell folders, the user's SID,
// privileges, restart, and opening documents. Failures are logged in the installer's log.
#pragma once

#include <string>

namespace corv::inst {

// The Windows version name; the same table the tray client uses.
std::string WindowsVersion();
// "Windows 98", "Windows 98 SP1", "Windows 98 SE" or "Windows ME": no per-user installs.
bool IsWindows98OrMe(const std::string& versionName);
// "Windows NT 3.51" or "Windows NT 4": the process list comes from PSAPI.
bool IsOldNt(const std::string& versionName);

enum class ShellFolder { StartMenu, Programs, Desktop, Startup };
// The user's form from HKEY_CURRENT_USER ("Start Menu", ...) or the all-users form from
// HKEY_LOCAL_MACHINE ("Common Start Menu", ...); empty when it is not recorded.
std::string GetShellFolder(ShellFolder folder, bool allUsers);
// ProgramFilesDir under HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion.
std::string GetProgramFilesDir();

// The current user's textual SID; empty (and logged) when it cannot be had.
std::string CurrentUserSid();

// Enables a privilege of the process token; false (logged) on failure.
bool EnablePrivilege(const std::string& name);

// Restarts the computer. On failure *error gets the text to show, which is also logged.
bool RestartComputer(std::string* error);

// Opens a document with the shell's "open" verb. On failure *error gets
// "Error %d: ShellExecute could not open: %s", which is also logged.
bool OpenDocument(const std::string& path, std::string* error);

}  // namespace corv::inst
