// The uninstaller's own files, which it cannot delete while it runs: a script removes them
// once the uninstaller has ended.
#pragma once

#include <string>
#include <vector>

namespace corv::inst {

constexpr const char* kCleanupScriptName = "cleanup.bat";

struct SelfRemoval {
    std::string folder;                     // the uninstaller's own folder (the target folder)
    std::vector<std::string> packageFiles;  // full paths of the package's files; the script
                                            // removes the libraries ("dll") among them
    std::string uninstallLog;               // full path of this run's log
};

// The script: a pause of about two seconds, then the libraries, "uninst.cfg", "uninst.exe",
// the uninstall log and "install.log", each removed by its full path; last the script itself
// and, a moment after the script has ended, the folder, which goes only when nothing else is
// left in it. The text is in the code
// page the command interpreter reads. A path that cannot be named safely in the script
// (not a full path, a wildcard, a quote or control character, a folder, no form in the
// code page) is left out and logged. False when the folder itself cannot be named.
bool CleanupScriptText(const SelfRemoval& removal, std::string* text);

// Writes "cleanup.bat" into the folder and starts it hidden through the command interpreter,
// to run once this process has ended. Returns the interpreter's process id; 0 after logging
// the failure.
unsigned DeleteMySelf(const SelfRemoval& removal);

}  // namespace corv::inst
