#include "installer/cleanup/add_remove.h"

#include "installer/sys/inst_log.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace corv::inst {

namespace {

struct Field {
    const char* name;
    std::string AddRemoveEntry::*member;
};

const Field kFields[] = {
    {"DisplayName", &AddRemoveEntry::displayName},
    {"UninstallString", &AddRemoveEntry::uninstallString},
    {"InstallLocation", &AddRemoveEntry::installLocation},
    {"DisplayIcon", &AddRemoveEntry::displayIcon},
    {"UrlInfoAbout", &AddRemoveEntry::urlInfoAbout},
    {"Publisher", &AddRemoveEntry::publisher},
    {"Contact", &AddRemoveEntry::contact},
    {"DisplayVersion", &AddRemoveEntry::displayVersion},
};

std::string EntryPath(const std::string& displayName) {
    return std::string(kUninstallKey) + "\\" + displayName;
}

// A backslash would make the name a path: the entry would land below another key, and
// removing it could reach the keys of other products.
bool IsKeyName(const std::string& displayName) {
    return displayName.find('\\') == std::string::npos;
}

const char* Outcome(long rc) {
    return rc == kOk ? ", succeeded\n" : ", failed(ignored)\n";
}

}  // namespace

std::string UninstallerPath(const std::string& targetFolder) {
    return WithTrailingBackslash(targetFolder) + "uninst.exe";
}

bool WriteAddRemoveEntry(const AddRemoveEntry& entry) {
    if (entry.displayName.empty()) {
        InstLog("Not able to init Add/Remove Programs group, displayName is empty.\n");
        return false;
    }
    if (!IsKeyName(entry.displayName)) {
        InstLog("Not able to init Add/Remove Programs group, displayName is not a key name: %s\n",
                entry.displayName.c_str());
        return false;
    }
    std::string path = EntryPath(entry.displayName);
    std::string shown = std::string(RegRootName(RegRoot::LocalMachine)) + "\\" + path;
    RegKey key;
    long rc = key.Create(RegRoot::LocalMachine, path, kRegReadWrite);
    InstLog("Creating regkey: %s%s", shown.c_str(), Outcome(rc));
    bool ok = rc == kOk;
    for (const Field& f : kFields) {
        long set = rc == kOk ? key.SetString(f.name, entry.*f.member) : rc;
        InstLog("Creating regkey: %s\\%s%s", shown.c_str(), f.name, Outcome(set));
        ok = ok && set == kOk;
    }
    return ok;
}

bool RemoveAddRemoveEntry(const std::string& displayName) {
    if (displayName.empty()) {
        InstLog(
            "Not able to remove program from Add/Remove Programs group, displayName is empty.\n");
        return false;
    }
    if (!IsKeyName(displayName)) {
        InstLog(
            "Not able to remove program from Add/Remove Programs group, displayName is not a key "
            "name: %s\n",
            displayName.c_str());
        return false;
    }
    RegKey parent;
    long rc = parent.Open(RegRoot::LocalMachine, kUninstallKey, kRegReadWrite);
    if (rc == kOk) rc = parent.DeleteTree(displayName);
    std::string shown =
        std::string(RegRootName(RegRoot::LocalMachine)) + "\\" + EntryPath(displayName);
    if (rc == kOk) {
        InstLog("del regkey: %s, succeeded\n", shown.c_str());
        return true;
    }
    InstLog("del regkey: %s, ERROR: Failed to delete key, reason: %s\n", shown.c_str(),
            ErrorWithText(rc).c_str());
    return false;
}

bool ReadAddRemoveEntry(const std::string& displayName, AddRemoveEntry* out) {
    *out = AddRemoveEntry();
    if (displayName.empty() || !IsKeyName(displayName)) return false;
    RegKey key;
    if (key.Open(RegRoot::LocalMachine, EntryPath(displayName), kRegRead) != kOk) return false;
    for (const Field& f : kFields) key.QueryString(f.name, &(out->*f.member), 32768);
    return true;
}

}  // namespace corv::inst
