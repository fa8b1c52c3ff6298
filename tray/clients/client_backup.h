// The backup of one client program's registry values: taken once per run, written back when
// the proxy is switched off or the program exits, and recorded under the Settings key before
// the first change, so that a run that dies while the program points at the proxy is undone
// at the next start.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace corv {

// The value name of a program's record under the Settings key: "ClientBackup <program>".
std::string BackupRecordName(const std::string& program);

// true when another running instance of the tray client has this process id.
using OwnerRunning = std::function<bool(unsigned pid)>;
bool IsOtherTrayInstance(unsigned pid);

class ClientBackup {
  public:
    // One key of the program and every value name its backup may hold.
    struct KeySpec {
        RegRoot root;
        std::string path;
        std::vector<std::string> names;
    };
    // A value as it was: absent, or its type and bytes (any type, any length).
    struct SavedValue {
        std::string name;
        bool present = false;
        RegValue value;
    };

    ClientBackup(std::string program, std::vector<KeySpec> keys);

    const std::string& Program() const { return program_; }
    const KeySpec& Key(size_t k) const { return keys_[k]; }

    // Reads the named values of key k (all of its names when `names` is empty) from the open
    // key. A key is read once per run; later calls do nothing.
    void Read(size_t k, const RegKey& key, const std::vector<std::string>& names = {});
    bool IsRead(size_t k) const { return read_[k]; }
    bool Saved() const;  // some key was read
    // The value as it was when present, else nullptr.
    const RegValue* Find(size_t k, const std::string& name) const;

    // Before the first write into key k (open for writing): reads the key if it was never
    // read, then records the backup. Writing goes on when the record cannot be made.
    void BeforeWrite(size_t k, const RegKey& key, const std::vector<std::string>& names = {});

    // Writes back every key that was read: present values with their type and bytes, absent
    // ones deleted. A key that no longer exists has nothing to restore. true when every key
    // holds its old values again; then the record is removed.
    bool Restore();

    // At start, before the backup is taken: a record that a run left behind. A dead owner's
    // record is written back (and removed when that succeeds; kept and owned by this run when
    // it does not). A running instance's record becomes this run's backup, left to its owner.
    void RecoverLeftover(const OwnerRunning& ownerRunning);

    // The record's bytes and their reading (format version 1, owner process id, the keys).
    std::vector<uint8_t> Serialise(unsigned ownerPid) const;
    // false for a damaged record or one naming values outside the program's keys.
    bool Parse(const std::vector<uint8_t>& bytes, unsigned* ownerPid);

  private:
    bool RestoreKey(size_t k);
    bool Record();
    void DropRecord();

    std::string program_;
    std::vector<KeySpec> keys_;
    std::vector<bool> read_;
    std::vector<std::vector<SavedValue>> values_;
    bool recorded_ = false;  // our record is in the registry
    bool stale_ = false;     // a key was read since the record was written
    bool foreign_ = false;   // the record belongs to a running instance: never ours to touch
};

}  // namespace corv
