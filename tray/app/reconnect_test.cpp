// The controller's reconnect and restart control, against the in-memory registry, a scripted
// network and a clock that never waits.
#include <gtest/gtest.h>

#include "platform/manual_time.h"
#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "platform/scripted_network.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "tray/app/config_mgr.h"
#include "tray/app/frame_messages.h"
#include "tray/core/log_capture.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"
#include "tray/net/restart_counter.h"
#include "tray/settings/active_settings.h"

namespace corv {
namespace {

constexpr int64_t kNow = 1700000000;

// Records the programs it would start and the synchronisations it would run.
class ReconnectConfigMgr : public CConfigMgr {
  public:
    void SyncClientSettings(int enable) override { calls.push_back(Format("sync %d", enable)); }
    void SyncClientSettingsWith(CPreferences&, int enable) override {
        calls.push_back(Format("sync with dialog %d", enable));
    }
    unsigned StartProcess(const std::string& program, const std::string& arguments,
                          const std::string& folder) override {
        calls.push_back("start " + program + " " + arguments + " in " + folder);
        return pid;
    }
    bool IsJavaRunning() const override { return javaRunning; }

    unsigned pid = 4242;
    bool javaRunning = false;
    std::vector<std::string> calls;
};

class ReconnectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMainPoster(&poster_);
        net_.SetHostName("desk");
        net_.AddHost("desk", {"10.0.0.5", "127.0.0.1"});
        RegKey settings;
        settings.Create(RegRoot::CurrentUser, kSettingsKeyPath);
        SetStatusText("");
        mgr_.Prefs().Load();
        mgr_.Prefs().SetHome("C:\\Corvane");
        TheLog().SetObserver(nullptr);
        log_.reset(new ScopedLogCapture);
    }
    void TearDown() override {
        log_.reset();
        SetMainPoster(nullptr);
    }
    size_t Posted(unsigned message) {
        size_t n = 0;
        for (unsigned m : poster_.History()) n += m == message;
        return n;
    }
    size_t Count(const std::string& line) {
        size_t n = 0;
        std::string text = log_->Text();
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
            ++n;
        return n;
    }
    std::unique_ptr<CPreferences> Working() { return std::make_unique<CPreferences>(mgr_.Prefs()); }

    ScopedMemoryRegistry registry_;
    ScopedScriptedNetwork net_;
    ScopedManualTime clock_{kNow};
    ScopedScriptedPrompter prompts_;
    QueuedPoster poster_;
    std::unique_ptr<ScopedLogCapture> log_;
    ReconnectConfigMgr mgr_;
};

const char* const kReconnectCall = "start C:\\Corvane\\corvtray.exe /Reconnect in C:\\Corvane\\";
const char* const kRestartCall = "start C:\\Corvane\\corvtray.exe /WaitOnRestart in C:\\Corvane\\";

TEST_F(ReconnectTest, FourAddressLossesWithinAnHourGiveThreeReconnects) {
    for (int i = 0; i < 4; ++i) {
        mgr_.OnIpAddrReleased();
        clock_.SetNow(kNow + 600 * (i + 1));
    }
    EXPECT_EQ(std::vector<std::string>(3, kReconnectCall), mgr_.calls);
    EXPECT_EQ(3u, Count("OnIpAddrReleased: reconnecting\n"));
    EXPECT_EQ(3u, Count("Started \"C:\\Corvane\\corvtray.exe /Reconnect\" with pid: 4242\n"));
    EXPECT_EQ(1u,
              Count("OnIpAddrReleased: ReconnectIsAllowed returned FALSE, too many restarts\n"));
    EXPECT_EQ(3u, Posted(kMsgClose));
    // Closing ends the program rather than hiding it.
    EXPECT_FALSE(mgr_.GetRunInBackground());
    EXPECT_TRUE(prompts_.Texts().empty());
}

TEST_F(ReconnectTest, LosingAFixedAddressDisablesTheClientWithoutARestart) {
    mgr_.Prefs().SetSyncMode("Fixed");
    mgr_.Prefs().SetLocalIpAddress("10.0.0.9");
    mgr_.OnIpAddrReleased();
    EXPECT_EQ("Disabled: Address  is not in local host table", GetStatusText());
    mgr_.OnIpAddrRegistered("10.0.0.9");  // the current address becomes the fixed one
    mgr_.OnIpAddrReleased();
    EXPECT_TRUE(log_->Has("OnIpAddrReleased: fixed address 10.0.0.9 is not in local host table\n"));
    EXPECT_EQ("Disabled: Address 10.0.0.9 is not in local host table", GetStatusText());
    EXPECT_EQ(std::vector<std::string>{"sync 1"}, mgr_.calls);  // from the registration only
    RegKey settings;
    settings.Open(RegRoot::CurrentUser, kSettingsKeyPath);
    uint32_t count = 0;
    EXPECT_NE(kOk, settings.QueryDword("nrestarts", &count));  // nothing counted
}

TEST_F(ReconnectTest, ANewCopyThatCannotStartLeavesThisOneRunningWithABox) {
    struct Case {
        const char* home;
        bool restart;
        std::string box;
        std::string line;
    };
    const Case cases[] = {
        {"C:\\Corvane", false, "Reconnect failed, could not set reconnect hook.\n",
         "Failed to start \"C:\\Corvane\\corvtray.exe /Reconnect\"\n"},
        {"C:\\Corvane\\", true,
         "Restart failed, could not execute restart hook.\nPlease restart manually",
         "Failed to start \"C:\\Corvane\\corvtray.exe /WaitOnRestart\"\n"},
    };
    mgr_.pid = 0;
    for (const Case& c : cases) {
        mgr_.Prefs().SetHome(c.home);
        mgr_.calls.clear();
        if (c.restart)
            mgr_.Restart();
        else
            mgr_.Reconnect(true);
        EXPECT_EQ(std::vector<std::string>{c.restart ? kRestartCall : kReconnectCall}, mgr_.calls);
        EXPECT_EQ(c.box, prompts_.Texts().back());
        EXPECT_TRUE(log_->Has(c.line)) << c.line;
    }
    EXPECT_EQ(0u, Posted(kMsgClose));
    EXPECT_TRUE(mgr_.GetRunInBackground());
}

TEST_F(ReconnectTest, ARegisteredAddressStartsTheClientUnlessTheUserChoseAnother) {
    struct Case {
        const char* name;
        const char* fixed;  // LocalIpAddress in fixed mode; null: dynamic
        bool javaRunning;
        std::string line;
        std::vector<std::string> calls;
        std::string status;
    };
    const Case cases[] = {
        {"detected",
         nullptr,
         false,
         "OnIpAddrRegistered: Detected internet connection, addr: 10.0.0.5!\n",
         {"sync 1"},
         "Initializing..."},
        {"running", nullptr, true, "OnIpAddrRegistered: Java client is already running!\n", {}, ""},
        {"fixed elsewhere",
         "10.0.0.9",
         false,
         "OnIpAddrRegistered: Ignoring 10.0.0.5, user has changed ip addr to: 10.0.0.9!\n",
         {},
         ""},
    };
    for (const Case& c : cases) {
        ReconnectConfigMgr mgr;
        mgr.javaRunning = c.javaRunning;
        mgr.Prefs().SetSyncMode(c.fixed ? "fixed" : "dynamic");
        mgr.Prefs().SetLocalIpAddress(c.fixed ? c.fixed : "");
        SetStatusText("");
        TheLog().Close();
        mgr.OnIpAddrRegistered("10.0.0.5");
        EXPECT_TRUE(log_->Has(c.line)) << c.name;
        EXPECT_EQ(c.calls, mgr.calls) << c.name;
        EXPECT_EQ(c.status, GetStatusText()) << c.name;
        EXPECT_EQ(c.fixed ? c.fixed : "10.0.0.5", mgr.Prefs().GetActiveIpAddress()) << c.name;
    }
}

TEST_F(ReconnectTest, TheStartedClientsAddressIsPublishedAndWatched) {
    net_.AddHost("desk", {"10.0.0.7"});
    EXPECT_EQ("10.0.0.7", mgr_.GetActiveAddress(5000));  // what the launcher starts with
    mgr_.Connection().SetConfigMgr(&mgr_);
    mgr_.OnJavaStarted(1);  // on the launcher's thread: posts
    DefaultFrameListener listener;
    poster_.Pump(
        [&](const QueuedPoster::Message& m) { HandleFrameMessage(m.message, &mgr_, listener); });
    EXPECT_EQ(std::vector<std::string>{"sync 1"}, mgr_.calls);
    RegKey settings;
    settings.Open(RegRoot::CurrentUser, kSettingsKeyPath);
    std::string published;
    settings.QueryString("ActiveIpAddress", &published);
    EXPECT_EQ("10.0.0.7", published);
    // The release monitor now watches that address.
    net_.AddHost("desk", {"10.0.0.8"});
    EXPECT_TRUE(poster_.WaitForPosts(kMsgIpAddrReleased, 1, 10000));
}

TEST_F(ReconnectTest, RegistryEventsRestartUnlessThisProgramCausedThem) {
    RegKey prefs;
    prefs.Create(RegRoot::CurrentUser, kPreferencesKey);
    prefs.SetString("Passwd", "digest-from-elsewhere");

    // The user changed the password in the dialog while the client was not running.
    auto working = Working();
    working->SetPasswd("digest-typed");
    mgr_.OnPreferencesAccepted(std::move(working));
    EXPECT_FALSE(mgr_.IsRestartPending());
    mgr_.calls.clear();
    mgr_.OnRegistryMonitorEvent();
    EXPECT_TRUE(
        log_->Has("Ignored event from registry monitor, account details changed by user (myself)\n"
                  "Start Registry Monitor\n"));
    EXPECT_TRUE(mgr_.calls.empty());

    prefs.SetString("Passwd", "digest-from-elsewhere");
    mgr_.OnRegistryMonitorEvent();
    EXPECT_TRUE(log_->Has("Received event from registry monitor, doing a restart\n"));
    EXPECT_EQ("digest-from-elsewhere", mgr_.Prefs().GetPasswd());
    EXPECT_EQ(std::vector<std::string>{kRestartCall}, mgr_.calls);
}

TEST_F(ReconnectTest, APendingRestartIgnoresRegistryEventsAndAClientIdWatchesNothing) {
    mgr_.javaRunning = true;
    mgr_.pid = 0;  // the restart fails, so the decision stays pending
    auto working = Working();
    working->SetHttpProxyPort(8080);
    mgr_.OnPreferencesAccepted(std::move(working));
    ASSERT_TRUE(mgr_.IsRestartPending());
    mgr_.SetCorvaneId("second");
    log_->Clear();
    mgr_.OnRegistryMonitorEvent();
    EXPECT_TRUE(log_->Has("Ignored event from registry monitor, restart already pending\n"));
    EXPECT_FALSE(log_->Has("Start Registry Monitor\n"));
}

TEST_F(ReconnectTest, AcceptedPreferencesRestartOnlyForWhatTheClientReadsAtItsStart) {
    struct Case {
        const char* name;
        std::function<void(CPreferences&)> change;
        bool javaRunning;
        std::vector<std::string> calls;
        const char* box;  // null: none
    };
    const Case cases[] = {
        {"balloons only", [](CPreferences& w) { w.SetHideBalloons(1); }, true, {}, nullptr},
        {"proxy address in another case",
         [](CPreferences& w) { w.SetHttpProxyAddress("PROXY.test"); },
         true,
         {},
         nullptr},
        {"proxy port, client running",
         [](CPreferences& w) { w.SetHttpProxyPort(3128); },
         true,
         {kRestartCall},
         "Corvane will be restarted now to make changes take effect!"},
        {"proxy port, client stopped",
         [](CPreferences& w) { w.SetHttpProxyPort(3128); },
         false,
         {"sync 1"},
         nullptr},
        {"address mode",
         [](CPreferences& w) { w.SetSyncMode("fixed"); },
         true,
         {kRestartCall},
         "Corvane will be restarted now to make changes take effect!"},
        {"client choice",
         [](CPreferences& w) {
             w.SetSyncXLite(true);
             w.SetSyncMessenger(false);
         },
         true,
         {"sync with dialog 1"},
         nullptr},
    };
    for (const Case& c : cases) {
        ReconnectConfigMgr mgr;
        mgr.Prefs().Load();
        mgr.Prefs().SetHome("C:\\Corvane");
        mgr.Prefs().SetHttpProxyAddress("proxy.test");
        mgr.javaRunning = c.javaRunning;
        size_t boxes = prompts_.Texts().size();
        auto working = std::make_unique<CPreferences>(mgr.Prefs());
        c.change(*working);
        CPreferences expected(*working);
        mgr.OnPreferencesAccepted(std::move(working));
        EXPECT_EQ(c.calls, mgr.calls) << c.name;
        ASSERT_EQ(boxes + (c.box ? 1 : 0), prompts_.Texts().size()) << c.name;
        if (c.box) {
            EXPECT_EQ(c.box, prompts_.Texts().back()) << c.name;
        }
        // The dialog's copy is the preferences now.
        EXPECT_EQ(expected.GetHideBalloons(), mgr.Prefs().GetHideBalloons()) << c.name;
        EXPECT_EQ(expected.GetHttpProxyPort(), mgr.Prefs().GetHttpProxyPort()) << c.name;
        EXPECT_EQ(expected.GetSyncMode(), mgr.Prefs().GetSyncMode()) << c.name;
    }
    EXPECT_TRUE(log_->Has("User changed preferences from dialog window, doing a restart\n"));
    EXPECT_TRUE(log_->Has("User changed preferences from dialog window, starting Java client\n"));
}

TEST_F(ReconnectTest, TheDialogDecidesCloseBehaviourAndEnablesAClientMissingItsAccount) {
    auto working = Working();
    working->SetAllowBckgrnd(0);
    working->SetUserId("bob");
    // The account dialog at start was cancelled.
    mgr_.Prefs().SetUserId("");
    mgr_.NormalisePreferences();
    ASSERT_FALSE(mgr_.IsClientEnabled());
    ASSERT_EQ("Disabled: missing userid/password", GetStatusText());
    mgr_.OnPreferencesAccepted(std::move(working));
    EXPECT_FALSE(mgr_.GetRunInBackground());
    EXPECT_TRUE(mgr_.IsClientEnabled());
    EXPECT_EQ("Initializing...", GetStatusText());
}

TEST_F(ReconnectTest, WithoutAnOrderlyCloseTheControllersEndCountsAReconnect) {
    for (bool orderly : {true, false}) {
        {
            ReconnectConfigMgr mgr;
            mgr.SetWindowClosed(orderly);
        }
        EXPECT_EQ(orderly ? 0u : 1u, Count("Reconnect, exiting to avoid restart loop!\n"));
        EXPECT_EQ(orderly ? 0u : 1u, Posted(kMsgClose));
    }
    RegKey settings;
    settings.Open(RegRoot::CurrentUser, kSettingsKeyPath);
    uint32_t count = 0;
    EXPECT_EQ(kOk, settings.QueryDword("nrestarts", &count));
    EXPECT_EQ(1u, count);
}

}  // namespace
}  // namespace corv
