#include "installer/wizard/install_app.h"

#include <cstdio>

#include "installer/job/install_job.h"
#include "installer/manager/install_log.h"
#include "installer/manager/install_mgr.h"
#include "installer/sys/inst_log.h"
#include "platform/console.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/prompt.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

// The text after `prefix` when `part` starts with it (without regard to case), trimmed and
// without one pair of surrounding quotes: a quoted folder is still that folder.
bool Value(const std::string& part, const char* prefix, std::string* value) {
    if (!StartsWithNoCase(part, prefix)) return false;
    std::string v = Trim(part.substr(std::string(prefix).size()));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    *value = v;
    return true;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

InstallCommandLine ParseInstallCommandLine(const std::string& parameters) {
    InstallCommandLine cmd;
    size_t start = 0;
    while (start <= parameters.size()) {
        size_t end = parameters.find('/', start);
        if (end == std::string::npos) end = parameters.size();
        std::string part = Trim(parameters.substr(start, end - start));
        start = end + 1;
        if (part.empty()) continue;
        std::string value;
        if (EqualsNoCase(part, "uninstall")) {
            cmd.uninstall = true;
        } else if (EqualsNoCase(part, "capture")) {
            cmd.capture = true;
        } else if (EqualsNoCase(part, "S")) {
            cmd.silent = true;
        } else if (EqualsNoCase(part, "A")) {
            cmd.installFor = InstallForOption::AllUsers;
        } else if (EqualsNoCase(part, "U")) {
            cmd.installFor = InstallForOption::OnlyForMe;
        } else if (EqualsNoCase(part, "plan")) {
            cmd.plan = true;
        } else if (Value(part, "dir:", &value)) {
            cmd.hasDir = true;
            cmd.dir = value;
        } else if (Value(part, "T:", &value)) {
            cmd.hasTunnelServers = true;
            cmd.tunnelServers = value;
        } else if (Value(part, "F:", &value)) {
            cmd.targetFolder = value;
        } else {
            cmd.unknown.push_back(part);
        }
    }
    return cmd;
}

bool IsUninstallProgram(const std::string& programFile) {
    return StartsWithNoCase(BaseName(programFile), "uninst");
}

int ExitStatus(InstallAction decision, JobResult job) {
    if (!IsRun(decision))
        return decision == InstallAction::NOTSET ? static_cast<int>(InstallAction::ERRORCONFIG)
                                                 : static_cast<int>(decision);
    switch (job) {
        case JobResult::NotRun:
        case JobResult::Success:
            return 0;
        case JobResult::Cancelled:
            return static_cast<int>(InstallAction::ERRORCANCEL);
        case JobResult::Failed:
            break;
    }
    return kExitJobFailed;
}

AppSeams SystemSeams() {
    AppSeams seams;
    seams.openConsole = [] { return OpenConsole(); };
    seams.print = [](const std::string& text) {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    };
    seams.waitForReturn = [] {
        int c;
        while ((c = std::getchar()) != EOF && c != '\n') {
        }
    };
    return seams;
}

CInstallApp::CInstallApp(std::string programFile, std::string parameters, AppSeams seams)
    : m_programFile(std::move(programFile)),
      m_parameters(std::move(parameters)),
      m_seams(std::move(seams)),
      m_cmd(ParseInstallCommandLine(m_parameters)) {}

void CInstallApp::Say(const std::string& text) {
    InstLog("%s", text.c_str());
    // A silent run or a plan is started by a script: no box waits for a user.
    if (!m_cmd.silent && !m_cmd.plan)
        ShowPrompt(text, kInstallerTitle, PromptKind::Ok, PromptIcon::Error);
}

int CInstallApp::Run() {
    bool uninstall = m_cmd.uninstall || IsUninstallProgram(m_programFile);
    CInstallLog log;
    bool console = m_cmd.capture && m_seams.openConsole();
    if (console)
        log.Attach(m_seams.print);
    else
        log.Attach();
    int status;
    try {
        status = RunChecked(log);
    } catch (...) {
        Say(uninstall ? "Internal Error: Caught unknown exception! Could not uninstall product"
                      : "Internal Error: Caught unknown exception! Could not install product");
        status = static_cast<int>(InstallAction::ERRORCONFIG);
    }
    InstLog("Exit status: %d\n", status);
    // A run that ended before the manager opened its log (no description, an unusable folder)
    // still leaves one where a script finds it.
    if (log.Path().empty() && (m_cmd.silent || m_cmd.plan)) {
        try {
            log.OpenTemporary("corvinst", uninstall ? "uninstall" : "install");
        } catch (...) {
            // No temporary folder to write in: the exit status is all there is.
        }
    }
    log.Detach();
    if (console) {
        m_seams.print("Press RETURN to continue . . .");
        m_seams.waitForReturn();
    }
    return status;
}

std::string CInstallApp::FindDescription(bool uninstall) {
    if (uninstall) return m_package + "\\uninst.cfg";  // a missing one is the manager's refusal
    for (const char* name : {"corvinst.cfg", "setup.cfg"}) {
        std::string path = m_package + "\\" + name;
        if (PathExists(path)) return path;
    }
    const char* wanted =
        EqualsNoCase(BaseName(m_programFile), "corvinst.exe") ? "corvinst.cfg" : "setup.cfg";
    Say(Format("Could not start installation, config file not found: %s\n", wanted));
    return std::string();
}

int CInstallApp::RunChecked(CInstallLog& log) {
    InstLog("%s", FormatEscaped("ProgramName: %s, Parameters: %s\n", m_programFile.c_str(),
                                m_parameters.c_str())
                      .c_str());
    for (const std::string& part : m_cmd.unknown)
        InstLog("%s", FormatEscaped("Unknown option ignored: /%s\n", part.c_str()).c_str());
    if (m_cmd.hasDir) {
        if (SetCurrentFolder(m_cmd.dir) != kOk) {
            Say(FormatEscaped("Can't change directory to %s\n", m_cmd.dir.c_str()));
            return kExitBadCommandLine;
        }
        m_package = CurrentFolder();
    } else {
        m_package = FolderOf(m_programFile);
    }
    bool uninstall = m_cmd.uninstall || IsUninstallProgram(m_programFile);
    std::string config = FindDescription(uninstall);
    if (config.empty()) return static_cast<int>(InstallAction::ERRORCONFIG);
    if (!m_cmd.silent && !m_cmd.plan) {
        Say("The installation wizard is not part of this build of the installer.\n"
            "Run it silently instead: corvinst.exe /S /U (or /S /A for all users).\n");
        return kExitNoWizard;
    }
    return Decide(log, config, uninstall);
}

int CInstallApp::Decide(CInstallLog& log, const std::string& config, bool uninstall) {
    InstallerOptions options;
    options.packageFolder = m_package;
    options.configPath = config;
    options.programFile = m_programFile;
    options.silent = true;
    options.load.installFor = m_cmd.installFor;
    options.load.hasTunnelServers = m_cmd.hasTunnelServers;
    options.load.tunnelServers = m_cmd.tunnelServers;
    options.load.targetFolder = m_cmd.targetFolder;
    CInstallMgr manager(options, log);
    InstallAction action = uninstall ? manager.Uninstall() : manager.Install();

    JobOptions job;
    job.installerFile = m_programFile;
    job.progressPauseMs = 0;  // nobody watches a silent run's progress
    if (m_cmd.plan) {
        std::string plan = DryRun(manager, job);
        InstLog("%s", plan.c_str());
        if (!m_cmd.capture) m_seams.print(plan);  // the console already echoes the log
        return ExitStatus(action, JobResult::NotRun);
    }
    if (!IsRun(action)) return ExitStatus(action, JobResult::NotRun);
    CInstallJob run(manager, job);
    JobOutcome outcome = run.Run();
    JobResult result = outcome == JobOutcome::Success     ? JobResult::Success
                       : outcome == JobOutcome::Cancelled ? JobResult::Cancelled
                                                          : JobResult::Failed;
    return ExitStatus(action, result);
}

}  // namespace corv::inst
