#include "installer/manager/install_mgr.h"

#include <cinttypes>

#include "installer/manager/placeholders.h"
#include "installer/manager/version.h"
#include "installer/sys/exceptions.h"
#include "installer/sys/file_util.h"
#include "installer/sys/inst_log.h"
#include "installer/sys/text_util.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/prompt.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kPreferencesKey[] = "Software\\Velmora\\Corvane\\Preferences";
constexpr uint64_t kMegabyte = 1048576;
constexpr uint64_t kSpareBytes = 0x40000;

std::string ReadString(RegRoot root, const std::string& path, const std::string& name) {
    RegKey key;
    std::string value;
    if (key.Open(root, path, kRegRead) == kOk) key.QueryString(name, &value);
    return value;
}

// An uninstall command of this installer names its uninstaller.
bool IsOurUninstaller(const std::string& uninstallString) {
    return ToLower(uninstallString).find("uninst.exe") != std::string::npos;
}

std::string WithoutTrailingBackslash(std::string folder) {
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

bool SameFolder(const std::string& a, const std::string& b) {
    return EqualsNoCase(WithoutTrailingBackslash(a), WithoutTrailingBackslash(b));
}

// The folder for the write probe: the product's folder below the program files folder, or
// its nearest existing parent there (a first install finds no product folder yet).
std::string ProbeFolder(const std::string& programFiles, const std::string& target,
                        const std::string& product) {
    std::string base = WithoutTrailingBackslash(programFiles);
    std::string sub = product;
    if (StartsWithNoCase(target, base + "\\") && target.size() > base.size() + 1)
        sub = target.substr(base.size() + 1);
    std::string folder = base + "\\" + sub;
    while (!IsDirectory(folder) && folder.size() > base.size()) folder = FolderOf(folder);
    return folder.size() < base.size() ? base : folder;
}

// Creates and deletes "___test" below HKLM\SOFTWARE\<company>; leaves no key behind.
bool CanCreateKeys(const std::string& company) {
    std::string parent = company.empty() ? "SOFTWARE" : "SOFTWARE\\" + company;
    RegKey probe;
    bool parentExisted = probe.Open(RegRoot::LocalMachine, parent, kRegRead) == kOk;
    probe.Close();
    bool ok = probe.Create(RegRoot::LocalMachine, parent + "\\___test") == kOk;
    probe.Close();
    RegKey key;
    if (key.Open(RegRoot::LocalMachine, parent, kRegReadWrite) == kOk) {
        if (ok) ok = key.DeleteTree("___test") == kOk;
        key.Close();
    }
    if (!parentExisted && !company.empty()) {
        std::string subkey;
        RegValue value;
        RegKey made, software;
        if (made.Open(RegRoot::LocalMachine, parent, kRegRead) == kOk &&
            made.EnumSubkey(0, &subkey) != kOk && made.EnumValue(0, &value) != kOk &&
            software.Open(RegRoot::LocalMachine, "SOFTWARE", kRegReadWrite) == kOk) {
            made.Close();
            software.DeleteTree(company);
        }
    }
    return ok;
}

bool IsTessaly(const CInstallConfig& config) {
    return config.FindSelectable("tessaly_enu") || config.FindSelectable("tessaly_de");
}

}  // namespace

CInstallMgr::CInstallMgr(InstallerOptions options, CInstallLog& log, InstallSystem& system)
    : m_options(std::move(options)), m_log(log), m_system(system) {}

std::string CInstallMgr::Substitute(const std::string& text) const {
    return inst::Substitute(text, m_vars);
}

void CInstallMgr::Show(const std::string& text) {
    InstLogText(text.empty() || text.back() == '\n' ? text : text + "\n");
    if (!m_options.silent)
        ShowPrompt(text, kInstallerTitle, PromptKind::Ok, PromptIcon::Information);
}

InstallAction CInstallMgr::Refuse(InstallAction code, const std::string& message) {
    if (!message.empty()) Show(message);
    return code;
}

bool CInstallMgr::Ask(const std::string& question) {
    if (m_options.silent) {
        // Nobody can be asked: a silent run never overwrites an installation it cannot
        // account for.
        InstLog("%s\nSilent run: answered No\n", question.c_str());
        return false;
    }
    bool yes = ShowPrompt(question, kInstallerTitle, PromptKind::YesNo, PromptIcon::Question) ==
               PromptAnswer::Yes;
    InstLog("%s\nAnswer: %s\n", question.c_str(), yes ? "Yes" : "No");
    return yes;
}

void CInstallMgr::OpenLog(const std::string& product, InstallAction mode) {
    m_log.OpenTemporary(product.empty() ? "corvinst" : product, ActionWord(mode));
}

InstallAction CInstallMgr::Finish(InstallAction action) {
    m_action = action;
    InstLog("Install action: %s\n", ActionName(action));
    UpdateVariables();
    return action;
}

InstallAction CInstallMgr::Install() {
    InstLog("CInstallMgr::Install()\n");
    try {
        return Finish(Decide());
    } catch (const CInstallerError& e) {
        return Finish(Refuse(InstallAction::ERRORCONFIG, e.Message()));
    } catch (...) {
        return Finish(
            Refuse(InstallAction::ERRORCONFIG,
                   "Internal Error: Caught unknown exception! Could not install product"));
    }
}

InstallAction CInstallMgr::Uninstall() {
    InstLog("CInstallMgr::Uninstall()\n");
    try {
        return Finish(DecideUninstall());
    } catch (const CInstallerError& e) {
        return Finish(Refuse(InstallAction::ERRORCONFIG, e.Message()));
    } catch (...) {
        return Finish(
            Refuse(InstallAction::ERRORCONFIG,
                   "Internal Error: Caught unknown exception! Could not uninstall product"));
    }
}

void CInstallMgr::DetermineRights(const std::string& company, const std::string& product) {
    m_sid = m_system.UserSid();
    m_userName = m_system.UserName();
    m_windows = m_system.WindowsVersion();
    m_admin = m_system.InAdministratorsGroup();
    if (!m_admin) {
        std::string programFiles = m_system.ProgramFilesFolder();
        bool files =
            !programFiles.empty() && CanCreateFiles(ProbeFolder(programFiles, m_target, product));
        bool keys = CanCreateKeys(company);
        if (files && keys) {
            InstLog("canCreateFiles=TRUE, canCreateKeys=TRUE\n");
            InstLog("isAdministrator()=TRUE\n");
            m_admin = true;
        }
    }
    InstLog(m_admin ? "User: %s, has administrator rights\n"
                    : "User: %s, does not have administrator rights\n",
            m_userName.c_str());
}

InstallAction CInstallMgr::Decide() {
    try {
        m_config.Load(m_options.configPath, m_options.load);
        m_config.ValidatePackage(m_options.configPath);
    } catch (const CConfigException& e) {
        OpenLog(m_config.HasRelease() ? m_config.GetRelease().product : "", InstallAction::INSTALL);
        return Refuse(InstallAction::ERRORCONFIG, e.Message());
    }
    const ReleaseInfo& r = m_config.GetRelease();
    OpenLog(r.product, InstallAction::INSTALL);
    m_target = ExpandInstallPlaceholders(r.targetFolder, {"", r.installFor, ""});
    InstLog("Velmora Install script version: %s\n", m_system.InstallerVersion().c_str());
    DetermineRights(r.company, r.product);
    if (r.installFor == InstallFor::AllUsers && !m_admin)
        return Refuse(InstallAction::ERRORUSR,
                      Format("You need administrator rights to install %s! \r\nPlease login as "
                             "an administrator and try again!",
                             r.product.c_str()));
    if (m_system.IsRunning("uninst.exe"))
        return Refuse(InstallAction::ERRORRUN,
                      "A uninstall script is running! Please stop it and try again!");
    std::string program = WithTrailingBackslash(m_options.packageFolder) + r.processName + ".exe";
    InstLog("Product to install: %s, version: %s, file version: %s\n", r.product.c_str(),
            r.version.c_str(), m_system.FileVersion(program).c_str());
    InstLog("Windows version: %s\n", m_windows.c_str());

    if (NoCase(r.packageType, "Wrapper")) return InstallAction::WRAPPER;
    if (NoCase(r.packageType, "MultiInstall")) return InstallAction::MULTIINSTALL;

    InstallAction found = FindInstalled();
    if (found != InstallAction::NOTSET) return found;
    // Over a damaged installation the job stops the running program itself.
    if (!m_foundPlace && !r.processName.empty() && m_system.IsRunning(r.processName + ".exe"))
        return Refuse(InstallAction::ERRORRUN,
                      Format("Not able to determine installation status!\n\nPlease terminate %s "
                             "and uninstall it before proceeding!",
                             r.product.c_str()));
    if (NoCase(r.packageType, "patch"))
        return Refuse(InstallAction::ERRORUPDATE,
                      Format("Could not find any installed version of %s to update! \n\nThis is "
                             "a patch release! \nPlease download a full release from ",
                             r.product.c_str()) +
                          kDownloadAddress);
    InstallAction disk = CheckDiskSpace();
    if (disk != InstallAction::NOTSET) return disk;
    return InstallAction::INSTALL;
}

std::vector<InstalledPlace> CInstallMgr::FindInstalledPlaces() const {
    std::vector<InstalledPlace> places;
    const ReleaseInfo& r = m_config.GetRelease();
    const AddRemoveInfo& a = m_config.GetAddRemove();
    auto add = [&](InstalledPlace::Kind kind, const std::string& folder, bool ours,
                   const std::string& displayVersion) {
        places.push_back(InstalledPlace{kind, folder, ours, displayVersion});
    };

    // The location the product keeps under its own registry root. An unresolved
    // "$TargetHKEY" (the user is still to choose) is looked for under both roots.
    if (!r.registryInstallLocation.empty()) {
        std::string path = r.registryInstallLocation;
        std::string first = path.substr(0, path.find('\\'));
        std::string rootName = r.registryRoot;
        if (IsKnownRootName(first)) {
            rootName = first;
            path = path.find('\\') == std::string::npos ? "" : path.substr(first.size() + 1);
        }
        std::vector<RegRoot> roots;
        RegRoot root;
        if (ResolveRootName(rootName, r.installFor, &root))
            roots.push_back(root);
        else if (NoCase(rootName, kTargetHkeyName))
            roots = {RegRoot::CurrentUser, RegRoot::LocalMachine};
        for (RegRoot each : roots) {
            std::string folder = ReadString(each, path, "InstallLocation");
            if (folder.empty()) folder = ReadString(each, path, "");
            if (!folder.empty()) add(InstalledPlace::LocationKey, folder, true, "");
        }
    }
    auto entry = [&](const std::string& name) {
        RegKey key;
        if (key.Open(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\" + name, kRegRead) !=
            kOk)
            return;
        std::string folder, uninstall, version;
        key.QueryString("InstallLocation", &folder);
        key.QueryString("UninstallString", &uninstall);
        key.QueryString("DisplayVersion", &version);
        add(InstalledPlace::UninstallEntry, folder, IsOurUninstaller(uninstall), version);
    };
    if (!a.displayName.empty()) entry(a.displayName);

    if (EqualsNoCase(r.product, "Corvane")) {
        // Any uninstall entry that bears the product's name, and the tray client's home in
        // each user's preferences, where its program must be.
        RegKey all;
        if (all.Open(RegRoot::LocalMachine, kUninstallKey, kRegRead) == kOk) {
            for (const std::string& name : all.Subkeys()) {
                if (EqualsNoCase(name, a.displayName)) continue;
                if (ReadString(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\" + name,
                               "DisplayName") == r.product)
                    entry(name);
            }
        }
        std::vector<std::pair<RegRoot, std::string>> homes = {{RegRoot::CurrentUser, ""}};
        RegKey users;
        if (users.Open(RegRoot::Users, "", kRegRead) == kOk)
            for (const std::string& sid : users.Subkeys()) homes.push_back({RegRoot::Users, sid});
        for (const auto& [root, sid] : homes) {
            std::string path = sid.empty() ? kPreferencesKey : sid + "\\" + kPreferencesKey;
            std::string home = ReadString(root, path, "home");
            if (!home.empty() && PathExists(WithTrailingBackslash(home) + "corvtray.exe"))
                add(InstalledPlace::HomeValue, WithoutTrailingBackslash(home), true, "");
        }
    }
    return places;
}

InstallAction CInstallMgr::FindInstalled() {
    const ReleaseInfo& r = m_config.GetRelease();
    std::vector<InstalledPlace> places = FindInstalledPlaces();
    m_foundPlace = false;
    for (const InstalledPlace& place : places) {
        if (place.folder.empty()) continue;
        std::string cfg = WithTrailingBackslash(place.folder) + "uninst.cfg";
        if (!PathExists(cfg)) continue;
        InstLog("inifileExists=TRUE (%s)\n", cfg.c_str());
        auto installed = std::make_unique<CInstallConfig>();
        try {
            installed->LoadInstalled(cfg, m_options.load);
        } catch (const CConfigException& e) {
            // Unreadable: as damaged as a missing one.
            InstLog("%s\n", e.Message().c_str());
            continue;
        }
        m_installed = std::move(installed);
        m_target = place.folder;
        m_foundPlace = true;
        const std::string& previous = m_installed->GetUser();
        InstLog("Current user id: %s, previous user: %s\n", m_sid.c_str(), previous.c_str());
        if (!previous.empty() && previous != m_sid) {
            if (!m_admin)
                return Refuse(
                    InstallAction::ERRORUSR,
                    Format("%s is already installed by %s!\n\nYou do not have sufficient rights "
                           "for overwriting %s!\nPlease log in as the appropriate user before "
                           "proceeding!\n",
                           r.product.c_str(), previous.c_str(), r.product.c_str()));
            if (!Ask(Format("%s is already installed by %s!\n\nDo you want to overwrite the "
                            "installation!",
                            r.product.c_str(), previous.c_str())))
                return InstallAction::ERRORCANCEL;
        }
        return DecideVersion(place);
    }
    // Recorded, but without the description of this installer.
    for (const InstalledPlace& place : places) {
        if (!place.ours || place.folder.empty()) continue;
        std::string cfg = WithTrailingBackslash(place.folder) + "uninst.cfg";
        InstLog("Found corrupt installation of %s, could not find file: \n\n%s\n\n",
                r.product.c_str(), cfg.c_str());
        if (!Ask(Format("Warning! Found corrupt installation of %s, file does not exist: "
                        "\n\n%s\n\nDo you want to overwrite the installation?",
                        r.product.c_str(), cfg.c_str())))
            return InstallAction::ERRORCANCEL;
        // Installed afresh over the damaged copy, where it is.
        m_target = place.folder;
        m_config.GetRelease().targetFolder = m_target;
        m_foundPlace = true;
        return InstallAction::NOTSET;
    }
    for (const InstalledPlace& place : places)
        if (place.kind == InstalledPlace::UninstallEntry)
            return Refuse(InstallAction::ERRORMSI,
                          Format("%s is already installed!\n\nPlease go to Control Panel -> "
                                 "Add/Remove Programs and \nuninstall it before proceeding!",
                                 r.product.c_str()));
    return InstallAction::NOTSET;
}

InstallAction CInstallMgr::DecideVersion(const InstalledPlace& place) {
    const ReleaseInfo& r = m_config.GetRelease();
    const std::string& installed = m_installed->GetRelease().version;
    const std::string& newer = r.version;
    m_vars.oldVersion = installed;

    // Other records of the installed version are only compared.
    int order = 0;
    std::string program = WithTrailingBackslash(place.folder) + r.processName + ".exe";
    std::string fileVersion = m_system.FileVersion(program);
    if (fileVersion != "not set" && (!CompareVersions(installed, fileVersion, &order) || order))
        InstLog("Warning! Inconsistent versions: release version=%s, file version=%s\n",
                installed.c_str(), fileVersion.c_str());
    std::string displayVersion = place.displayVersion;
    if (displayVersion.empty())
        displayVersion =
            ReadString(RegRoot::LocalMachine,
                       std::string(kUninstallKey) + "\\" + m_installed->GetAddRemove().displayName,
                       "DisplayVersion");
    if (!displayVersion.empty() && (!CompareVersions(installed, displayVersion, &order) || order))
        InstLog("Warning! Inconsistent versions: release version=%s, display version=%s\n",
                installed.c_str(), displayVersion.c_str());

    if (!CompareVersions(installed, newer, &order))
        return Refuse(InstallAction::ERRORVERSION,
                      Format("Cannot compare the installed version %s of %s with version %s!",
                             installed.c_str(), r.product.c_str(), newer.c_str()));
    if (order == 0)
        return Refuse(InstallAction::ERRORSAME,
                      Format("%s version %s is already installed on this computer!",
                             r.product.c_str(), installed.c_str()));
    if (order > 0)
        return Refuse(InstallAction::ERRORNEWER,
                      Format("Found newer version! \n\n%s version %s is already installed! "
                             "\n\nIf you really would like to install the older version %s, "
                             "\nplease uninstall the current version first!",
                             r.product.c_str(), installed.c_str(), newer.c_str()));
    InstallAction action = InstallAction::UPGRADE;
    if (NoCase(r.packageType, "patch")) {
        if (!r.applicableSince.empty()) {
            if (!CompareVersions(installed, r.applicableSince, &order))
                return Refuse(
                    InstallAction::ERRORVERSION,
                    Format("Cannot compare the installed version %s of %s with "
                           "version %s!",
                           installed.c_str(), r.product.c_str(), r.applicableSince.c_str()));
            if (order < 0)
                return Refuse(InstallAction::ERRORNOTAPPLICABLE,
                              Format("This patch is not valid on your current version of "
                                     "%s!\n\nBecause of major changes you have to download and "
                                     "install the full\nrelease of %s %s!\n",
                                     r.product.c_str(), r.product.c_str(), newer.c_str()));
        }
        action = InstallAction::PATCH;
    }
    AdoptInstallation();
    return action;
}

// An update works where and for whom the product is installed, on the components chosen then.
void CInstallMgr::AdoptInstallation() {
    ReleaseInfo& r = m_config.GetRelease();
    const CInstallConfig& installed = *m_installed;
    r.targetFolder = m_target;
    if (installed.GetRelease().installFor != InstallFor::Unset)
        r.installFor = installed.GetRelease().installFor;
    r.promptInstallFor = false;
    for (Selectable& s : m_config.GetSelectables())
        if (const Selectable* mine = installed.FindSelectable(s.id)) s.selected = mine->selected;
}

InstallAction CInstallMgr::CheckDiskSpace() {
    uint64_t required = kSpareBytes;
    try {
        std::string folder = WithTrailingBackslash(m_options.packageFolder);
        auto add = [&](const std::string& path) {
            try {
                required += FileSize(path);
            } catch (const CInstallException& e) {
                InstLog("%s\n", e.Message().c_str());
            }
        };
        if (IsTessaly(m_config)) {
            for (const char* archive : {"progfiles.exe", "docfiles.exe", "demofiles.exe"})
                if (PathExists(folder + archive)) add(folder + archive);
        } else {
            for (const FileItem& item : m_config.GetFileItems()) {
                if (item.flags.obsolete) continue;
                if (item.kind != FileKind::File && item.kind != FileKind::ActiveX) continue;
                const Selectable* s =
                    item.selectable.empty() ? nullptr : m_config.FindSelectable(item.selectable);
                if (s && !s->selected) continue;
                size_t slash = item.path.find_last_of("\\/");
                add(folder +
                    (slash == std::string::npos ? item.path : item.path.substr(slash + 1)));
            }
        }
    } catch (...) {
        InstLog("Warning! Caught unknown exception while estimating disk usage!\n");
    }
    DiskSpace space;
    if (!m_system.DiskSpace(m_target, &space)) {
        InstLog("ERROR! Could not get disk free info!\n");
        return InstallAction::NOTSET;
    }
    InstLog("Disk info: %" PRIu64 " MB (total), %" PRIu64 " MB (free), %" PRIu64
            " MB (user) on %s\n",
            space.total / kMegabyte, space.free / kMegabyte, space.available / kMegabyte,
            m_target.c_str());
    if (required > space.available)
        return Refuse(InstallAction::ERRORDISKFULL,
                      Format("The installation requires %" PRIu64
                             " MBytes disk space \nwhile only %" PRIu64 " MB is available!\n",
                             required / kMegabyte, space.available / kMegabyte));
    return InstallAction::NOTSET;
}

InstallAction CInstallMgr::DecideUninstall() {
    std::string folder = FolderOf(m_options.programFile);
    InstLog("chdir to: %s\n", folder.c_str());
    if (ChangeFolder(folder) != kOk) {
        OpenLog("", InstallAction::UNINSTALL);
        return Refuse(InstallAction::ERRORCONFIG,
                      Format("Cannot change to directory: %s", folder.c_str()));
    }
    try {
        m_config.LoadInstalled(m_options.configPath, m_options.load);
    } catch (const CConfigException& e) {
        OpenLog("", InstallAction::UNINSTALL);
        return Refuse(InstallAction::ERRORCONFIG, e.Message());
    }
    const ReleaseInfo& r = m_config.GetRelease();
    m_target = folder;
    OpenLog(r.product, InstallAction::UNINSTALL);
    InstLog("Velmora Install script version: %s\n", m_system.InstallerVersion().c_str());
    DetermineRights(r.company, r.product);
    if (m_system.IsRunning("corvinst.exe") || m_system.IsRunning("uninst.exe"))
        return Refuse(
            InstallAction::ERRORRUN,
            "Another install or uninstall script is running! Please stop it and try again!");
    std::string program = WithTrailingBackslash(folder) + r.processName + ".exe";
    InstLog("Product to uninstall: %s, version: %s, file version: %s\n", r.product.c_str(),
            r.version.c_str(), m_system.FileVersion(program).c_str());
    InstLog("Windows version: %s\n", m_windows.c_str());

    std::string entry = std::string(kUninstallKey) + "\\" + m_config.GetAddRemove().displayName;
    RegKey key;
    bool hasEntry = !m_config.GetAddRemove().displayName.empty() &&
                    key.Open(RegRoot::LocalMachine, entry, kRegRead) == kOk;
    std::string location, uninstall;
    if (hasEntry) {
        key.QueryString("InstallLocation", &location);
        key.QueryString("UninstallString", &uninstall);
    }
    if (!location.empty() && !SameFolder(location, folder))
        InstLog("Warning! Inconsistent dirs: home=%s, installLocation=%s\n", folder.c_str(),
                location.c_str());
    const std::string& previous = m_config.GetUser();
    if (!previous.empty() && previous != m_sid && !m_admin)
        return Refuse(InstallAction::ERRORUSR,
                      Format("%s was installed by %s!\n\nYou do not have sufficient rights for "
                             "uninstalling %s.\nPlease log in as the appropriate user before "
                             "proceeding!\n",
                             r.product.c_str(), previous.c_str(), r.product.c_str()));
    if (hasEntry && !uninstall.empty() && !IsOurUninstaller(uninstall))
        return Refuse(InstallAction::ERRORMSI,
                      Format("Incompatibility problem! \n%s was installed using a different "
                             "install script!\n\nPlease go to Control Panel -> Add/Remove "
                             "Programs \nfor uninstalling it!",
                             r.product.c_str()));
    m_vars.oldVersion = r.version;
    return InstallAction::UNINSTALL;
}

void CInstallMgr::UpdateVariables() {
    if (!m_config.HasRelease()) return;
    const ReleaseInfo& r = m_config.GetRelease();
    m_vars.action = m_action;
    m_vars.company = r.company;
    m_vars.product = r.product;
    m_vars.productHead = r.product;
    m_vars.newVersion = r.version;
    const Selectable* nutc = m_config.FindSelectable("nutc");
    m_vars.nutc = nutc ? nutc->title : std::string();
    m_vars.products = r.product;
    if (m_action == InstallAction::MULTIINSTALL) {
        std::vector<std::string> titles;
        for (const Selectable& s : m_config.GetSelectables())
            if (s.group == "internal" && s.selected) titles.push_back(s.title);
        if (!titles.empty()) m_vars.products = ComponentsText(titles);
    }
}

void CInstallMgr::MoveLogToTarget() {
    if (m_target.empty()) return;
    try {
        m_log.MoveTo(WithTrailingBackslash(m_target) + LogFileName(m_action));
    } catch (const CInstallException& e) {
        InstLog("%s\n", e.Message().c_str());
    }
}

}  // namespace corv::inst
