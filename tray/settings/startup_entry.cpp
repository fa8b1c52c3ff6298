#include "tray/settings/startup_entry.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "tray/core/log_file.h"
#include "tray/settings/preferences.h"

namespace corv {

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunValueName = "VelmoraCorvan";

namespace {

constexpr size_t kRunValueBytes = 260;

bool EntryPresent(const RegKey& key) {
    std::string value;
    return key.QueryString(kRunValueName, &value, kRunValueBytes) == kOk && !value.empty();
}

// Opens the Run key for reading; logs the failure with its "with KEY_READ" text.
bool ReadEntry(RegRoot root) {
    RegKey key;
    if (long rc = key.Open(root, kRunKey, kRegRead)) {
        TheLog().Log("Could not open %s\\%s with KEY_READ, reason: %s\n", RegRootName(root),
                     kRunKey, ErrorWithText(rc).c_str());
        return false;
    }
    return EntryPresent(key);
}

void DeleteEntry(RegRoot root) {
    RegKey key;
    if (long rc = key.Open(root, kRunKey, kRegReadWrite)) {
        TheLog().Log("Could not open %s\\%s, reason: %s\n", RegRootName(root), kRunKey,
                     ErrorWithText(rc).c_str());
        return;
    }
    if (long rc = key.DeleteValue(kRunValueName))
        TheLog().Log("Could not delete %s\\%s\\%s, reason: %s\n", RegRootName(root), kRunKey,
                     kRunValueName, ErrorWithText(rc).c_str());
}

}  // namespace

std::string RunEntryFor(const std::string& home) {
    return "\"" + WithTrailingBackslash(home) + "corvtray.exe\" /hide";
}

void syncStartup(const CPreferences& prefs) {
    CLogFile& log = TheLog();
    log.Log("syncStartup: \n");
    bool user = ReadEntry(RegRoot::CurrentUser);
    bool machine = ReadEntry(RegRoot::LocalMachine);

    if (prefs.GetLaunchAtStartup() == 0) {
        log.Log("syncStartup: switch off Launch At Startup\n");
        if (machine) DeleteEntry(RegRoot::LocalMachine);
        if (user) DeleteEntry(RegRoot::CurrentUser);
        return;
    }
    log.Log("syncStartup: switch on Launch At Startup\n");
    if (!user && !machine) {
        RegRoot root = prefs.GetRegistryRoot();
        RegKey key;
        if (long rc = key.Open(root, kRunKey, kRegReadWrite)) {
            log.Log("Could not open %s\\%s, reason: %s\n", RegRootName(root), kRunKey,
                    ErrorWithText(rc).c_str());
            return;
        }
        key.SetString(kRunValueName, RunEntryFor(prefs.GetHome()));
    } else if (user && machine) {
        log.Log(
            "syncStartup: duplicate Launch At Startup settings (both HKCU and HKLM!), trying to "
            "delete HKCU settings\n");
        RegKey key;
        if (long rc = key.Open(RegRoot::CurrentUser, kRunKey, kRegReadWrite)) {
            log.Log("Could not open HKEY_CURRENT_USER\\%s, reason: %s\n", kRunKey,
                    ErrorWithText(rc).c_str());
        } else if (long rc = key.DeleteValue(kRunValueName)) {
            log.Log("Could not delete HKEY_CURRENT_USER\\%s\\%s, reason: %s\n", kRunKey,
                    kRunValueName, ErrorWithText(rc).c_str());
        } else {
            log.Log("Delete HKEY_CURRENT_USER\\%s\\%s succeeded\n", kRunKey, kRunValueName);
        }
    } else {
        log.Log("syncStartup: already switched on, nothing to do\n");
    }
}

void VerifyRunSettings() {
    CLogFile& log = TheLog();
    log.Log("VerifyRunSettings:\n");
    RegKey user;
    if (user.Open(RegRoot::CurrentUser, kRunKey, kRegRead) != kOk) {
        log.Log("Could not open HKEY_CURRENT_USER\\%s\n", kRunKey);
        return;
    }
    bool duplicate = false;
    if (EntryPresent(user)) {
        RegKey machine;
        if (machine.Open(RegRoot::LocalMachine, kRunKey, kRegRead) != kOk) {
            log.Log("Could not open HKEY_LOCAL_MACHINE\\%s\n", kRunKey);
            return;
        }
        duplicate = EntryPresent(machine);
    }
    user.Close();
    if (!duplicate) {
        log.Log("VerifyRunSettings ok\n");
        return;
    }
    log.Log("Duplicate Run settings, VelmoraCorvan specified both in HKCU and HKLM!\n");
    log.Log("delete HKEY_CURRENT_USER\\%s", kRunKey);
    RegKey writable;
    bool deleted = writable.Open(RegRoot::CurrentUser, kRunKey, kRegReadWrite) == kOk &&
                   writable.DeleteValue(kRunValueName) == kOk;
    log.Log(deleted ? " succeeded\n" : " failed\n");
}

}  // namespace corv
