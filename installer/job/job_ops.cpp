#include "installer/job/job_ops.h"

#include "installer/sys/inst_log.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

// Another program (the shell, a virus scanner) may hold a file we have just written for a
// moment: moving or removing it waits for that rather than fail or leave the file behind.
template <class Op>
long WhenFree(const Op& op) {
    long rc = op();
    for (int tries = 0; rc == kErrSharingViolation && tries < 40; ++tries) {
        SleepMs(50);
        rc = op();
    }
    return rc;
}

long RemoveWhenFree(const std::string& path) {
    return WhenFree([&] { return corv::RemoveFile(path); });
}

std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string KeyName(RegRoot root, const std::string& key) {
    return std::string(RegRootName(root)) + "\\" + key;
}

// A registry key with everything below it, to be put back.
struct KeyTree {
    std::string name;
    std::vector<RegValue> values;
    std::vector<KeyTree> subkeys;
};

bool ReadTree(RegRoot root, const std::string& path, KeyTree* tree) {
    RegKey key;
    if (key.Open(root, path, kRegRead) != kOk) return false;
    tree->values = key.Values();
    for (const std::string& sub : key.Subkeys()) {
        KeyTree child;
        child.name = sub;
        if (ReadTree(root, path + "\\" + sub, &child)) tree->subkeys.push_back(std::move(child));
    }
    return true;
}

long WriteTree(RegRoot root, const std::string& path, const KeyTree& tree) {
    RegKey key;
    long rc = key.Create(root, path);
    if (rc != kOk) return rc;
    for (const RegValue& v : tree.values)
        if (long e = key.SetValue(v)) rc = e;
    for (const KeyTree& sub : tree.subkeys)
        if (long e = WriteTree(root, path + "\\" + sub.name, sub)) rc = e;
    return rc;
}

bool KeyExists(RegRoot root, const std::string& path) {
    RegKey key;
    return key.Open(root, path, kRegRead) == kOk;
}

bool KeyIsEmpty(RegRoot root, const std::string& path) {
    RegKey key;
    if (key.Open(root, path, kRegRead) != kOk) return false;
    std::string sub;
    RegValue value;
    return key.EnumSubkey(0, &sub) != kOk && key.EnumValue(0, &value) != kOk;
}

// Splits "a\b\c" into "a\b" and "c".
void SplitLast(const std::string& path, std::string* parent, std::string* leaf) {
    size_t slash = path.find_last_of('\\');
    *parent = slash == std::string::npos ? std::string() : path.substr(0, slash);
    *leaf = slash == std::string::npos ? path : path.substr(slash + 1);
}

long DeleteSubkey(RegRoot root, const std::string& path) {
    std::string parent, leaf;
    SplitLast(path, &parent, &leaf);
    RegKey key;
    long rc = key.Open(root, parent, kRegReadWrite);
    return rc != kOk ? rc : key.DeleteTree(leaf);
}

}  // namespace

struct JobOps::Entry {
    enum Kind {
        FileCreated,    // path: remove it
        FileSaved,      // path was moved to saved: remove what is there, move saved back
        FileCopied,     // path was copied to saved (or was absent): put that state back
        FolderCreated,  // remove it
        FolderRemoved,  // make it again
        KeyCreated,     // remove it when empty
        ValueSet,       // put the old value back, or remove the value
        KeyDeleted,     // make it again
        TreeDeleted,    // write the tree back
        Program,        // run the program with the undo parameters
        Custom,         // call undo
    };
    Entry(Kind k, std::string p) : kind(k), path(std::move(p)) {}
    Kind kind;
    std::string path;
    std::string saved;
    RegRoot root = RegRoot::LocalMachine;
    std::string name;
    bool existed = false;
    RegValue old;
    KeyTree tree;
    std::string parameters;
    std::function<void()> undo;
};

JobOps::JobOps(Mode mode) : m_mode(mode) {}

JobOps::~JobOps() = default;

bool JobOps::Begin(const std::string& planLine) {
    ++m_count;
    if (m_failAt != 0 && m_count == m_failAt)
        throw CInjectedFault(
            Format("Injected fault at operation %u: %s", m_count, planLine.c_str()));
    if (m_mode != Mode::Plan) return true;
    m_plan.push_back(planLine);
    return false;
}

void JobOps::Record(Entry entry) {
    if (m_mode == Mode::Journal) m_journal.push_back(std::move(entry));
}

long JobOps::Save(const std::string& path, bool move, std::string* saved) {
    saved->clear();
    if (m_fallback.empty()) return kOk;
    if (!Begin((move ? "move " : "copy ") + path + " into the fallback folder")) return kOk;
    std::string candidate;
    do {
        candidate = m_fallback + "\\" + Format("%04u_", m_saved++) + FileName(path);
    } while (PathExists(candidate));
    long rc = move ? WhenFree([&] { return ReplaceFileBy(path, candidate); })
                   : CopyFileTo(path, candidate, false);
    if (rc == kOk) *saved = candidate;
    return rc;
}

long JobOps::CreateFolder(const std::string& path) {
    if (!Begin("create folder " + path)) return kOk;
    long rc = MakeDirectory(path);
    if (rc == kOk) Record(Entry(Entry::FolderCreated, path));
    return rc;
}

long JobOps::CreateFolderTree(const std::string& path) {
    std::vector<std::string> missing;
    for (std::string f = path; !f.empty() && !PathExists(f); f = FolderOf(f)) {
        missing.push_back(f);
        if (FolderOf(f) == f || (f.size() == 2 && f[1] == ':')) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (it->size() == 2 && (*it)[1] == ':') continue;  // a drive
        long rc = CreateFolder(*it);
        if (rc != kOk && !(rc == kErrAlreadyExists && IsDirectory(*it))) return rc;
    }
    return IsDirectory(path) || m_mode == Mode::Plan ? kOk : kErrPathNotFound;
}

long JobOps::RemoveFolder(const std::string& path) {
    if (!Begin("remove folder " + path)) return kOk;
    long rc = corv::RemoveFolder(path);
    if (rc == kOk) Record(Entry(Entry::FolderRemoved, path));
    return rc;
}

long JobOps::CopyFile(const std::string& from, const std::string& to) {
    bool replacing = PathExists(to);
    std::string saved;
    if (replacing && m_mode == Mode::Journal) {
        long rc = Save(to, true, &saved);
        if (rc != kOk) return rc;
        if (!saved.empty()) {
            Entry e(Entry::FileSaved, to);
            e.saved = saved;
            Record(std::move(e));
        }
    }
    if (!Begin("copy " + from + " to " + to)) return kOk;
    // A file that could not be kept is overwritten in place: it cannot be restored.
    long rc = CopyFileTo(from, to, true);
    if (rc == kOk && !replacing) Record(Entry(Entry::FileCreated, to));
    return rc;
}

long JobOps::RemoveFile(const std::string& path) {
    if (m_mode == Mode::Journal && !m_fallback.empty()) {
        std::string saved;
        long rc = Save(path, true, &saved);
        if (rc == kOk && !saved.empty()) {
            Entry e(Entry::FileSaved, path);
            e.saved = saved;
            Record(std::move(e));
            return kOk;
        }
        if (rc != kOk) return rc;
    }
    if (!Begin("delete " + path)) return kOk;
    return RemoveWhenFree(path);
}

long JobOps::CreateLink(const ShellLinkSpec& link) {
    bool replacing = PathExists(link.path);
    if (replacing && m_mode == Mode::Journal) {
        std::string saved;
        long rc = Save(link.path, true, &saved);
        if (rc != kOk) return rc;
        if (!saved.empty()) {
            Entry e(Entry::FileSaved, link.path);
            e.saved = saved;
            Record(std::move(e));
        }
    }
    if (!Begin("create link " + link.path + " to " + link.target)) return kOk;
    long rc = CreateShellLink(link);
    if (rc == kOk && !replacing) Record(Entry(Entry::FileCreated, link.path));
    return rc;
}

long JobOps::WriteFile(const std::string& path, const std::function<long()>& write,
                       const std::string& what) {
    bool replacing = PathExists(path);
    if (replacing && m_mode == Mode::Journal) {
        std::string saved;
        long rc = Save(path, false, &saved);
        if (rc != kOk) return rc;
        if (!saved.empty()) {
            Entry e(Entry::FileCopied, path);
            e.saved = saved;
            e.existed = true;
            Record(std::move(e));
        }
    }
    if (!Begin("write " + what + " " + path)) return kOk;
    long rc = write();
    if (!replacing && PathExists(path)) Record(Entry(Entry::FileCreated, path));
    return rc;
}

long JobOps::Keep(const std::string& path) {
    if (m_mode != Mode::Journal) return kOk;
    Entry e(Entry::FileCopied, path);
    e.existed = PathExists(path) && !IsDirectory(path);
    if (e.existed) {
        long rc = Save(path, false, &e.saved);
        if (rc != kOk) return rc;
        if (e.saved.empty()) return kOk;  // no fallback folder: nothing can be put back
    }
    Record(std::move(e));
    return kOk;
}

long JobOps::CreateKey(RegRoot root, const std::string& key) {
    // Each level that is missing is made and noted, the deepest last.
    std::vector<std::string> missing;
    for (std::string k = key; !k.empty() && !KeyExists(root, k);) {
        missing.push_back(k);
        size_t slash = k.find_last_of('\\');
        k = slash == std::string::npos ? std::string() : k.substr(0, slash);
    }
    if (missing.empty()) return kOk;
    if (!Begin("create registry key " + KeyName(root, key))) return kOk;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        RegKey made;
        long rc = made.Create(root, *it);
        if (rc != kOk) return rc;
        Entry e(Entry::KeyCreated, *it);
        e.root = root;
        Record(std::move(e));
    }
    return kOk;
}

long JobOps::SetValue(RegRoot root, const std::string& key, const RegValue& value) {
    long rc = CreateKey(root, key);
    if (rc != kOk) return rc;
    if (!Begin("set registry value " + KeyName(root, key) + "\\" + value.name)) return kOk;
    RegKey k;
    rc = k.Open(root, key, kRegReadWrite);
    if (rc != kOk) return rc;
    Entry e(Entry::ValueSet, key);
    e.root = root;
    e.name = value.name;
    e.existed = k.QueryValue(value.name, &e.old) == kOk;
    rc = k.SetValue(value);
    if (rc == kOk) Record(std::move(e));
    return rc;
}

long JobOps::DeleteValue(RegRoot root, const std::string& key, const std::string& name) {
    if (!Begin("delete registry value " + KeyName(root, key) + "\\" + name)) return kOk;
    RegKey k;
    long rc = k.Open(root, key, kRegReadWrite);
    if (rc != kOk) return rc;
    Entry e(Entry::ValueSet, key);
    e.root = root;
    e.name = name;
    e.existed = k.QueryValue(name, &e.old) == kOk;
    if (!e.existed) return kErrFileNotFound;
    rc = k.DeleteValue(name);
    if (rc == kOk) Record(std::move(e));
    return rc;
}

long JobOps::DeleteKey(RegRoot root, const std::string& key) {
    if (!Begin("delete registry key " + KeyName(root, key) + " when empty")) return kOk;
    if (!KeyExists(root, key)) return kErrFileNotFound;
    if (!KeyIsEmpty(root, key)) return kErrKeyHasChildren;
    long rc = DeleteSubkey(root, key);
    if (rc == kOk) {
        Entry e(Entry::KeyDeleted, key);
        e.root = root;
        Record(std::move(e));
    }
    return rc;
}

long JobOps::DeleteOwnTree(RegRoot root, const std::string& key) {
    if (!Begin("delete registry key " + KeyName(root, key) + " with its values")) return kOk;
    Entry e(Entry::TreeDeleted, key);
    e.root = root;
    if (!ReadTree(root, key, &e.tree)) return kErrFileNotFound;
    long rc = DeleteSubkey(root, key);
    if (rc == kOk) Record(std::move(e));
    return rc;
}

CommandEnd JobOps::Run(const std::string& program, const std::string& parameters,
                       const std::string& folder, bool show, unsigned timeoutMs,
                       const std::string& undoParameters, bool undoable) {
    CommandEnd end;
    if (!Begin("run \"" + program + "\" " + parameters)) {
        end.outcome = ProcessWait::Ended;
        return end;
    }
    ChildProcess process;
    if (!StartCommand(program, parameters, folder, show, &process)) return end;
    end = WaitForCommand(process, timeoutMs);
    if (undoable) {
        Entry e(Entry::Program, program);
        e.parameters = undoParameters;
        e.saved = folder;
        Record(std::move(e));
    }
    return end;
}

void JobOps::Custom(const std::string& what, const std::function<bool()>& act,
                    const std::function<void()>& undo, bool* ok) {
    *ok = true;
    if (!Begin(what)) return;
    *ok = act();
    if (*ok && undo) {
        Entry e(Entry::Custom, what);
        e.undo = undo;
        Record(std::move(e));
    }
}

void JobOps::Rollback() {
    for (auto it = m_journal.rbegin(); it != m_journal.rend(); ++it) {
        const Entry& e = *it;
        long rc = kOk;
        switch (e.kind) {
            case Entry::FileCreated:
                if (PathExists(e.path)) rc = RemoveWhenFree(e.path);
                break;
            case Entry::FileSaved:
                if (PathExists(e.path)) RemoveWhenFree(e.path);
                rc = ReplaceFileBy(e.saved, e.path);
                break;
            case Entry::FileCopied:
                if (e.existed)
                    rc = ReplaceFileBy(e.saved, e.path);
                else if (PathExists(e.path) && !IsDirectory(e.path))
                    rc = RemoveWhenFree(e.path);
                break;
            case Entry::FolderCreated:
                if (PathExists(e.path)) rc = corv::RemoveFolder(e.path);
                break;
            case Entry::FolderRemoved:
                rc = MakeDirectory(e.path);
                break;
            case Entry::KeyCreated:
                if (KeyExists(e.root, e.path))
                    rc = KeyIsEmpty(e.root, e.path) ? DeleteSubkey(e.root, e.path)
                                                    : kErrKeyHasChildren;
                break;
            case Entry::ValueSet: {
                RegKey k;
                rc = k.Create(e.root, e.path);
                if (rc == kOk) rc = e.existed ? k.SetValue(e.old) : k.DeleteValue(e.name);
                if (rc == kErrFileNotFound && !e.existed) rc = kOk;
                break;
            }
            case Entry::KeyDeleted: {
                RegKey k;
                rc = k.Create(e.root, e.path);
                break;
            }
            case Entry::TreeDeleted:
                rc = WriteTree(e.root, e.path, e.tree);
                break;
            case Entry::Program: {
                ChildProcess process;
                if (StartCommand(e.path, e.parameters, e.saved, false, &process))
                    WaitForCommand(process, 5000);
                break;
            }
            case Entry::Custom:
                e.undo();
                break;
        }
        if (rc != kOk)
            InstLog("Warning: could not undo a change of %s: %s\n", e.path.c_str(),
                    ErrorWithText(rc).c_str());
    }
    m_journal.clear();
    RemoveFallbackFolder();
}

void JobOps::Commit() {
    for (const Entry& e : m_journal)
        if (!e.saved.empty() && (e.kind == Entry::FileSaved || e.kind == Entry::FileCopied) &&
            PathExists(e.saved))
            corv::RemoveFile(e.saved);
    m_journal.clear();
    RemoveFallbackFolder();
}

void JobOps::RemoveFallbackFolder() {
    // Only an empty folder goes: a copy left by an earlier run is nobody's to delete.
    if (!m_fallback.empty() && m_mode != Mode::Plan && IsDirectory(m_fallback))
        corv::RemoveFolder(m_fallback);
}

}  // namespace corv::inst
