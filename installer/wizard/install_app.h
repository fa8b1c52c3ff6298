// The installer program's application object: reads the command line, finds the install
// description, lets the install manager decide and then runs the job silently, prints its
// plan, or (in a build with the wizard) hands over to the wizard.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "installer/description/description.h"
#include "installer/manager/action.h"

namespace corv::inst {

class CInstallLog;

struct InstallCommandLine {
    bool uninstall = false;
    bool capture = false;
    bool silent = false;
    bool plan = false;  // print what the job would do, change nothing
    bool hasDir = false;
    std::string dir;
    InstallForOption installFor = InstallForOption::None;
    bool hasTunnelServers = false;
    std::string tunnelServers;
    std::string targetFolder;
    std::vector<std::string> unknown;  // parts no option matched, as given
};

// Splits at "/", trims each part and matches the options without regard to case.
InstallCommandLine ParseInstallCommandLine(const std::string& parameters);

// The copy in an installation ("uninst.exe") removes that installation.
bool IsUninstallProgram(const std::string& programFile);

// Exit statuses besides 0 (success) and the decision's refusal codes (7 to 17).
constexpr int kExitJobFailed = 20;       // the job failed; the system was put back
constexpr int kExitNoWizard = 21;        // a start that needs the wizard, in a build without it
constexpr int kExitBadCommandLine = 22;  // an option no one knows, or a folder we cannot use

enum class JobResult { NotRun, Success, Cancelled, Failed };
// The status a script tests: 0 when the decided action ran to its end, else the refusal's
// code or the job's failure.
int ExitStatus(InstallAction decision, JobResult job);

// What the program needs from outside itself; tests replace each.
struct AppSeams {
    std::function<bool()> openConsole;
    std::function<void(const std::string&)> print;  // the standard output
    std::function<void()> waitForReturn;
};
AppSeams SystemSeams();

class CInstallApp {
  public:
    CInstallApp(std::string programFile, std::string parameters, AppSeams seams = SystemSeams());

    // The whole run; returns the exit status.
    int Run();

    // The description this start reads; empty when none was found (after the message).
    std::string FindDescription(bool uninstall);
    const InstallCommandLine& CommandLine() const { return m_cmd; }
    const std::string& PackageFolder() const { return m_package; }

  private:
    int RunChecked(CInstallLog& log);
    int Decide(CInstallLog& log, const std::string& config, bool uninstall);
    void Say(const std::string& text);

    std::string m_programFile;
    std::string m_parameters;
    AppSeams m_seams;
    InstallCommandLine m_cmd;
    std::string m_package;
};

}  // namespace corv::inst
