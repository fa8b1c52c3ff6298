// Every change the install job makes to the system goes through here, one operation at a
// time. Each is recorded before it is made: a replaced or deleted file is first moved into
// the fallback folder, a registry value's old type and data are kept, and created files,
// folders and keys are noted, so that a failed or cancelled run can put everything back.
// In a dry run the operations are only listed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "installer/sys/exceptions.h"
#include "installer/sys/process_util.h"
#include "platform/registry.h"
#include "platform/shell_link.h"

namespace corv::inst {

// The failure the test switch causes; a run ends on it as on any other error.
class CInjectedFault : public CInstallException {
  public:
    using CInstallException::CInstallException;
};

class JobOps {
  public:
    enum class Mode {
        Journal,  // change the system and record how to undo it
        Direct,   // change the system without records (removal)
        Plan,     // change nothing; list what would be done
    };
    explicit JobOps(Mode mode = Mode::Journal);
    ~JobOps();
    JobOps(const JobOps&) = delete;
    JobOps& operator=(const JobOps&) = delete;

    Mode GetMode() const { return m_mode; }
    bool Planning() const { return m_mode == Mode::Plan; }
    // Where replaced and deleted files are kept, as "%04d_<name>"; empty: nowhere, so such
    // files cannot be restored.
    void SetFallbackFolder(const std::string& folder) { m_fallback = folder; }
    const std::string& FallbackFolder() const { return m_fallback; }
    // Test switch: operation number n (from 1) fails. 0: none.
    void FailAt(unsigned n) { m_failAt = n; }
    unsigned Count() const { return m_count; }

    // Files and folders. Results are Win32 error numbers.
    long CreateFolder(const std::string& path);  // one level
    long CreateFolderTree(const std::string& path);
    long RemoveFolder(const std::string& path);  // an empty folder only
    long CopyFile(const std::string& from, const std::string& to);
    long RemoveFile(const std::string& path);
    long CreateLink(const ShellLinkSpec& link);
    // Writes `path` through `write` (which returns a Win32 error number), keeping the file
    // that was there.
    long WriteFile(const std::string& path, const std::function<long()>& write,
                   const std::string& what);
    // A file that a program is about to change: its present state is kept.
    long Keep(const std::string& path);

    // Registry.
    long CreateKey(RegRoot root, const std::string& key);
    long SetValue(RegRoot root, const std::string& key, const RegValue& value);
    long DeleteValue(RegRoot root, const std::string& key, const std::string& name);
    // The key only when nothing remains in it (kErrKeyHasChildren otherwise).
    long DeleteKey(RegRoot root, const std::string& key);
    // The key with everything below it; only for keys the installer owns (its Add/Remove
    // entry).
    long DeleteOwnTree(RegRoot root, const std::string& key);

    // Runs a program and waits for its end. `undo`, when given, is run by a rollback (an
    // ActiveX registration is undone by unregistering).
    CommandEnd Run(const std::string& program, const std::string& parameters,
                   const std::string& folder, bool show, unsigned timeoutMs,
                   const std::string& undoParameters = std::string(), bool undoable = false);
    // Something only the job knows how to undo (NuTCRACKER calls). Counts as an operation.
    void Custom(const std::string& what, const std::function<bool()>& act,
                const std::function<void()>& undo, bool* ok);

    // Puts everything back in reverse order; failures are logged and passed over.
    void Rollback();
    // Keeps the changes: the kept copies are deleted and the fallback folder removed when
    // it is empty.
    void Commit();

    // The dry run's list of operations.
    const std::vector<std::string>& Plan() const { return m_plan; }

  private:
    struct Entry;
    // Counts the operation and fails it when the switch says so. In a dry run, lists it and
    // returns false: nothing is to be done.
    bool Begin(const std::string& planLine);
    // Moves or copies `path` into the fallback folder; the copy's path, or empty.
    long Save(const std::string& path, bool move, std::string* saved);
    void Record(Entry entry);
    void RemoveFallbackFolder();

    Mode m_mode;
    std::string m_fallback;
    unsigned m_saved = 0;  // the counter of the "%04d_" names
    unsigned m_failAt = 0;
    unsigned m_count = 0;
    std::vector<Entry> m_journal;
    std::vector<std::string> m_plan;
};

}  // namespace corv::inst
