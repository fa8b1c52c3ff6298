#include "tray/clients/client_backup.h"

#include <algorithm>

#include "platform/process.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/settings/active_settings.h"

namespace corv {

namespace {

constexpr uint32_t kRecordVersion = 1;

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutBytes(std::vector<uint8_t>* out, const uint8_t* data, size_t size) {
    PutU32(out, static_cast<uint32_t>(size));
    out->insert(out->end(), data, data + size);
}
void PutText(std::vector<uint8_t>* out, const std::string& s) {
    PutBytes(out, reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// Reads a record front to back; every length is checked against what is left.
class Reader {
  public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool U32(uint32_t* v) {
        if (bytes_.size() - pos_ < 4) return false;
        *v = 0;
        for (int i = 0; i < 4; ++i) *v |= static_cast<uint32_t>(bytes_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return true;
    }
    bool Bytes(std::vector<uint8_t>* out) {
        uint32_t size = 0;
        if (!U32(&size) || bytes_.size() - pos_ < size) return false;
        out->assign(bytes_.begin() + pos_, bytes_.begin() + pos_ + size);
        pos_ += size;
        return true;
    }
    bool Text(std::string* out) {
        std::vector<uint8_t> b;
        if (!Bytes(&b)) return false;
        out->assign(b.begin(), b.end());
        return true;
    }
    bool AtEnd() const { return pos_ == bytes_.size(); }

  private:
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
};

bool SameValue(const RegValue& a, const RegValue& b) {
    return a.type == b.type && a.data == b.data;
}

}  // namespace

std::string BackupRecordName(const std::string& program) {
    return "ClientBackup " + program;
}

bool IsOtherTrayInstance(unsigned pid) {
    if (pid == CurrentProcessId()) return false;
    bool found = false;
    auto visit = [&](const ProcessEntry& e) {
        if (e.pid == pid && EqualsNoCase(e.imageName, "corvtray.exe")) found = true;
    };
    if (!ListProcesses(ProcessListMethod::ToolHelp, visit))
        ListProcesses(ProcessListMethod::Psapi, visit);
    return found;
}

ClientBackup::ClientBackup(std::string program, std::vector<KeySpec> keys)
    : program_(std::move(program)),
      keys_(std::move(keys)),
      read_(keys_.size(), false),
      values_(keys_.size()) {}

void ClientBackup::Read(size_t k, const RegKey& key, const std::vector<std::string>& names) {
    if (read_[k]) return;
    const std::vector<std::string>& list = names.empty() ? keys_[k].names : names;
    values_[k].clear();
    for (const std::string& name : list) {
        SavedValue saved;
        saved.name = name;
        saved.present = key.QueryValue(name, &saved.value) == kOk;
        if (!saved.present) saved.value = RegValue();
        saved.value.name = name;
        values_[k].push_back(std::move(saved));
    }
    read_[k] = true;
    stale_ = true;
}

bool ClientBackup::Saved() const {
    return std::find(read_.begin(), read_.end(), true) != read_.end();
}

const RegValue* ClientBackup::Find(size_t k, const std::string& name) const {
    for (const SavedValue& v : values_[k])
        if (v.present && EqualsNoCase(v.name, name)) return &v.value;
    return nullptr;
}

void ClientBackup::BeforeWrite(size_t k, const RegKey& key, const std::vector<std::string>& names) {
    Read(k, key, names);
    Record();
}

bool ClientBackup::RestoreKey(size_t k) {
    RegKey key;
    long rc = key.Open(keys_[k].root, keys_[k].path, kRegReadWrite);
    if (rc == kErrFileNotFound || rc == kErrPathNotFound) return true;  // nothing left to restore
    if (rc != kOk) return false;
    bool complete = true;
    for (const SavedValue& v : values_[k]) {
        long wrc = v.present ? key.SetValue(v.value) : key.DeleteValue(v.name);
        if (wrc == kOk || (!v.present && wrc == kErrFileNotFound)) continue;
        // A refused write still counts when the value already is what it was.
        RegValue now;
        bool exists = key.QueryValue(v.name, &now) == kOk;
        if (v.present ? !(exists && SameValue(now, v.value)) : exists) complete = false;
    }
    return complete;
}

bool ClientBackup::Restore() {
    bool complete = true;
    for (size_t k = 0; k < keys_.size(); ++k)
        if (read_[k] && !RestoreKey(k)) complete = false;
    if (complete) DropRecord();
    return complete;
}

bool ClientBackup::Record() {
    if (foreign_ || (recorded_ && !stale_)) return true;
    RegKey settings;
    long rc = settings.Create(RegRoot::CurrentUser, kSettingsKeyPath, kRegReadWrite);
    if (rc == kOk)
        rc = settings.SetBinary(BackupRecordName(program_), Serialise(CurrentProcessId()));
    if (rc != kOk) {
        TheLog().Log("ClientBackup: could not record the backup of %s settings, reason: %s\n",
                     program_.c_str(), ErrorWithText(rc).c_str());
        return false;
    }
    recorded_ = true;
    stale_ = false;
    return true;
}

void ClientBackup::DropRecord() {
    if (!recorded_) return;  // only the owner removes its record
    RegKey settings;
    long rc = settings.Open(RegRoot::CurrentUser, kSettingsKeyPath, kRegReadWrite);
    if (rc == kOk) rc = settings.DeleteValue(BackupRecordName(program_));
    if (rc != kOk && rc != kErrFileNotFound) {
        TheLog().Log("ClientBackup: could not remove the record of %s settings, reason: %s\n",
                     program_.c_str(), ErrorWithText(rc).c_str());
        return;
    }
    recorded_ = false;
}

void ClientBackup::RecoverLeftover(const OwnerRunning& ownerRunning) {
    CLogFile& log = TheLog();
    const std::string name = BackupRecordName(program_);
    RegValue record;
    {
        RegKey settings;
        if (settings.Open(RegRoot::CurrentUser, kSettingsKeyPath, kRegRead) != kOk ||
            settings.QueryValue(name, &record) != kOk)
            return;
    }
    unsigned owner = 0;
    if (record.type != RegType::Binary || !Parse(record.data, &owner)) {
        log.Log("ClientBackup: the record of %s settings is damaged and is not used\n",
                program_.c_str());
        return;
    }
    if (owner != CurrentProcessId() && ownerRunning && ownerRunning(owner)) {
        foreign_ = true;
        log.Log("ClientBackup: %s settings are in the care of the running instance %u\n",
                program_.c_str(), owner);
        return;
    }
    log.Log("ClientBackup: restoring %s settings that a run (pid %u) left pointed at the proxy\n",
            program_.c_str(), owner);
    bool complete = true;
    for (size_t k = 0; k < keys_.size(); ++k)
        if (read_[k] && !RestoreKey(k)) complete = false;
    if (!complete) {
        // Ours now: the old values stay this run's backup and the record stays for later.
        log.Log("ClientBackup: could not restore every %s setting; the record is kept\n",
                program_.c_str());
        Record();
        return;
    }
    RegKey settings;
    long rc = settings.Open(RegRoot::CurrentUser, kSettingsKeyPath, kRegReadWrite);
    if (rc == kOk) rc = settings.DeleteValue(name);
    if (rc != kOk && rc != kErrFileNotFound)
        log.Log("ClientBackup: could not remove the record of %s settings, reason: %s\n",
                program_.c_str(), ErrorWithText(rc).c_str());
    log.Log("ClientBackup: restored %s settings\n", program_.c_str());
    std::fill(read_.begin(), read_.end(), false);  // the fresh backup follows
    for (auto& v : values_) v.clear();
}

std::vector<uint8_t> ClientBackup::Serialise(unsigned ownerPid) const {
    std::vector<uint8_t> out;
    PutU32(&out, kRecordVersion);
    PutU32(&out, ownerPid);
    uint32_t count = static_cast<uint32_t>(std::count(read_.begin(), read_.end(), true));
    PutU32(&out, count);
    for (size_t k = 0; k < keys_.size(); ++k) {
        if (!read_[k]) continue;
        PutText(&out, keys_[k].path);
        PutU32(&out, static_cast<uint32_t>(values_[k].size()));
        for (const SavedValue& v : values_[k]) {
            PutText(&out, v.name);
            PutU32(&out, v.present ? 1 : 0);
            PutU32(&out, v.present ? static_cast<uint32_t>(v.value.type) : 0);
            const std::vector<uint8_t> none;
            const std::vector<uint8_t>& data = v.present ? v.value.data : none;
            PutBytes(&out, data.data(), data.size());
        }
    }
    return out;
}

bool ClientBackup::Parse(const std::vector<uint8_t>& bytes, unsigned* ownerPid) {
    Reader in(bytes);
    uint32_t version = 0, pid = 0, keyCount = 0;
    if (!in.U32(&version) || version != kRecordVersion || !in.U32(&pid) || !in.U32(&keyCount))
        return false;
    std::vector<bool> read(keys_.size(), false);
    std::vector<std::vector<SavedValue>> values(keys_.size());
    for (uint32_t i = 0; i < keyCount; ++i) {
        std::string path;
        uint32_t valueCount = 0;
        if (!in.Text(&path) || !in.U32(&valueCount)) return false;
        size_t k = 0;
        while (k < keys_.size() && !EqualsNoCase(keys_[k].path, path)) ++k;
        if (k == keys_.size() || read[k]) return false;
        read[k] = true;
        for (uint32_t j = 0; j < valueCount; ++j) {
            SavedValue v;
            uint32_t present = 0, type = 0;
            if (!in.Text(&v.name) || !in.U32(&present) || !in.U32(&type) ||
                !in.Bytes(&v.value.data) || present > 1)
                return false;
            const auto& allowed = keys_[k].names;
            bool known = std::any_of(allowed.begin(), allowed.end(),
                                     [&](const std::string& n) { return EqualsNoCase(n, v.name); });
            bool repeated =
                std::any_of(values[k].begin(), values[k].end(),
                            [&](const SavedValue& s) { return EqualsNoCase(s.name, v.name); });
            if (!known || repeated) return false;
            v.present = present == 1;
            v.value.name = v.name;
            v.value.type = static_cast<RegType>(type);
            values[k].push_back(std::move(v));
        }
    }
    if (!in.AtEnd()) return false;
    read_ = std::move(read);
    values_ = std::move(values);
    *ownerPid = pid;
    return true;
}

}  // namespace corv
