#include "tray/settings/registry_monitor.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "platform/thread.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/settings/preferences.h"

namespace corv {
namespace {

const char* const kKeyName = "HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\Corvane\\Preferences";

class RegistryMonitorTest : public ::testing::Test {
  public:
    void SetUp() override {
        SetMainPoster(&poster_);
        monitor_.SetWatchingHook([this] { watching_.Stop(); });
        // Windows Messenger chosen.
        Set("Passwd", "digest-1");
        Set("SyncEconf", "0");
        Set("SyncMessenger", "1");
        Set("SyncMsnMessenger", "0");
        Set("SyncXLite", "0");
        Set("DoNotSync", "0");
        SetSip(1);
    }
    void TearDown() override {
        monitor_.Stop();
        SetMainPoster(nullptr);
    }
    void Set(const char* name, const std::string& value, const char* sub = nullptr) {
        RegKey k;
        k.Create(RegRoot::CurrentUser,
                 std::string(kPreferencesKey) + (sub ? std::string("\\") + sub : ""));
        k.SetString(name, value);
    }
    void SetSip(uint32_t v) {
        RegKey k;
        k.Create(RegRoot::CurrentUser, kPreferencesKey);
        k.SetDword("UseSip", v);
    }
    // Starts the monitor and waits until it has read the first values.
    void StartWatching() {
        ASSERT_TRUE(monitor_.StartMonitor(RegRoot::CurrentUser, kPreferencesKey));
        ASSERT_TRUE(watching_.WaitFor(10000));
        watching_.Reset();
    }
    bool WaitFor(unsigned message, size_t count = 1) {
        return poster_.WaitForPosts(message, count, 10000);
    }
    size_t Count(unsigned message) {
        size_t n = 0;
        for (unsigned m : poster_.History()) n += m == message;
        return n;
    }
    bool Logged(const std::string& part) {
        log_ += queue_.TakeAll();
        return log_.find(part) != std::string::npos;
    }

    ScopedMemoryRegistry registry_;
    QueuedPoster poster_;
    LineQueue queue_;
    CRegistryMonitor monitor_{queue_};
    StopSignal watching_;
    std::string log_;
};

TEST_F(RegistryMonitorTest, OnlyAFinalAcceptedClientChoicePostsAReload) {
    Set("SyncEconf", "1");  // before the monitor runs: its first value
    Set("SyncMessenger", "0");
    StartWatching();
    EXPECT_TRUE(Logged("CRegistryMonitor started thread: 0x"));
    EXPECT_EQ(1u, Count(kMsgRegMonLog));  // the start line is written at once

    // The dialog writes one value after the other: "000001" is no choice and is passed over.
    Set("SyncEconf", "0");
    Set("SyncXLite", "1");
    ASSERT_TRUE(WaitFor(kMsgReloadClientSettings));
    // Nothing that is not a watched value changes the choice; blanks around values do not count.
    Set("Other", "x", "Sub");
    Set("SyncXLite", " 1 ");
    Set("Passwd", "digest-2");
    ASSERT_TRUE(WaitFor(kMsgRestartCorvane));
    EXPECT_EQ(1u, Count(kMsgReloadClientSettings));
    EXPECT_TRUE(Logged(std::string("RegistryMonitor: Sync clients values changed ") + kKeyName +
                       ", old: 100001, new: 000101\n"));
}

TEST_F(RegistryMonitorTest, APasswordChangeIsLoggedMaskedAndEndsTheMonitor) {
    StartWatching();
    Set("Passwd", "digest-1");  // the same again: no message
    Set("SyncMsnMessenger", "1");
    Set("SyncMessenger", "0");
    SetSip(0);  // MSN Messenger: "001000"
    ASSERT_TRUE(WaitFor(kMsgReloadClientSettings));
    EXPECT_EQ(0u, Count(kMsgRestartCorvane));

    Set("Passwd", "digest-2");
    ASSERT_TRUE(WaitFor(kMsgRestartCorvane));
    EXPECT_TRUE(Logged(std::string("RegistryMonitor: Value changed ") + kKeyName +
                       "\\Passwd, old: ********, new: ********\n"));
    EXPECT_FALSE(Logged("digest"));
    // The mark is cleared before the message, so its handler can watch again at once.
    EXPECT_FALSE(monitor_.IsRunning());
    StartWatching();
    Set("Passwd", "digest-3");
    EXPECT_TRUE(WaitFor(kMsgRestartCorvane, 2));
}

TEST_F(RegistryMonitorTest, ASecondStartIsRefusedWhileTheFirstRuns) {
    StartWatching();
    EXPECT_FALSE(monitor_.StartMonitor(RegRoot::CurrentUser, kPreferencesKey));
    EXPECT_TRUE(Logged("StartMonitor: thread is already running, started no new threads!\n"));
    EXPECT_TRUE(monitor_.IsRunning());
}

TEST_F(RegistryMonitorTest, UnreadableValuesAtStartMeanNoMonitor) {
    struct Case {
        std::function<void(RegistryMonitorTest&)> setUp;
        std::string line;
    };
    const Case cases[] = {
        {[](RegistryMonitorTest& t) { t.Set("Passwd", std::string(256, 'x')); },
         std::string("RegistryMonitor::Init: Could not read ") + kKeyName +
             "\\Passwd, reason: (234) "},
        {[](RegistryMonitorTest& t) {
             t.Set("Passwd", std::string(255, 'x'));
             t.SetSip(2);
         },
         std::string("ReadSyncClientSettings: Illegal value in ") + kKeyName +
             "\\UseSip, value: 2\n"},
        {[](RegistryMonitorTest&) {
             RegKey k;
             k.Open(RegRoot::CurrentUser, kPreferencesKey, kRegReadWrite);
             k.DeleteValue("DoNotSync");
         },
         std::string("ReadSyncClientSettings: Could not read ") + kKeyName +
             "\\DoNotSync, reason: (2) "},
        {[](RegistryMonitorTest& t) { t.registry_->Clear(); },
         std::string("RegistryMonitor: Could not open ") + kKeyName + ", reason: (2) "},
    };
    size_t logMessages = 0;
    for (const Case& c : cases) {
        SetUp();
        c.setUp(*this);
        ASSERT_TRUE(monitor_.StartMonitor(RegRoot::CurrentUser, kPreferencesKey));
        // The start line and the failure line each come with a log message.
        logMessages += 2;
        ASSERT_TRUE(WaitFor(kMsgRegMonLog, logMessages));
        EXPECT_TRUE(Logged(c.line)) << c.line << "\n" << log_;
        monitor_.Stop();
        EXPECT_FALSE(monitor_.IsRunning());
    }
    EXPECT_EQ(0u, Count(kMsgRestartCorvane));
}

}  // namespace
}  // namespace corv
