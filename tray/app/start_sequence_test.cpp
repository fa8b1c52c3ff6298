// The controller's start sequence against the in-memory registry and a scripted network.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/files.h"
#include "platform/manual_time.h"
#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "platform/scripted_network.h"
#include "platform/thread.h"
#include "tray/app/config_mgr.h"
#include "tray/app/frame_messages.h"
#include "tray/core/log_capture.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"
#include "tray/java/script_runner.h"

namespace corv {
namespace {

class AccountDialogConfigMgr : public CConfigMgr {
  public:
    bool confirm = false;
    int asked = 0;

  protected:
    bool AskForAccount() override {
        ++asked;
        if (confirm) {
            Prefs().SetUserId("typed");
            Prefs().SetPasswd("digest");
        }
        return confirm;
    }
};

class StartSequenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef _WIN32
        home_ = ProgramPath() + "\\start-sequence-home";
#else
        char tmpl[] = "/tmp/corv-start-XXXXXX";
        home_ = mkdtemp(tmpl);
#endif
        MakeDirectory(home_);
        SetPref("Home", home_);
        net_.SetHostName("desk");
        net_.AddHost("desk", {"127.0.0.5"});
        SetStatusText("");
    }
    void TearDown() override {
        ScriptRunner::Instance().Join(30000);
        TheLog().Close();
    }
    void SetPref(const char* name, const std::string& v) {
        RegKey k;
        k.Create(RegRoot::CurrentUser, kPreferencesKey);
        k.SetString(name, v);
    }
    void SetPref(const char* name, uint32_t v) {
        RegKey k;
        k.Create(RegRoot::CurrentUser, kPreferencesKey);
        k.SetDword(name, v);
    }
    uint32_t StoredDword(const char* name) {
        RegKey k;
        uint32_t v = 99;
        k.Open(RegRoot::CurrentUser, kPreferencesKey);
        k.QueryDword(name, &v);
        return v;
    }
    void Init(CConfigMgr& mgr) {
        mgr.Prefs().Load();
        mgr.NormalisePreferences();
    }

    ScopedMemoryRegistry registry_;
    ScopedScriptedNetwork net_;
    ScopedScriptedPrompter prompts_;
    ScopedLogCapture log_;
    std::string home_;
};

TEST_F(StartSequenceTest, ConflictingProxyModesEndInAutoDetectionAndAreSaved) {
    SetPref("UserId", "bob");
    SetPref("Passwd", "digest");
    SetPref("UseProxy", 1u);
    SetPref("NoProxy", 1u);
    SetPref("AutoDetection", 0u);
    SetPref("HttpProxyPort", 8080u);  // a port without an address is dropped
    CConfigMgr mgr;
    Init(mgr);
    EXPECT_EQ(1, mgr.Prefs().GetAutoDetection());
    EXPECT_EQ(0, mgr.Prefs().GetUseProxy());
    EXPECT_EQ(0, mgr.Prefs().GetNoProxy());
    EXPECT_EQ(1u, StoredDword("AutoDetection"));
    EXPECT_EQ(0u, StoredDword("UseProxy"));
    EXPECT_EQ(0u, StoredDword("NoProxy"));
    EXPECT_EQ(0xFFFFFFFFu, StoredDword("HttpProxyPort"));
    EXPECT_TRUE(log_.Has("Warning: unexisting classpath: "));
}

TEST_F(StartSequenceTest, MissingAccountAsksAndDisablesWhenNotConfirmed) {
    AccountDialogConfigMgr mgr;
    Init(mgr);
    EXPECT_EQ(1, mgr.asked);
    EXPECT_FALSE(mgr.CredentialsOk());
    EXPECT_EQ("Disabled: missing userid/password", GetStatusText());
    EXPECT_FALSE(mgr.StartJava(0));  // the launcher is not started

    AccountDialogConfigMgr confirming;
    confirming.confirm = true;
    Init(confirming);
    EXPECT_TRUE(confirming.CredentialsOk());
    RegKey k;
    std::string user;
    k.Open(RegRoot::CurrentUser, kPreferencesKey);
    EXPECT_EQ(kOk, k.QueryString("UserId", &user));  // the dialog's result is saved
    EXPECT_EQ("typed", user);
}

TEST_F(StartSequenceTest, RegisteredWebControlsAllowAnEmptyAccountButDisableTheClient) {
    RegKey c;
    c.Create(RegRoot::ClassesRoot, "CLSID\\{BDD90BF5-61FA-4E44-A1D7-0277F789FCDB}\\InprocServer32");
    AccountDialogConfigMgr mgr;
    Init(mgr);
    EXPECT_EQ(0, mgr.asked);
    EXPECT_TRUE(mgr.CredentialsOk());
    net_.Route(SocketKind::Udp, "127.0.0.1", 80, "127.0.0.5");
    EXPECT_TRUE(mgr.BringUpClient());
    EXPECT_EQ("Disabled: Userid/passwd not set.", GetStatusText());
    EXPECT_FALSE(TheLog().IsOpen());
}

TEST_F(StartSequenceTest, AFixedAddressThatIsNotLocalDisablesTheClient) {
    SetPref("UserId", "bob");
    SetPref("Passwd", "digest");
    SetPref("SyncMode", "Fixed");
    SetPref("LocalIpAddress", "127.0.0.9");
    CConfigMgr mgr;
    Init(mgr);
    EXPECT_TRUE(mgr.BringUpClient());
    EXPECT_EQ("Disabled: Address 127.0.0.9 is not in local host table", GetStatusText());
    EXPECT_EQ("127.0.0.9", mgr.Prefs().GetActiveIpAddress());
    EXPECT_TRUE(log_.Has("JavaVersion: "));
    EXPECT_TRUE(log_.Has("Changed directory to " + home_ + "\n"));
    EXPECT_TRUE(log_.Has("Calling VerifyInstallation()\n"));
    EXPECT_TRUE(log_.Has("Start Registry Monitor\n"));
}

TEST_F(StartSequenceTest, WithoutAUsableAddressTheRegisterMonitorWaitsForOne) {
    SetPref("UserId", "bob");
    SetPref("Passwd", "digest");
    QueuedPoster poster;
    SetMainPoster(&poster);
    ScopedManualTime clock;
    net_.AddHost("desk", {});
    // The network comes up a few seconds after the start.
    clock.OnSleep([this](unsigned, size_t i) {
        if (i == 3) net_.AddHost("desk", {"127.0.0.5"});
    });
    RegMonLogQueue().TakeAll();
    {
        CConfigMgr mgr;
        Init(mgr);
        EXPECT_TRUE(mgr.BringUpClient());
        EXPECT_TRUE(poster.WaitForPosts(kMsgIpAddrRegistered, 1, 10000));
        EXPECT_EQ("127.0.0.5", mgr.Connection().RegisteredAddress());
        EXPECT_TRUE(log_.Has("Start Registry Monitor\n"));
        EXPECT_TRUE(poster.WaitForPosts(kMsgRegMonLog, 1, 10000));
        EXPECT_NE(std::string::npos,
                  RegMonLogQueue().TakeAll().find("CRegistryMonitor started thread: 0x"));
    }
    SetMainPoster(nullptr);
}

TEST_F(StartSequenceTest, VerificationRunsOncePerProcessAndNeverForADuplicate) {
    CConfigMgr mgr;
    Init(mgr);
    mgr.VerifyInstallation();
    EXPECT_TRUE(log_.Has("\n*\n* Verifying installation\n*\n\n"));
    std::string script;
    EXPECT_TRUE(ReadFileText(home_ + "\\verify.bat", &script) || log_.Has("* Started process"));
    ScriptRunner::Instance().Join(30000);
    RemoveFile(home_ + "\\verify.bat");
    log_.Clear();
    mgr.VerifyInstallation();
    EXPECT_EQ("\n*\n* Duplicate call to Verify installation (ignored) \n*\n\n", log_.Text());
    EXPECT_FALSE(PathExists(home_ + "\\verify.bat"));

    CConfigMgr duplicate;
    duplicate.SetDuplicateInstance(true);
    log_.Clear();
    duplicate.VerifyInstallation();
    EXPECT_EQ("\n*\n* Corvane is already running, Verify installation ignored \n*\n\n",
              log_.Text());
}

TEST_F(StartSequenceTest, FixedPortModeReadsThePortsOfTheJavaPreferences) {
    SetPref("SyncMode", "fixed");
    RegKey sip, socks;
    sip.Create(RegRoot::CurrentUser, "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Sip");
    sip.SetString("udp/Port", "5071");
    sip.SetString("always/Tunnel/Media", "YES");
    socks.Create(RegRoot::CurrentUser, "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Socks");
    socks.SetString("socks/Port", "70000");  // out of range: ignored
    CConfigMgr mgr;
    Init(mgr);
    EXPECT_EQ(5071, mgr.Prefs().GetFixedSipPort());
    EXPECT_EQ(-1, mgr.Prefs().GetFixedSocksPort());
    EXPECT_TRUE(mgr.Prefs().GetAlwaysTunnelMedia());

    SetPref("SyncMode", "sometimes");
    CConfigMgr other;
    Init(other);
    EXPECT_EQ("dynamic", other.Prefs().GetSyncMode());
}

}  // namespace
}  // namespace corv
