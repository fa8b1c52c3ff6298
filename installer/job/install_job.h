// The install job: carries out the decided action on the description. It copies and removes
// files, creates shell links, registers ActiveX controls, writes and removes registry values,
// runs scripts and hands components to the NuTCRACKER library, reports progress and, when a
// run fails or is cancelled, puts the system back as it was.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "installer/job/job_ops.h"
#include "installer/job/nutins.h"
#include "installer/manager/install_mgr.h"
#include "installer/manager/placeholders.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace corv::inst {

constexpr unsigned kMsgProgress = 0x82EE;  // WM_APP + 750: new progress text and position
constexpr unsigned kMsgJobEnded = 0x82EF;  // WM_APP + 751: the job has ended
constexpr unsigned kActiveXWaitMs = 5000;  // REGSVR32 is waited for this long
constexpr unsigned kBroadcastWaitMs = 5000;

struct JobOptions {
    std::string installerFile;  // copied into the target folder as "uninst.exe"
    std::string nutinsLibrary = "nutins.dll";
    std::string nutcRoot = "C:\\NuTCROOT";  // the NuTCRACKER folder of the wizard's page
    // The Progress page; nullptr for a silent run, whose progress texts go to the log.
    MessagePoster* progressPage = nullptr;
    unsigned progressPauseMs = 500;  // after each progress message, so the page can show it
    bool plan = false;               // dry run: list the operations, change nothing
    unsigned failAt = 0;             // test switch: operation number n fails
    bool russianFont = false;        // the Russian font choice of the wizard
    // The Tessaly components chosen on the wizard's page.
    bool tessalyProgram = true, tessalyDocs = true, tessalyDemos = true;
    // The all-users cleanup of per-user settings, run after the registry step of an install
    // or update for all users; returns false when something could not be removed. Unset: no
    // cleanup.
    std::function<bool()> perUserCleanup;
};

enum class JobOutcome { Success, Cancelled, Failed };

class CInstallJob {
  public:
    CInstallJob(CInstallMgr& manager, JobOptions options);
    ~CInstallJob();
    CInstallJob(const CInstallJob&) = delete;
    CInstallJob& operator=(const CInstallJob&) = delete;

    // Runs the job on this thread. A second start of the same job throws CInstallException
    // "Internal Error: install job started twice!".
    JobOutcome Run();
    // Runs the job on its own thread (the Progress page); the end is posted.
    void Start();
    // Waits for the job's thread; true when it has ended.
    bool Join(unsigned timeoutMs);
    // Asks the job to stop; it stops between items and puts everything back.
    void Cancel() { m_cancel = true; }

    // The last progress position (0 to 100) and text, for the Progress page.
    void Progress(int* position, std::string* text) const;
    JobOutcome Outcome() const { return m_outcome; }
    const std::string& CompleteHeader() const { return m_completeHeader; }
    const std::string& CompleteText() const { return m_completeText; }
    unsigned Errors() const { return m_errors; }
    // The dry run's operations, in order.
    const std::vector<std::string>& PlanLines() const { return m_ops.Plan(); }

  private:
    class Cancelled {};
    class Thread;

    void Install(bool update);
    void Uninstall();
    void Components();
    void Step(const std::string& text);
    void CheckCancel();
    [[noreturn]] void Fail(const std::string& message);
    void StopProduct(const char* format);
    void CheckTarget();
    void SetUpFallback();
    void ProgramsGroup(bool update);
    void RemoveProgramsGroup();
    void WriteInstalledDescription();
    void MergeInstalledDescription();
    void FileItemStep(const FileItem& item);
    void RegistryItemStep(const RegistryItem& item);
    void ScriptStep(const ScriptItem& item);
    void RemoveFileItem(const FileItem& item);
    void RemoveRegistryItem(const RegistryItem& item);
    bool RegisterActiveX(const std::string& path, bool unregister, bool undoable);
    void InstallNutc(const Selectable& nutc, const std::string& folder);
    void RegisterTessaly(const std::string& title);
    void DeregisterNutc();
    bool LoadNutins(std::string* message);
    void Finish(JobOutcome outcome, const std::string& failure);

    // Whether the item's selectable (if any) is chosen.
    template <typename T>
    bool Chosen(const T& item) const;
    bool AlreadyValid(const ItemFlags& flags) const;
    std::string Expand(const std::string& text) const;
    std::string Say(const std::string& text) const { return m_mgr.Substitute(text); }
    // ", succeeded\n", or in a dry run that nothing was done.
    std::string Succeeded(const char* form = ", succeeded\n") const;

    CInstallMgr& m_mgr;
    JobOptions m_options;
    const CInstallConfig& m_config;
    JobOps m_ops;
    InstallPlaces m_places;
    std::string m_target;
    std::string m_package;
    InstallFor m_installFor = InstallFor::Unset;
    bool m_environmentChanged = false;
    unsigned m_errors = 0;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_cancel{false};
    CNutins m_nutins;
    int m_step = 0, m_steps = 1;

    mutable Mutex m_progressLock;  // guards the two fields below
    int m_position = 0;            // written by the job, read by the Progress page
    std::string m_progressText;

    JobOutcome m_outcome = JobOutcome::Failed;
    std::string m_completeHeader, m_completeText;
    std::unique_ptr<Thread> m_thread;
};

// The dry run ("/plan" on the command line): the decided action and every operation the job
// would do, numbered in order, as printed for the user. Nothing on the system changes.
std::string DryRun(CInstallMgr& manager, JobOptions options);

}  // namespace corv::inst
