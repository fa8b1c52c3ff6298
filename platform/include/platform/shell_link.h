// Shell links (".lnk" files) and the notice to running programs that the environment changed.
#pragma once

#include <string>

namespace corv {

struct ShellLinkSpec {
    std::string path;       // the link file
    std::string target;     // the program or document it starts
    std::string arguments;  // may be empty
    std::string folder;     // working folder; empty: the target's folder
};

// Creates or replaces the link. Returns a Win32 error number (or COM result), 0 on success.
// Without a shell (POSIX) the link is a small text file naming target, arguments and folder,
// so that the logic around it runs the same way.
long CreateShellLink(const ShellLinkSpec& link);

// Tells every top-level window that the environment settings changed (WM_SETTINGCHANGE with
// "Environment"), giving up on windows that hang after `timeoutMs`. Returns 0, or
// kErrNotSupported where there is no such broadcast.
long BroadcastEnvironmentChange(unsigned timeoutMs);

}  // namespace corv
