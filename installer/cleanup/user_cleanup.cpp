#include "installer/cleanup/user_cleanup.h"

#include <cstdarg>

#include "installer/sys/inst_log.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

constexpr const char kUserSidPrefix[] = "S-1-5-21";  // user accounts; not system or service

bool IsMissing(long rc) {
    return rc == kErrFileNotFound || rc == kErrPathNotFound;
}

class Cleanup {
  public:
    Cleanup(const std::string& mySid, TokenControl& token) : mySid_(mySid), token_(token) {}

    bool Run() {
        InstLog("Cleaning up registry...\n");
        RemoveValue(RegRoot::CurrentUser, kRunKey);
        if (mySid_.empty())
            Fail("Cleanup skipped the other user profiles: the current user's SID is unknown\n");
        else
            WalkProfiles();
        InstLog(ok_ ? "...finished cleaning up registry\n"
                    : "...there were errors during registry cleanup\n");
        return ok_;
    }

  private:
    void Fail(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, fmt);
        InstLogText(FormatV(fmt, args));
        va_end(args);
        ok_ = false;
    }

    void RemoveValue(RegRoot root, const std::string& path) {
        const char* rootName = RegRootName(root);
        RegKey key;
        long rc = key.Open(root, path, kRegRead);
        RegValue value;
        if (rc == kOk) rc = key.QueryValue(kRunValue, &value);
        if (rc == kOk) rc = key.Open(root, path, kRegReadWrite);
        if (rc == kOk) rc = key.DeleteValue(kRunValue);
        if (rc == kOk)
            InstLog("Cleanup removed: %s\\%s\\%s\n", rootName, path.c_str(), kRunValue);
        else if (IsMissing(rc))
            InstLog("Cleanup skipped non-existsing value: %s\\%s\\%s\n", rootName, path.c_str(),
                    kRunValue);
        else
            Fail("Cleanup could not remove: %s\\%s\\%s\n", rootName, path.c_str(), kRunValue);
    }

    // Deletes the user's key with everything below it; the key is named here, never taken
    // from outside.
    void RemoveKey(const std::string& sid, const std::string& path) {
        std::string full = sid + "\\" + path;
        size_t cut = full.rfind('\\');
        RegKey key;
        long rc = key.Open(RegRoot::Users, full, kRegRead);
        key.Close();
        if (!IsMissing(rc)) rc = key.Open(RegRoot::Users, full.substr(0, cut), kRegReadWrite);
        if (rc == kOk) rc = key.DeleteTree(full.substr(cut + 1));
        if (rc == kOk)
            InstLog("Cleanup removed: HKEY_USERS\\%s\\%s\n", sid.c_str(), path.c_str());
        else if (IsMissing(rc))
            InstLog("Cleanup skipped non-existsing key: HKEY_USERS\\%s\\%s\n", sid.c_str(),
                    path.c_str());
        else
            Fail("Cleanup could not remove: HKEY_USERS\\%s\\%s\n", sid.c_str(), path.c_str());
    }

    void RemoveTraces(const std::string& sid) {
        RemoveValue(RegRoot::Users, sid + "\\" + kRunKey);
        for (const char* path : kUserKeys) RemoveKey(sid, path);
    }

    void WalkProfiles() {
        RegKey list;
        long rc = list.Open(RegRoot::LocalMachine, kProfileListKey, kRegRead);
        if (rc != kOk) {
            Fail("Cannot get profile list. RegOpenKey failed: %s\n", ErrorWithText(rc).c_str());
            return;
        }
        for (uint32_t i = 0;; ++i) {
            std::string name;
            rc = list.EnumSubkey(i, &name);
            if (rc == kErrNoMoreItems) break;
            if (rc != kOk) {
                Fail("Cannot iterate the profile list. RegEnumKeyEx failed: %s\n",
                     ErrorWithText(rc).c_str());
                break;
            }
            Profile(static_cast<int>(i), name);
        }
    }

    void Profile(int index, const std::string& sid) {
        if (sid.compare(0, sizeof kUserSidPrefix - 1, kUserSidPrefix) != 0) {
            InstLog("key[%d]: %s (skipped)\n", index, sid.c_str());
            return;
        }
        if (EqualsNoCase(sid, mySid_)) {
            InstLog("key[%d]: %s (skipping myself)\n", index, sid.c_str());
            return;
        }
        RegKey probe;
        long rc = probe.Open(RegRoot::Users, sid, kRegRead);
        probe.Close();
        if (rc == kOk) {
            InstLog("key[%d]: %s (user account) is loaded \n", index, sid.c_str());
            RemoveTraces(sid);
            return;
        }
        if (!IsMissing(rc)) {
            Fail("Cannot check if profile '%s' is loaded. RegOpenKeyEx failed: %s\n", sid.c_str(),
                 ErrorWithText(rc).c_str());
            return;
        }
        InstLog("key[%d]: %s (user account) is not loaded \n", index, sid.c_str());
        std::string hive;
        if (HiveFile(sid, &hive)) CleanUnloaded(sid, hive);
    }

    // The profile's "ntuser.dat"; false when there is none to clean.
    bool HiveFile(const std::string& sid, std::string* hive) {
        RegKey item;
        long rc =
            item.Open(RegRoot::LocalMachine, std::string(kProfileListKey) + "\\" + sid, kRegRead);
        if (rc != kOk) {
            Fail("Cannot open profile item '%s'. RegOpenKey failed: %s\n", sid.c_str(),
                 ErrorWithText(rc).c_str());
            return false;
        }
        RegValue value;
        rc = item.QueryValue("ProfileImagePath", &value);
        if (rc == kOk && value.type != RegType::Sz && value.type != RegType::ExpandSz)
            rc = kErrInvalidData;
        if (rc != kOk) {
            Fail("Cannot get ProfileImagePath of '%s'. RegQueryValueEx failed: %s\n", sid.c_str(),
                 ErrorWithText(rc).c_str());
            return false;
        }
        std::string path = ValueText(value);
        InstLog("ProfileImagePath is %s\n", path.c_str());
        path = ExpandEnvironment(path);
        InstLog("ProfileImagePath is expanded to %s\n", path.c_str());
        *hive = path + "\\ntuser.dat";
        if (!PathExists(*hive)) {
            InstLog("hive location '%s' does not exist (not loaded)\n", hive->c_str());
            return false;
        }
        InstLog("hive location '%s' exists\n", hive->c_str());
        return true;
    }

    bool EnableHivePrivileges() {
        for (const char* name : {"SeBackupPrivilege", "SeRestorePrivilege"}) {
            TokenStep step = TokenStep::None;
            long rc = token_.EnablePrivilege(name, &step);
            if (rc == kOk) continue;
            if (step == TokenStep::OpenProcessToken) {
                Fail("Cannot load hive. OpenProcessToken failed: %s\n", ErrorWithText(rc).c_str());
                return false;
            }
            // The load itself tells whether the privilege was needed.
            InstLog("%s error: %u\n",
                    step == TokenStep::LookupPrivilegeValue ? "LookupPrivilegeValue"
                                                            : "AdjustTokenPrivileges",
                    static_cast<unsigned>(rc));
        }
        return true;
    }

    void CleanUnloaded(const std::string& sid, const std::string& hive) {
        if (!EnableHivePrivileges()) return;
        long rc = LoadHive(RegRoot::Users, sid, hive);
        if (rc != kOk) {
            Fail("Could not load hive '%s' for profile '%s'. RegLoadKey failed: %s\n", hive.c_str(),
                 sid.c_str(), ErrorWithText(rc).c_str());
            return;
        }
        InstLog("hive %s was loaded successfully\n", hive.c_str());
        RemoveTraces(sid);
        rc = UnloadHive(RegRoot::Users, sid);
        if (rc != kOk)
            Fail("Could not unload hive '%s'. RegUnLoadKey failed: %s\n", hive.c_str(),
                 ErrorWithText(rc).c_str());
        else
            InstLog("hive %s was unloaded successfully\n", hive.c_str());
    }

    std::string mySid_;
    TokenControl& token_;
    bool ok_ = true;
};

}  // namespace

long TokenControl::EnablePrivilege(const std::string& name, TokenStep* failed) {
    return corv::EnablePrivilege(name, failed);
}

TokenControl& SystemToken() {
    static TokenControl token;
    return token;
}

bool CleanupAllUsers(const std::string& mySid, TokenControl& token) {
    return Cleanup(mySid, token).Run();
}

}  // namespace corv::inst
