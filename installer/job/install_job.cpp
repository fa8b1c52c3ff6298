#include "installer/job/install_job.h"

#include <algorithm>

#include "installer/manager/version.h"
#include "installer/sys/file_util.h"
#include "installer/sys/inst_log.h"
#include "installer/sys/system_info.h"
#include "installer/sys/text_util.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kEnvironmentKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr long kErrSharingViolation = 32;

std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Why(long rc) {
    return ErrorWithText(rc);
}

bool IsEnvironmentKey(RegRoot root, const std::string& key) {
    std::string path = key;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return root == RegRoot::LocalMachine && EqualsNoCase(path, kEnvironmentKey);
}

bool IsFullyQualified(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
    if (path.rfind("\\\\", 0) == 0 && path.size() > 2) return true;
    return !path.empty() && path[0] == '/';  // a POSIX build's own paths
}

// The elements of a list value; ";" separates them, as in PATH.
std::vector<std::string> Elements(const std::string& value) {
    std::vector<std::string> elements;
    for (const std::string& e : Split(value, ';')) {
        std::string t = Trim(e);
        if (!t.empty()) elements.push_back(ToLower(t));
    }
    std::sort(elements.begin(), elements.end());
    return elements;
}

}  // namespace

class CInstallJob::Thread : public WorkerThread {
  public:
    explicit Thread(CInstallJob& job) : m_job(job) {}
    ~Thread() override { Join(kWaitForever); }

  protected:
    unsigned Run() override {
        try {
            return static_cast<unsigned>(m_job.Run());
        } catch (...) {
            return static_cast<unsigned>(JobOutcome::Failed);
        }
    }

  private:
    CInstallJob& m_job;
};

CInstallJob::CInstallJob(CInstallMgr& manager, JobOptions options)
    : m_mgr(manager),
      m_options(std::move(options)),
      m_config(manager.Config()),
      m_ops(m_options.plan                                 ? JobOps::Mode::Plan
            : manager.Action() == InstallAction::UNINSTALL ? JobOps::Mode::Direct
                                                           : JobOps::Mode::Journal) {
    m_target = manager.TargetFolder();
    m_package = manager.Options().packageFolder;
    m_installFor = m_config.HasRelease() ? m_config.GetRelease().installFor : InstallFor::Unset;
    m_places = {m_target, m_installFor, WithTrailingBackslash(m_target) + "uninst.exe"};
    m_ops.FailAt(m_options.failAt);
}

CInstallJob::~CInstallJob() {
    m_thread.reset();
}

void CInstallJob::Start() {
    if (m_thread) throw CInstallException("Internal Error: install job started twice!");
    m_thread = std::make_unique<Thread>(*this);
    if (!m_thread->Start())
        throw CInstallException(m_mgr.Action() == InstallAction::UNINSTALL
                                    ? "Internal Error: Could not start uninstall script"
                                    : "Internal Error: Could not initialize installation script");
}

bool CInstallJob::Join(unsigned timeoutMs) {
    return !m_thread || m_thread->Join(timeoutMs);
}

void CInstallJob::Progress(int* position, std::string* text) const {
    std::lock_guard<Mutex> lock(m_progressLock);
    *position = m_position;
    *text = m_progressText;
}

std::string CInstallJob::Expand(const std::string& text) const {
    return ExpandInstallPlaceholders(text, m_places);
}

std::string CInstallJob::Succeeded(const char* form) const {
    return m_ops.Planning() ? std::string(", not done (dry run)\n") : std::string(form);
}

template <typename T>
bool CInstallJob::Chosen(const T& item) const {
    if (item.selectable.empty()) return true;
    const Selectable* s = m_config.FindSelectable(item.selectable);
    return s && s->selected;
}

bool CInstallJob::AlreadyValid(const ItemFlags& flags) const {
    const CInstallConfig* installed = m_mgr.Installed();
    if (flags.validSince.empty() || !installed) return false;
    int order = 0;
    return CompareVersions(flags.validSince, installed->GetRelease().version, &order) && order <= 0;
}

void CInstallJob::Step(const std::string& text) {
    std::string said = Say(text);
    {
        std::lock_guard<Mutex> lock(m_progressLock);
        m_step = std::min(m_step + 1, m_steps);
        m_position = text == "Finished" ? 100 : m_step * 100 / m_steps;
        m_progressText = said;
    }
    if (m_options.progressPage) {
        m_options.progressPage->Post(kMsgProgress, 0, 0);
        SleepMs(m_options.progressPauseMs);
    } else {
        InstLog("ProgressInfo: %s\n", said.c_str());
    }
}

void CInstallJob::CheckCancel() {
    if (m_cancel) throw Cancelled();
}

void CInstallJob::Fail(const std::string& message) {
    throw CInstallException(message);
}

JobOutcome CInstallJob::Run() {
    if (m_started.exchange(true))
        throw CInstallException("Internal Error: install job started twice!");
    InstallAction action = m_mgr.Action();
    std::string failure;
    JobOutcome outcome = JobOutcome::Failed;
    try {
        switch (action) {
            case InstallAction::INSTALL:
                m_steps = 5;
                Install(false);
                break;
            case InstallAction::UPGRADE:
            case InstallAction::PATCH:
                m_steps = 5;
                Install(true);
                break;
            case InstallAction::UNINSTALL:
                m_steps = 5;
                Uninstall();
                break;
            case InstallAction::WRAPPER:
            case InstallAction::MULTIINSTALL:
                m_steps = 4 * static_cast<int>(m_config.GetSelectables().size()) + 1;
                Components();
                break;
            default:
                throw CInstallException("Internal Error: Could not initialize installation script");
        }
        m_ops.Commit();
        outcome = JobOutcome::Success;
    } catch (const Cancelled&) {
        InstLogText(Say("\n*** User Cancelled $installation of $Product, cleaning up...\n\n"));
        bool tessaly =
            m_config.FindSelectable("tessaly_enu") || m_config.FindSelectable("tessaly_de");
        if (tessaly) {
            // Kept as they are, the copies in the fallback folder too.
            InstLog("Skipping cleanup for %s, keeping all files!\n",
                    m_mgr.Variables().product.c_str());
        } else {
            m_ops.Rollback();
        }
        outcome = JobOutcome::Cancelled;
    } catch (const CInstallerError& e) {
        InstLogText(Say("\n*****\n***** $Installation failed, cleaning up...\n*****\n\n"));
        InstLog("%s\n", e.Message().c_str());
        {
            std::lock_guard<Mutex> lock(m_progressLock);
            m_progressText = Say("$Installation failed, cleaning up...");
        }
        if (m_options.progressPage) m_options.progressPage->Post(kMsgProgress, 0, 0);
        m_ops.Rollback();
        failure = Say("$Installation failed!\r\nReason: ") + e.Message();
        m_mgr.Show(failure);
    } catch (...) {
        InstLogText(Say("\n*****\n***** $Installation failed, cleaning up...\n*****\n\n"));
        m_ops.Rollback();
        m_mgr.Show(Say("Internal Error: Caught unknown exception! Could not $install $Product"));
        failure =
            Say("Caught unknown exception during $installation of $Product! Please check "
                "$logfile for errors");
    }
    Finish(outcome, failure);
    return outcome;
}

void CInstallJob::Finish(JobOutcome outcome, const std::string& failure) {
    m_outcome = outcome;
    TextVariables& vars = m_mgr.Variables();
    vars.completed = outcome == JobOutcome::Success     ? "Completed"
                     : outcome == JobOutcome::Cancelled ? "Cancelled"
                                                        : "Failed";
    m_completeHeader = Say("$Installation $Completed");
    if (outcome == JobOutcome::Success)
        m_completeText =
            Say(IsUpdate(m_mgr.Action())
                    ? "$Product has been successfully $installed to version $newversion."
                    : "$Products has been successfully $installed.");
    else if (outcome == JobOutcome::Cancelled)
        m_completeText = Say("$Installation of $Products cancelled by user.");
    else
        m_completeText = failure;
    InstLog("Complete header: %s\n", m_completeHeader.c_str());
    InstLog("Complete text: %s\n", m_completeText.c_str());
    if (m_ops.Planning()) {
        InstLog("Dry run: %u operations, nothing was changed\n",
                static_cast<unsigned>(m_ops.Plan().size()));
    } else if (outcome == JobOutcome::Success && IsDirectory(m_target)) {
        // A run that was undone leaves the target as it was; its log stays where it is.
        m_mgr.MoveLogToTarget();
    }
    if (m_options.progressPage) m_options.progressPage->Post(kMsgJobEnded, 0, 0);
}

// --- Install and update ---------------------------------------------------------------------

void CInstallJob::StopProduct(const char* format) {
    const std::string& name = m_config.GetRelease().processName;
    if (name.empty()) return;
    unsigned pid = m_mgr.System().IsRunning(name + ".exe");
    if (!pid) return;
    InstLog(format, name.c_str(), pid);
    bool ok = true;
    m_ops.Custom(
        "stop " + name + ".exe (pid " + std::to_string(pid) + ")",
        [&] { return KillProcess(pid, name + ".exe", m_config.GetRelease().product); }, nullptr,
        &ok);
}

void CInstallJob::Install(bool update) {
    StopProduct("Killing old %s process with pid %u\n");
    CheckTarget();
    SetUpFallback();

    Step(update ? "Updating programs group..." : "Initializing programs group...");
    ProgramsGroup(update);
    CheckCancel();

    Step(update ? "Updating files..." : "Copying files...");
    for (const FileItem& item : m_config.GetFileItems()) {
        CheckCancel();
        if (Chosen(item)) FileItemStep(item);
    }

    Step("Updating registry...");
    for (const RegistryItem& item : m_config.GetRegistryItems()) {
        CheckCancel();
        if (Chosen(item)) RegistryItemStep(item);
    }
    if (m_environmentChanged && !m_ops.Planning()) BroadcastEnvironmentChange(kBroadcastWaitMs);
    if (m_installFor == InstallFor::AllUsers && !IsWindows98OrMe(m_mgr.WindowsVersionName()) &&
        m_options.perUserCleanup && !m_ops.Planning()) {
        InstLog("Cleaning up registry...\n");
        InstLog(m_options.perUserCleanup() ? "...finished cleaning up registry\n"
                                           : "...there were errors during registry cleanup\n");
    }
    CheckCancel();

    Step("Executing script...");
    bool tessaly = m_config.FindSelectable("tessaly_enu") || m_config.FindSelectable("tessaly_de");
    if (tessaly) {
        // The component archives unpack themselves into the target folder.
        const struct {
            const char* archive;
            bool chosen;
        } archives[] = {{"\\progfiles.exe", m_options.tessalyProgram},
                        {"\\docfiles.exe", m_options.tessalyDocs},
                        {"\\demofiles.exe", m_options.tessalyDemos}};
        for (const auto& a : archives) {
            if (!a.chosen) continue;
            ScriptItem archive;
            archive.program = m_package + a.archive;
            archive.folder = m_target;
            archive.show = false;
            archive.mode = ScriptMode::Update;
            CheckCancel();
            ScriptStep(archive);
        }
    }
    for (const ScriptItem& item : m_config.GetScripts()) {
        CheckCancel();
        if (item.kind == ScriptKind::Exec && Chosen(item)) ScriptStep(item);
    }
    CheckCancel();

    if (update) MergeInstalledDescription();
    Step("Finished");
}

void CInstallJob::CheckTarget() {
    auto refuse = [&](const std::string& why) {
        Fail(why + "\n\nPlease specify another target folder!\n");
    };
    const std::string& t = m_target;
    // The drive's colon is no part of a name; nor are the separators of a POSIX build's own
    // absolute folder in front.
    std::string rest = t.size() >= 2 && t[1] == ':' ? t.substr(2) : t;
    if (!rest.empty() && rest[0] == '/') rest = rest.substr(rest.find_last_of('/') + 1);
    if (HasForbiddenCharacter(rest))
        refuse(std::string("Target folder cannot contain any of the characters ") +
               kForbiddenNameCharacters + " \n\n" + t);
    if (!IsFullyQualified(t))
        refuse(Format("Target folder must be a fully qualified pathname\n\n%s", t.c_str()));
    if (!PathExists(t)) {
        InstLog("Target folder %s does not exist. Creating it...", t.c_str());
        long rc = m_ops.CreateFolderTree(t);
        if (rc != kOk) {
            InstLog("failed\n");
            refuse(Format("Could not create target folder!\n\n%s", t.c_str()));
        }
        InstLogText(m_ops.Planning() ? "not done (dry run)\n" : "done\n");
    } else if (!IsDirectory(t)) {
        refuse(
            Format("Target folder \n\n   %s \n\nis not a folder. \n\nThere already exists a "
                   "file with the same name.",
                   t.c_str()));
    }
    if (IsDirectory(t) && !CanCreateFiles(t))
        refuse(Format("You are not allowed to create files in %s \n\n", t.c_str()));
}

void CInstallJob::SetUpFallback() {
    std::string folder = WithTrailingBackslash(m_target) + "fallback";
    if (!IsDirectory(folder) && m_ops.CreateFolder(folder) != kOk) {
        InstLog("Fallback disabled: Could not create fallback folder: %s\n", folder.c_str());
        return;
    }
    m_ops.SetFallbackFolder(folder);
}

void CInstallJob::ProgramsGroup(bool update) {
    const AddRemoveInfo& a = m_config.GetAddRemove();
    if (a.displayName.empty()) {
        InstLog("Not able to init Add/Remove Programs group, displayName is empty.\n");
    } else {
        std::string key = std::string(kUninstallKey) + "\\" + a.displayName;
        std::string full = "HKEY_LOCAL_MACHINE\\" + key;
        auto result = [&](long rc) { return rc == kOk ? Succeeded() : ", failed(ignored)\n"; };
        InstLog("Creating regkey: %s%s", full.c_str(),
                result(m_ops.CreateKey(RegRoot::LocalMachine, key)).c_str());
        const std::pair<const char*, std::string> values[] = {
            {"DisplayName", a.displayName},   {"UninstallString", m_places.uninstallString},
            {"InstallLocation", m_target},    {"DisplayIcon", Expand(a.displayIcon)},
            {"UrlInfoAbout", a.urlInfoAbout}, {"Publisher", a.publisher},
            {"Contact", a.contact},           {"DisplayVersion", a.displayVersion},
        };
        for (const auto& [name, value] : values) {
            long rc = m_ops.SetValue(RegRoot::LocalMachine, key, MakeStringValue(name, value));
            InstLog("Creating regkey: %s\\%s%s", full.c_str(), name, result(rc).c_str());
        }
    }
    if (!m_options.installerFile.empty()) {
        std::string uninstaller = m_places.uninstallString;
        InstLog("add file: %s", uninstaller.c_str());
        long rc = m_ops.CopyFile(m_options.installerFile, uninstaller);
        if (rc != kOk) {
            InstLog(", Failed to copy: %s\n", Why(rc).c_str());
            Fail(Format("Could not copy %s to %s: %s", m_options.installerFile.c_str(),
                        uninstaller.c_str(), Why(rc).c_str()));
        }
        InstLogText(Succeeded());
    }
    if (!update) WriteInstalledDescription();
}

void CInstallJob::WriteInstalledDescription() {
    std::string path = WithTrailingBackslash(m_target) + "uninst.cfg";
    CInstallConfig installed = m_config;
    installed.SetUser(m_mgr.UserSid());
    installed.GetRelease().targetFolder = m_target;
    installed.GetAddRemove().uninstallString = m_places.uninstallString;
    installed.GetAddRemove().installLocation = m_target;
    InstLog("add file: %s", path.c_str());
    std::string error;
    long rc = m_ops.WriteFile(
        path,
        [&]() -> long {
            try {
                installed.Save(path);
                return kOk;
            } catch (const CConfigException& e) {
                error = e.Message();
                return kErrInvalidData;
            }
        },
        "the installed description");
    if (rc != kOk) {
        InstLog(", Failed to write: %s\n", error.empty() ? Why(rc).c_str() : error.c_str());
        Fail(error.empty() ? Format("Could not write %s: %s", path.c_str(), Why(rc).c_str())
                           : error);
    }
    InstLogText(Succeeded());
}

void CInstallJob::MergeInstalledDescription() {
    std::string path = WithTrailingBackslash(m_target) + "uninst.cfg";
    std::string mrg = WithTrailingBackslash(m_target) + "uninst.mrg";
    LoadOptions load;
    load.windowsVersion = m_mgr.Options().load.windowsVersion;
    load.placeholders = m_mgr.Options().load.placeholders;
    std::string error;
    long rc = m_ops.WriteFile(
        path,
        [&]() -> long {
            try {
                CInstallConfig merged;
                merged.LoadInstalled(path, load);
                merged.Merge(m_config);
                merged.Save(mrg);
                long moved = ReplaceFileBy(mrg, path);
                if (moved != kOk) error = Why(moved);
                return moved;
            } catch (const CInstallerError& e) {
                error = e.Message();
                return kErrInvalidData;
            }
        },
        "the merged installed description");
    if (rc != kOk) {
        InstLog("%s\n", error.c_str());
        if (PathExists(mrg)) RemoveFile(mrg);
        Fail("Could not merge new updates into current config file!");
    }
}

void CInstallJob::FileItemStep(const FileItem& original) {
    FileItem item = original;
    item.path = Expand(item.path);
    for (std::string& f : item.fields) f = Expand(f);
    const std::string& path = item.path;
    const char* kind = FileKindName(item.kind);

    if (item.kind == FileKind::Dir) {
        if (item.flags.obsolete) {
            InstLog("del obsolete dir: %s", path.c_str());
            if (!IsDirectory(path)) {
                InstLogText(", dir missing (ignored)\n");
                return;
            }
            long rc = m_ops.RemoveFolder(path);
            InstLogText(rc == kOk ? Succeeded()
                                  : ", Warning: Failed to delete dir: " + Why(rc) + " (ignored)\n");
            return;
        }
        InstLog("add dir: %s", path.c_str());
        long rc = m_ops.CreateFolderTree(path);
        if (rc != kOk) {
            InstLog(", Failed to create dir: %s\n", Why(rc).c_str());
            Fail(Format("Could not create directory : %s", path.c_str()));
        }
        InstLogText(Succeeded());
        return;
    }

    if (item.kind == FileKind::Link) {
        if (item.flags.obsolete) {
            InstLog("del obsolete link: %s", path.c_str());
            if (!PathExists(path)) {
                InstLogText(", link missing\n");
                return;
            }
            long rc = m_ops.RemoveFile(path);
            InstLogText(rc == kOk
                            ? Succeeded()
                            : ", Warning: Failed to delete link: " + Why(rc) + " (ignored)\n");
            return;
        }
        if (AlreadyValid(item.flags)) {
            InstLog("keeping link: %s\n", path.c_str());
            return;
        }
        InstLog("add link: %s", path.c_str());
        // The fields after the link's path: its target, its working folder and its arguments.
        ShellLinkSpec link;
        link.path = path;
        link.target = item.fields.size() > 0 ? item.fields[0] : std::string();
        link.folder = item.fields.size() > 1 ? item.fields[1] : std::string();
        link.arguments = item.fields.size() > 2 ? item.fields[2] : std::string();
        long rc = m_ops.CreateFolderTree(FolderOf(path));
        if (rc == kOk) rc = m_ops.CreateLink(link);
        if (rc != kOk) {
            InstLog(", Failed to create link: %s\n", Why(rc).c_str());
            Fail(Format("Could not create link %s: %s", path.c_str(), Why(rc).c_str()));
        }
        InstLogText(Succeeded());
        return;
    }

    // file and activex
    bool activex = item.kind == FileKind::ActiveX;
    if (item.flags.obsolete) {
        if (activex && PathExists(path))
            InstLog(RegisterActiveX(path, true, true)
                        ? "Unregister obsolete activex control: %s, succeeded\n"
                        : "Warning: Failed to unregister obsolete activex control: %s\n",
                    path.c_str());
        InstLog("del obsolete %s: %s", kind, path.c_str());
        if (!PathExists(path)) {
            InstLogText(", file missing (ignored)\n");
            return;
        }
        long rc = m_ops.RemoveFile(path);
        InstLogText(rc == kOk ? Succeeded()
                              : ", Warning: Failed to delete: " + Why(rc) + " (ignored)\n");
        return;
    }
    if (AlreadyValid(item.flags)) {
        InstLog("keeping file: %s\n", path.c_str());
        return;
    }
    if (activex && PathExists(path))
        InstLog(RegisterActiveX(path, true, true)
                    ? "Unregister old activex control: %s, succeeded\n"
                    : "Warning: Failed to unregister old activex control: %s\n",
                path.c_str());
    InstLog("add %s: %s", kind, path.c_str());
    std::string source = WithTrailingBackslash(m_package) + FileName(path);
    if (!m_ops.Planning() && (!PathExists(source) || IsDirectory(source))) {
        InstLog(", Failed to copy: the package has no %s\n", FileName(path).c_str());
        Fail(Format("Internal error: Source file does not exist: %s \n\n pwd: %s\n", source.c_str(),
                    CurrentFolder().c_str()));
    }
    long rc = m_ops.CreateFolderTree(FolderOf(path));
    if (rc == kOk) rc = m_ops.CopyFile(source, path);
    if (rc != kOk) {
        InstLog(", Failed to copy: %s\n", Why(rc).c_str());
        Fail(Format("CopyFile failed, lasterror: %u\n", static_cast<unsigned>(rc)));
    }
    InstLogText(Succeeded());
    if (activex)
        InstLog(RegisterActiveX(path, false, true) ? "Register activex control: %s, succeeded\n"
                                                   : "Warning: Failed to register activex "
                                                     "control: %s\n",
                path.c_str());
}

bool CInstallJob::RegisterActiveX(const std::string& path, bool unregister, bool undoable) {
    std::string root = GetEnv("SYSTEMROOT");
    if (root.empty()) root = "C:\\WINDOWS";
    std::string command = root + "\\SYSTEM32\\REGSVR32.EXE";
    if (!PathExists(command)) command = root + "\\SYSTEM\\REGSVR32.EXE";
    if (!PathExists(command)) {
        InstLog("Warning: Could not find command: REGSVR32.EXE in PATH: %s\\SYSTEM32;%s\\SYSTEM \n",
                root.c_str(), root.c_str());
        return false;
    }
    std::string quoted = "\"" + path + "\"";
    std::string parameters = (unregister ? "/s /u " : "/s ") + quoted;
    std::string undo = (unregister ? "/s " : "/s /u ") + quoted;
    CommandEnd end = m_ops.Run(command, parameters, "", false, kActiveXWaitMs, undo, undoable);
    if (end.outcome == ProcessWait::Failed)
        InstLog("Warning: Failed to start process: %s %s\n", command.c_str(), parameters.c_str());
    else if (end.outcome == ProcessWait::Timeout)
        InstLog("Warning: WaitForProcess timed out: %s %s\n", command.c_str(), parameters.c_str());
    return end.Succeeded();
}

void CInstallJob::RegistryItemStep(const RegistryItem& original) {
    std::string rootName = Expand(original.key.root);
    std::string key = Expand(original.key.keyPath);
    std::string name = Expand(original.key.valueName);
    std::string data = Expand(original.key.data);
    std::string shown = rootName + "\\" + key + (name.empty() ? "" : "\\" + name);
    RegRoot root;
    bool known = ResolveRootName(rootName, m_installFor, &root);

    if (original.flags.obsolete) {
        InstLog("del obsolete regkey: %s", shown.c_str());
        long rc = !known         ? kErrInvalidParameter
                  : name.empty() ? m_ops.DeleteKey(root, key)
                                 : m_ops.DeleteValue(root, key, name);
        if (rc == kOk)
            InstLogText(Succeeded());
        else if (rc == kErrFileNotFound)
            InstLogText(", missing (ignored)\n");
        else if (rc == kErrKeyHasChildren)
            InstLogText(", Warning: Failed to delete, the key is not empty and stays (ignored)\n");
        else
            InstLogText(", Warning: Failed to delete: " + Why(rc) + " (ignored)\n");
        return;
    }
    if (AlreadyValid(original.flags)) {
        InstLog("keeping regkey: %s\n", shown.c_str());
        return;
    }
    if (NoCase(name, "TESSALY_FONTS_RUSSIAN") && !m_options.russianFont) return;
    InstLog("Creating regkey: %s", shown.c_str());
    if (!known) {
        InstLog("Failed to create: Unknown Registry key: %s\n", rootName.c_str());
        Fail(Format("Unknown Registry key: %s\n", rootName.c_str()));
    }
    long rc = kOk;
    if (name.empty() || original.key.type == RegItemType::None) {
        rc = m_ops.CreateKey(root, key);
    } else {
        RegValue value;
        if (original.key.type == RegItemType::Dword) {
            uint32_t number = 0;
            if (!ParseDword(data, &number)) {
                InstLog("Failed to write: %s is not a REG_DWORD number\n", data.c_str());
                Fail(Format("Cannot write %s: %s is not a REG_DWORD number", shown.c_str(),
                            data.c_str()));
            }
            value = MakeDwordValue(name, number);
        } else {
            if (NoCase(name, "QUARN_FONTS_RUSSIAN")) data = m_options.russianFont ? "1" : "0";
            value = MakeStringValue(name, data);
        }
        if (original.flags.ignoreOrder) {
            RegKey existing;
            RegValue present;
            if (existing.Open(root, key, kRegRead) == kOk &&
                existing.QueryValue(name, &present) == kOk &&
                (present.type == RegType::Sz || present.type == RegType::ExpandSz)) {
                std::string old = ValueText(present);
                InstLog("\nignoreorder:    %s\nexisting value: %s\n", data.c_str(), old.c_str());
                if (Elements(old) == Elements(data)) {
                    InstLogText(m_ops.Planning() ? ", not done (dry run)\n"
                                                 : ", kept (the same elements)\n");
                    return;
                }
            }
        }
        rc = m_ops.SetValue(root, key, value);
        if (rc == kOk && IsEnvironmentKey(root, key)) m_environmentChanged = true;
    }
    if (rc != kOk) {
        InstLog("Failed to write: %s\n", Why(rc).c_str());
        Fail(Format("Could not write %s: %s", shown.c_str(), Why(rc).c_str()));
    }
    InstLogText(Succeeded(",succeeded\n"));
}

void CInstallJob::ScriptStep(const ScriptItem& original) {
    std::string program = Expand(original.program);
    std::string folder = Expand(original.folder);
    std::string parameters = Expand(original.parameters);
    std::string target = Expand(original.target);

    if (original.flags.obsolete) {
        InstLog("skipping obsolete script: %s\n", program.c_str());
        if (folder.empty()) return;
        InstLog("del obsolete script dir: %s", folder.c_str());
        if (!IsDirectory(folder)) {
            InstLogText(", dir missing (ignored)\n");
            return;
        }
        long rc = m_ops.RemoveFolder(folder);
        InstLogText(rc == kOk ? Succeeded()
                              : ", Warning: Failed to delete dir: " + Why(rc) + " (ignored)\n");
        return;
    }
    if (AlreadyValid(original.flags)) {
        if (!folder.empty() && IsDirectory(folder))
            InstLog("skipping script (target is up-to-date): %s, keeping script dir: %s\n",
                    program.c_str(), folder.c_str());
        else
            InstLog("skipping script (target is up-to-date): %s\n", program.c_str());
        return;
    }
    bool exists = !target.empty() && PathExists(target);
    if (exists && original.mode == ScriptMode::Keep) {
        InstLog("keeping %s, script not executed: %s\n", target.c_str(), program.c_str());
        return;
    }
    if (exists && original.mode == ScriptMode::Overwrite) {
        long rc = m_ops.RemoveFile(target);
        if (rc != kOk) {
            InstLog("Failed to remove %s: %s\n", target.c_str(), Why(rc).c_str());
            Fail(Format("Could not remove %s: %s", target.c_str(), Why(rc).c_str()));
        }
        InstLog("execute script (overwrite): %s", program.c_str());
    } else if (exists) {
        InstLog("execute script (update): %s", program.c_str());
    } else {
        InstLog("execute script: %s", program.c_str());
    }
    // What the script makes or changes is put back by a rollback.
    if (!target.empty()) {
        long rc = m_ops.Keep(target);
        if (rc != kOk) {
            InstLog(", Failed to keep %s: %s\n", target.c_str(), Why(rc).c_str());
            Fail(Format("Could not keep %s: %s", target.c_str(), Why(rc).c_str()));
        }
    }
    CommandEnd end = m_ops.Run(program, parameters, folder, original.show, kWaitForever);
    if (end.Succeeded()) {
        InstLogText(m_ops.Planning() ? ", not done (dry run)\n" : "...finished\n");
        return;
    }
    InstLogText("\n");
    InstLog("Failed to execute script: %s\n", program.c_str());
    ++m_errors;
    std::string why = end.outcome == ProcessWait::Ended
                          ? Format("it ended with exit code %u", end.exitCode)
                          : std::string("it could not be started or waited for");
    Fail(Format("Failed to execute script: %s (%s)", program.c_str(), why.c_str()));
}

// --- Uninstall ------------------------------------------------------------------------------

void CInstallJob::Uninstall() {
    StopProduct("Killing %s process with pid %u\n");
    const auto& files = m_config.GetFileItems();

    Step("Removing files...");
    InstLog("CInstallJob::RemoveFiles()\n");
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        if (it->kind != FileKind::Dir && Chosen(*it) && !it->flags.obsolete) RemoveFileItem(*it);

    Step("Removing files...");
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        if (it->kind == FileKind::Dir && Chosen(*it) && !it->flags.obsolete) RemoveFileItem(*it);

    Step("Updating registry...");
    // Values first, then keys: a key item goes only once nothing remains in it.
    const auto& registry = m_config.GetRegistryItems();
    for (int keys = 0; keys < 2; ++keys)
        for (auto it = registry.rbegin(); it != registry.rend(); ++it)
            if (it->key.IsKey() == (keys == 1) && Chosen(*it) && !it->flags.obsolete)
                RemoveRegistryItem(*it);

    Step("Updating programs group...");
    RemoveProgramsGroup();
    const Selectable* nutc = m_config.FindSelectable("nutc");
    if (nutc && nutc->group == "internal" && nutc->selected) DeregisterNutc();
    if (m_errors > 0)
        m_mgr.Show(
            Say("There were errors during $install of $Product! Please see $logfile for "
                "errors"));
    Step("Finished");
}

void CInstallJob::RemoveFileItem(const FileItem& original) {
    std::string path = Expand(original.path);
    const char* kind = FileKindName(original.kind);
    if (original.kind == FileKind::Dir) {
        InstLog("del dir: %s", path.c_str());
        if (!IsDirectory(path)) {
            InstLogText(", dir missing (ignored)\n");
            return;
        }
        long rc = m_ops.RemoveFolder(path);
        // A folder that still holds files the user made stays.
        InstLogText(rc == kOk ? Succeeded()
                              : ", Warning: Failed to delete dir: " + Why(rc) + " (ignored)\n");
        return;
    }
    if (original.kind == FileKind::Link) {
        InstLog("del link: %s", path.c_str());
        if (!PathExists(path)) {
            InstLogText(", link missing\n");
            return;
        }
    } else {
        if (original.kind == FileKind::ActiveX && PathExists(path))
            InstLog(RegisterActiveX(path, true, false)
                        ? "Unregister activex control: %s, succeeded\n"
                        : "Warning: Failed to unregister activex control: %s\n",
                    path.c_str());
        InstLog("del %s: %s", kind, path.c_str());
        if (!PathExists(path)) {
            InstLogText(", file missing (ignored)\n");
            return;
        }
    }
    long rc = m_ops.RemoveFile(path);
    if (rc == kOk) {
        InstLogText(Succeeded());
    } else if (rc == kErrSharingViolation) {
        InstLogText(", Warning: Sharing violation, failed to delete: " + Why(rc) + "\n");
    } else {
        InstLogText(", ERROR: Failed to delete: " + Why(rc) + "\n");
        ++m_errors;
    }
}

void CInstallJob::RemoveRegistryItem(const RegistryItem& original) {
    std::string rootName = Expand(original.key.root);
    std::string key = Expand(original.key.keyPath);
    std::string name = Expand(original.key.valueName);
    std::string shown = rootName + "\\" + key + (name.empty() ? "" : "\\" + name);
    RegRoot root;
    if (!ResolveRootName(rootName, m_installFor, &root)) {
        InstLog("del regkey: %s, ERROR: Failed to delete: Unknown Registry key: %s\n",
                shown.c_str(), rootName.c_str());
        ++m_errors;
        return;
    }
    if (!name.empty() && IsEnvironmentKey(root, key)) {
        InstLog("keeping regkey (system environment variable): %s\n", shown.c_str());
        return;
    }
    InstLog("del regkey: %s", shown.c_str());
    long rc = name.empty() ? m_ops.DeleteKey(root, key) : m_ops.DeleteValue(root, key, name);
    if (rc == kOk) {
        InstLogText(Succeeded());
    } else if (rc == kErrFileNotFound || rc == kErrPathNotFound) {
        InstLogText(", missing (ignored)\n");
    } else if (rc == kErrKeyHasChildren) {
        // It holds what the package did not put there.
        InstLogText(", Warning: Failed to delete, the key is not empty and stays (ignored)\n");
    } else {
        InstLogText(", ERROR: Failed to delete: " + Why(rc) + "\n");
        ++m_errors;
    }
}

void CInstallJob::RemoveProgramsGroup() {
    const std::string& name = m_config.GetAddRemove().displayName;
    if (name.empty()) {
        InstLog(
            "Not able to remove program from Add/Remove Programs group, displayName is "
            "empty.\n");
        return;
    }
    std::string key = std::string(kUninstallKey) + "\\" + name;
    InstLog("del regkey: HKEY_LOCAL_MACHINE\\%s", key.c_str());
    long rc = m_ops.DeleteOwnTree(RegRoot::LocalMachine, key);
    if (rc == kOk) {
        InstLogText(Succeeded());
    } else {
        InstLogText(", ERROR: Failed to delete: " + Why(rc) + "\n");
        ++m_errors;
    }
}

// --- Wrapper and multi-install ---------------------------------------------------------------

void CInstallJob::Components() {
    // A wrapper that only starts other packages' installers may have no folder of its own.
    if (!m_target.empty() || m_mgr.Action() != InstallAction::WRAPPER) {
        CheckTarget();
        SetUpFallback();
    }
    auto scriptsOf = [&](const Selectable& s) {
        Step(Format("Executing %s script...", s.title.c_str()));
        for (const ScriptItem& item : m_config.GetScripts()) {
            CheckCancel();
            if (item.kind == ScriptKind::Exec && NoCase(item.selectable, s.id)) ScriptStep(item);
        }
    };
    bool tessaly = false;
    for (const Selectable& s : m_config.GetSelectables())
        if (s.selected && (NoCase(s.id, "tessaly_enu") || NoCase(s.id, "tessaly_de")))
            tessaly = true;

    for (const Selectable& s : m_config.GetSelectables()) {
        if (!s.selected || s.group != "internal") continue;
        CheckCancel();
        scriptsOf(s);
        std::string folder = WithTrailingBackslash(m_target) + s.id;
        if (!IsDirectory(folder) && m_ops.CreateFolder(folder) != kOk) {
            InstLog("Could not create subdir: %s\n", folder.c_str());
            Fail(Format("Could not create subdir: %s\n", folder.c_str()));
        }
        bool own =
            NoCase(s.id, "tessaly_enu") || NoCase(s.id, "tessaly_de") || NoCase(s.id, "nutc");
        if (!own) continue;
        Step("Initializing programs group...");
        ProgramsGroup(false);
        Step("Copying files...");
        for (const FileItem& item : m_config.GetFileItems()) {
            CheckCancel();
            if (NoCase(item.selectable, s.id)) FileItemStep(item);
        }
        Step("Updating registry...");
        for (const RegistryItem& item : m_config.GetRegistryItems()) {
            CheckCancel();
            if (NoCase(item.selectable, s.id)) RegistryItemStep(item);
        }
        Step(Format("Extracting %s components...", s.title.c_str()));
        const struct {
            const char* archive;
            bool chosen;
        } archives[] = {{"\\progfiles.exe", m_options.tessalyProgram},
                        {"\\docfiles.exe", m_options.tessalyDocs},
                        {"\\demofiles.exe", m_options.tessalyDemos}};
        for (const auto& a : archives) {
            std::string archive = m_package + a.archive;
            if (!a.chosen || !PathExists(archive) || NoCase(s.id, "nutc")) continue;
            ScriptItem unpack;
            unpack.program = archive;
            unpack.folder = folder;
            unpack.show = false;
            unpack.mode = ScriptMode::Update;
            CheckCancel();
            ScriptStep(unpack);
        }
        if (NoCase(s.id, "nutc")) {
            Step("Invoking NuTCRACKER install script...");
            InstallNutc(s, folder);
            if (tessaly) RegisterTessaly(m_config.GetRelease().product);
        }
    }
    for (const Selectable& s : m_config.GetSelectables())
        if (s.selected && s.group == "wrapper") scriptsOf(s);
    Step("Finished");
}

bool CInstallJob::LoadNutins(std::string* message) {
    if (m_nutins.IsLoaded()) return true;
    return m_nutins.Load(m_options.nutinsLibrary, message) == kOk;
}

void CInstallJob::InstallNutc(const Selectable& nutc, const std::string& folder) {
    const std::string& title = nutc.title;
    if (m_ops.Planning()) {
        bool ok = true;
        m_ops.Custom(
            "run the NuTCRACKER install script of " + title, [] { return true; }, nullptr, &ok);
        return;
    }
    std::string message;
    if (!LoadNutins(&message)) {
        InstLog("NuTCRACKER install: %s install script failed, reason %s\n", title.c_str(),
                message.c_str());
        Fail(Format("NuTCRACKER install: %s install script failed, reason %s", title.c_str(),
                    message.c_str()));
    }
    try {
        if (!m_nutins.HasRights()) {
            InstLog("NuTCRACKER install: You do not have sufficient rights for installing %s\n",
                    title.c_str());
            Fail(Format("NuTCRACKER install: You do not have sufficient rights for installing %s",
                        title.c_str()));
        }
        bool ok = true;
        m_ops.Custom(
            "run the NuTCRACKER install script of " + title,
            [&] { return m_nutins.InstallOe("NuTC 7.5", m_options.nutcRoot, folder); }, nullptr,
            &ok);
        if (!ok) {
            std::string reason = m_nutins.LastErrorName();
            InstLog("NuTCRACKER install: %s install script failed, reason %s\n", title.c_str(),
                    reason.c_str());
            Fail(Format("NuTCRACKER install: %s install script failed, reason %s", title.c_str(),
                        reason.c_str()));
        }
        if (!m_nutins.SetPreferredXServer("Hummingbird"))
            InstLog("NuTCRACKER install: failed to set preferred XServer, reason %s\n",
                    m_nutins.LastErrorName().c_str());
    } catch (const CInstallerError&) {
        throw;
    } catch (...) {
        InstLog("NuTCRACKER install: Caught unknown exception while running %s install script\n",
                title.c_str());
        Fail(
            Format("NuTCRACKER install: Caught unknown exception while running %s install "
                   "script",
                   title.c_str()));
    }
}

void CInstallJob::RegisterTessaly(const std::string& product) {
    InstLog("Registering %s application in NuTCRACKER\n", product.c_str());
    const std::string& version = m_config.GetRelease().version;
    std::vector<uint32_t> fields;
    ParseVersion(version, &fields);
    int major = fields.size() > 0 ? static_cast<int>(fields[0]) : 0;
    int minor = fields.size() > 1 ? static_cast<int>(fields[1]) : 0;
    if (fields.size() < 1)
        InstLog("Warning: illegal format on version number in %s, major is %d \n", version.c_str(),
                major);
    if (fields.size() < 2)
        InstLog("Warning: illegal format on version number in %s, minor is %d \n", version.c_str(),
                minor);
    if (!m_nutins.HasRights()) {
        InstLog("Warning: User does not have sufficient rights for updating %s\n", product.c_str());
        return;
    }
    bool ok = true;
    m_ops.Custom(
        "register " + product + " in NuTCRACKER",
        [&] { return m_nutins.RegisterApp("Tessaly AS", product, major, minor); },
        [this, product] { m_nutins.DeregisterApp("Tessaly AS", product); }, &ok);
    if (!ok)
        InstLog("Warning: failed to registrer %s, reason %s\n", product.c_str(),
                m_nutins.LastErrorName().c_str());
}

void CInstallJob::DeregisterNutc() {
    const std::string& product = m_config.GetRelease().product;
    if (m_ops.Planning()) {
        bool ok = true;
        m_ops.Custom(
            "deregister " + product + " from NuTCRACKER", [] { return true; }, nullptr, &ok);
        return;
    }
    try {
        std::string message;
        if (!LoadNutins(&message)) {
            InstLog("NuTCRACKER install: failed to deregister %s, reason %s\n", product.c_str(),
                    message.c_str());
            return;
        }
        if (!m_nutins.DeregisterApp("Tessaly AS", product))
            InstLog("NuTCRACKER install: failed to deregister %s, reason %s\n", product.c_str(),
                    m_nutins.LastErrorName().c_str());
    } catch (...) {
        InstLog("NuTCRACKER uninstall: Caught unknown exception while uninstalling %s \n",
                product.c_str());
    }
}

std::string DryRun(CInstallMgr& manager, JobOptions options) {
    std::string out = "Install action: " + ActionText(manager.Action()) + "\n";
    if (!IsRun(manager.Action())) return out;
    options.plan = true;
    options.progressPage = nullptr;
    CInstallJob job(manager, options);
    job.Run();
    const std::vector<std::string>& plan = job.PlanLines();
    for (size_t i = 0; i < plan.size(); ++i)
        out += Format("%4u. %s\n", static_cast<unsigned>(i + 1), plan[i].c_str());
    out += plan.empty() ? "Nothing to do.\n" : "Nothing was changed.\n";
    return out;
}

}  // namespace corv::inst
