// Test support: a user with client programs in the recording registry, the preferences that
// point them at the proxy, and a scripted prompter.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/prompt.h"
#include "platform/system.h"
#include "tray/clients/client_sync.h"
#include "tray/clients/client_values.h"
#include "tray/clients/testing/client_registry.h"
#include "tray/core/log_capture.h"
#include "tray/settings/active_settings.h"
#include "tray/settings/preferences.h"

namespace corv::test {

inline RegValue Bin4(uint32_t v) {
    RegValue r;
    r.type = RegType::Binary;
    r.data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
              static_cast<uint8_t>(v >> 24)};
    return r;
}
inline RegValue Dw(uint32_t v) {
    return MakeDwordValue("", v);
}
inline RegValue Sz(const std::string& s) {
    return MakeStringValue("", s);
}
inline RegValue Bytes(size_t n, uint8_t fill) {
    RegValue r;
    r.type = RegType::Binary;
    r.data.assign(n, fill);
    return r;
}

// Every key the programs own.
inline std::vector<std::pair<RegRoot, std::string>> ClientKeys() {
    return {{RegRoot::CurrentUser, kMessengerServiceKey},
            {RegRoot::CurrentUser, kRtcImspKey},
            {RegRoot::CurrentUser, kMsnMessengerKey},
            {RegRoot::LocalMachine, kEconfKey},
            {RegRoot::CurrentUser, kXLiteKey},
            {RegRoot::CurrentUser, kXLiteFwdKey}};
}

class ClientFixture : public ::testing::Test {
  public:
    static constexpr const char* kAddress = "127.0.0.5";

    void SetUp() override {
        prefs_.SetIsAdministrator(true);
        prefs_.SetActiveIpAddress(kAddress);
        prefs_.SetSocksPort(1081);
        prefs_.SetSipPort(5070);
        RegKey k;
        k.Create(RegRoot::CurrentUser, kPreferencesKey);
        for (const char* flag : {"SyncMessenger", "SyncMsnMessenger", "SyncEconf", "SyncXLite"})
            k.SetString(flag, "1");
    }

    // Sync flags: Windows Messenger, MSN Messenger, eConf, X-Lite.
    void Flags(bool windows, bool msn, bool econf, bool xlite) {
        prefs_.SetSyncMessenger(windows);
        prefs_.SetSyncMsnMessenger(msn);
        prefs_.SetSyncEconf(econf);
        prefs_.SetSyncXLite(xlite);
    }

    void Put(RegRoot root, const std::string& key, const std::string& name, RegValue v) {
        RegKey k;
        k.Create(root, key);
        v.name = name;
        k.SetValue(v);
    }
    void Put(const std::string& key, const std::string& name, RegValue v) {
        Put(key == kEconfKey ? RegRoot::LocalMachine : RegRoot::CurrentUser, key, name,
            std::move(v));
    }
    void MakeKey(RegRoot root, const std::string& key) {
        RegKey k;
        k.Create(root, key);
    }
    // The value as text, or "absent".
    std::string Get(RegRoot root, const std::string& key, const std::string& name) {
        RegKey k;
        RegValue v;
        if (k.Open(root, key, kRegRead) != kOk || k.QueryValue(name, &v) != kOk) return "absent";
        return Describe(v);
    }
    std::string Get(const std::string& key, const std::string& name) {
        return Get(key == kEconfKey ? RegRoot::LocalMachine : RegRoot::CurrentUser, key, name);
    }
    std::string FlagInRegistry(const char* name) {
        RegKey k;
        std::string v;
        k.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead);
        return k.QueryString(name, &v) == kOk ? v : "absent";
    }
    // The names of the backup records under the Settings key.
    std::vector<std::string> Records() {
        std::vector<std::string> names;
        RegKey k;
        if (k.Open(RegRoot::CurrentUser, kSettingsKeyPath, kRegRead) != kOk) return names;
        for (const RegValue& v : k.Values())
            if (v.name.rfind("ClientBackup ", 0) == 0) names.push_back(v.name);
        return names;
    }

    // A run's start: the programs detected, leftovers restored, backups taken.
    std::unique_ptr<ClientSync> Start(std::function<bool(unsigned)> ownerRunning = nullptr) {
        ClientSyncOptions options;
        options.versionReader = [this](const std::string&) { return version_; };
        options.ownerRunning = ownerRunning ? ownerRunning : [](unsigned) { return false; };
        auto sync = std::make_unique<ClientSync>(options);
        sync->DetectAndSave();
        return sync;
    }
    void TearDown() override {
        if (folder_.empty()) return;
        for (const char* f : {"msnmsgr.exe", "msmsgs.exe"}) RemoveFile(folder_ + "\\" + f);
        RemoveFolder(folder_);
    }
    // The messenger set up for the user, its program file in its installation folder; the
    // version reader answers `version` for every file.
    void Install(const char* key, const char* program, const std::string& version) {
        folder_ = TempFolder() + "\\corv-clients-" + std::to_string(CurrentProcessId());
        MakeDirectory(folder_);
        WriteFileBytes(folder_ + "\\" + program, "stand-in");
        Put(RegRoot::LocalMachine, key, "InstallationDirectory", Sz(folder_));
        MakeKey(RegRoot::CurrentUser, key);
        version_ = version;
    }
    void InstallMsn(const std::string& version) {
        Install(kMsnMessengerKey, "msnmsgr.exe", version);
    }
    void InstallWindowsMessenger(const std::string& version) {
        Install(kMessengerServiceKey, "msmsgs.exe", version);
    }

    RecordingRegistry registry_;
    ScopedLogCapture log_;
    CPreferences prefs_;
    std::string version_;
    std::string folder_;
};

}  // namespace corv::test
