#include "installer/sys/system_info.h"

#include "installer/sys/inst_log.h"
#include "platform/desktop.h"
#include "platform/registry.h"
#include "platform/session.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

const char kShellFolders[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string ReadText(RegRoot root, const char* path, const std::string& name) {
    RegKey key;
    if (key.Open(root, path, kRegRead) != kOk) return std::string();
    RegValue value;
    if (key.QueryValue(name, &value) != kOk) return std::string();
    if (value.type != RegType::Sz && value.type != RegType::ExpandSz) return std::string();
    return ValueText(value);
}

}  // namespace

std::string WindowsVersion() {
    return GetWindowsVersionName();
}

bool IsWindows98OrMe(const std::string& name) {
    return name == "Windows 98" || name == "Windows 98 SP1" || name == "Windows 98 SE" ||
           name == "Windows ME";
}

bool IsOldNt(const std::string& name) {
    return name == "Windows NT 3.51" || name == "Windows NT 4";
}

std::string GetShellFolder(ShellFolder folder, bool allUsers) {
    static const char* const kUser[] = {"Start Menu", "Programs", "Desktop", "Startup"};
    static const char* const kAll[] = {"Common Start Menu", "Common Programs", "Common Desktop",
                                       "Common Startup"};
    int i = static_cast<int>(folder);
    return allUsers ? ReadText(RegRoot::LocalMachine, kShellFolders, kAll[i])
                    : ReadText(RegRoot::CurrentUser, kShellFolders, kUser[i]);
}

std::string GetProgramFilesDir() {
    return ReadText(RegRoot::LocalMachine, kCurrentVersion, "ProgramFilesDir");
}

std::string CurrentUserSid() {
    std::string sid;
    TokenStep step = TokenStep::None;
    long rc = corv::CurrentUserSid(&sid, &step);
    if (rc == kOk) {
        InstLog("Current User SID: %s\n", sid.c_str());
        return sid;
    }
    const char* what = step == TokenStep::OpenProcessToken      ? "OpenProcessToken"
                       : step == TokenStep::GetTokenInformation ? "GetTokenInformation"
                                                                : "GetTextualSid";
    InstLog("Cannot determine sid of current user. %s failed: %s\n", what,
            ErrorWithText(rc).c_str());
    return std::string();
}

bool EnablePrivilege(const std::string& name) {
    TokenStep step = TokenStep::None;
    long rc = corv::EnablePrivilege(name, &step);
    if (rc == kOk) return true;
    const char* what = step == TokenStep::OpenProcessToken       ? "OpenProcessToken"
                       : step == TokenStep::LookupPrivilegeValue ? "LookupPrivilegeValue"
                                                                 : "AdjustTokenPrivileges";
    InstLog("%s error: %u\n", what, static_cast<unsigned>(rc));
    return false;
}

bool RestartComputer(std::string* error) {
    TokenStep step = TokenStep::None;
    long rc = corv::RestartComputer(&step);
    if (rc == kOk) return true;
    const char* what = step == TokenStep::OpenProcessToken        ? "OpenProcessToken"
                       : step == TokenStep::LookupPrivilegeValue  ? "LookupPrivilegeValue"
                       : step == TokenStep::AdjustTokenPrivileges ? "AdjustTokenPrivileges"
                                                                  : "InitiateSystemShutdown";
    *error = Format("Error when trying to shutdown computer: Can't %s, last error: %s", what,
                    ErrorWithText(rc).c_str());
    InstLog("%s\n", error->c_str());
    return false;
}

bool OpenDocument(const std::string& path, std::string* error) {
    long rc = corv::OpenDocument(path);
    if (rc == kOk) return true;
    *error =
        Format("Error %d: ShellExecute could not open: %s", static_cast<int>(rc), path.c_str());
    InstLog("%s\n", error->c_str());
    return false;
}

}  // namespace corv::inst
