// The install manager: decides what this start of the installer does before anything changes
// on the system, keeps the installer's log and the text variables, and hands the decided
// action to the install job.
#pragma once

#include <memory>
#include <string>

#include "installer/description/description.h"
#include "installer/manager/action.h"
#include "installer/manager/install_log.h"
#include "installer/manager/install_system.h"
#include "installer/manager/text_vars.h"

namespace corv::inst {

// The message boxes' title.
constexpr const char* kInstallerTitle = "CV Installer";
// Where the patch refusal sends the user for a full release.
constexpr const char* kDownloadAddress = "http://www.corvane.example/download";

struct InstallerOptions {
    std::string packageFolder;  // the package's files and description
    std::string configPath;     // the package's description, or "uninst.cfg" to uninstall
    std::string programFile;    // this installer; its folder is the installation to remove
    bool silent = false;        // ask nothing, show nothing; refusals are only logged
    LoadOptions load;
};

// Where an installed copy was recorded.
struct InstalledPlace {
    enum Kind { LocationKey, UninstallEntry, HomeValue } kind = LocationKey;
    std::string folder;
    bool ours = true;  // an uninstall entry of this installer ("uninst.exe")
    std::string displayVersion;
};

class CInstallMgr {
  public:
    CInstallMgr(InstallerOptions options, CInstallLog& log,
                InstallSystem& system = RealInstallSystem());

    // The install start: the decision for a package (INSTALL, UPGRADE, PATCH, WRAPPER,
    // MULTIINSTALL) or a refusal. Refusals are logged and, unless silent, shown.
    InstallAction Install();
    // The uninstall start, run as "uninst.exe" from the installation with its "uninst.cfg".
    InstallAction Uninstall();

    InstallAction Action() const { return m_action; }
    std::string Substitute(const std::string& text) const;
    TextVariables& Variables() { return m_vars; }

    // The package's description (for an update with the installation's folder, root and
    // chosen components taken over), or for an uninstall the installed one.
    CInstallConfig& Config() { return m_config; }
    const CInstallConfig& Config() const { return m_config; }
    // The installed description found for an update; nullptr otherwise.
    const CInstallConfig* Installed() const { return m_installed.get(); }
    const std::string& TargetFolder() const { return m_target; }
    bool IsAdministrator() const { return m_admin; }
    const std::string& UserSid() const { return m_sid; }
    const std::string& WindowsVersionName() const { return m_windows; }
    const InstallerOptions& Options() const { return m_options; }
    InstallSystem& System() { return m_system; }
    CInstallLog& Log() { return m_log; }

    // Moves the log into the target folder as $logfile; failures are logged.
    void MoveLogToTarget();
    // Shows a message (unless silent) with the installer's title; it is logged too.
    void Show(const std::string& text);

    // The places an installed copy of the package's product may be recorded, in the order
    // they are tried.
    std::vector<InstalledPlace> FindInstalledPlaces() const;

  private:
    InstallAction Decide();
    InstallAction DecideUninstall();
    InstallAction Refuse(InstallAction code, const std::string& message);
    // A Yes/No question; a silent run answers No (see the README).
    bool Ask(const std::string& question);
    void DetermineRights(const std::string& company, const std::string& product);
    void OpenLog(const std::string& product, InstallAction mode);
    InstallAction FindInstalled();
    InstallAction DecideVersion(const InstalledPlace& place);
    InstallAction CheckDiskSpace();
    void AdoptInstallation();
    void UpdateVariables();
    InstallAction Finish(InstallAction action);

    InstallerOptions m_options;
    CInstallLog& m_log;
    InstallSystem& m_system;
    CInstallConfig m_config;
    std::unique_ptr<CInstallConfig> m_installed;
    InstallAction m_action = InstallAction::NOTSET;
    TextVariables m_vars;
    std::string m_target;
    std::string m_sid;
    std::string m_userName;
    std::string m_windows;
    bool m_admin = false;
    bool m_foundPlace = false;  // an installed copy, whole or damaged, was found
};

}  // namespace corv::inst
