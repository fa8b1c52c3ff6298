// The controller's start sequence against the in-memory registry and a scripted network.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/manual_time.h"
#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "platform/scripted_network.h"
#include "platform/thread.h"
#include "tray/app/config_mgr.h"
#include "tray/app/frame_messages.h"
#include "tray/clients/client_sync.h"
#include "tray/clients/client_values.h"
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
    ScriptRunner::Queue().TakeAll();
    mgr.VerifyInstallation();
    EXPECT_TRUE(log_.Has("\n*\n* Verifying installation\n*\n\n"));
    ASSERT_TRUE(ScriptRunner::Instance().Join(30000));
    // The runner was given the script (natively it cannot run it, on Windows it does).
    std::string lines = ScriptRunner::Queue().TakeAll();
    EXPECT_NE(std::string::npos, lines.find(home_ + "\\verify.bat  # startin: " + home_)) << lines;
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

TEST_F(StartSequenceTest, TheAddressIsTheHostTablesFirstAndNothingIsProbed) {
    SetPref("UserId", "bob");
    SetPref("Passwd", "digest");
    net_.AddHost("desk", {"127.0.0.1", "0.0.0.0", "127.0.0.5", "127.0.0.6"});
    net_.Route(SocketKind::Udp, "127.0.0.1", 0, "127.0.0.6");
    net_.Route(SocketKind::Tcp, "127.0.0.1", 0, "127.0.0.6");
    CConfigMgr mgr;
    Init(mgr);
    EXPECT_TRUE(mgr.BringUpClient());
    EXPECT_EQ("127.0.0.5", mgr.ActiveAddress());
    EXPECT_EQ("127.0.0.5", mgr.Prefs().GetActiveIpAddress());
    EXPECT_TRUE(net_.Attempts().empty()) << net_.Attempts().front();
    EXPECT_TRUE(log_.Has("ipaddr[2] = 127.0.0.5\n"));
}

TEST_F(StartSequenceTest, AnUnreadableHostTableMeansNotConnected) {
    SetPref("UserId", "bob");
    SetPref("Passwd", "digest");
    net_.FailLookup("desk", 11001);
    net_.Route(SocketKind::Udp, "127.0.0.1", 0, "127.0.0.5");
    CConfigMgr mgr;
    Init(mgr);
    EXPECT_TRUE(mgr.BringUpClient());
    EXPECT_EQ("Not connected to internet!", GetStatusText());
    EXPECT_EQ("", mgr.Prefs().GetActiveIpAddress());
    EXPECT_TRUE(net_.Attempts().empty());
    EXPECT_FALSE(TheLog().IsOpen());
}

TEST_F(StartSequenceTest, TheExternalSipAddressOfTheJavaPreferencesIsTrimmed) {
    RegKey sip;
    sip.Create(RegRoot::CurrentUser, "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Sip");
    sip.SetString("external/Sip/Address", " \t127.0.0.8  ");
    CConfigMgr mgr;
    Init(mgr);
    EXPECT_EQ("127.0.0.8", mgr.Prefs().GetExternalSipAddress());

    sip.SetString("external/Sip/Address", "  ");  // blanks alone leave the preference
    CConfigMgr blank;
    blank.Prefs().Load();
    blank.Prefs().SetExternalSipAddress("127.0.0.4");
    blank.NormalisePreferences();
    EXPECT_EQ("127.0.0.4", blank.Prefs().GetExternalSipAddress());
}

TEST_F(StartSequenceTest, AHomeThatCannotBeTheCurrentFolderEndsTheSequenceInOrder) {
    SetPref("UserId", "bob");
    SetPref("Passwd", "digest");
    // A real folder whose path is over the system's limit for the current folder.
    std::string deep = home_;
    while (deep.size() < 300) {
        deep += "\\" + std::string(40, 'd');
        MakeDirectory(deep);
    }
    const std::string before = CurrentFolder();
    CConfigMgr mgr;
    Init(mgr);
    mgr.Prefs().SetHome(deep);
    EXPECT_FALSE(mgr.BringUpClient());
    EXPECT_TRUE(log_.Has("Can't change to directory " + deep + "\n")) << log_.Text();
    EXPECT_FALSE(log_.Has("Changed directory to "));
    EXPECT_FALSE(log_.Has("Calling VerifyInstallation()"));
    EXPECT_EQ(before, CurrentFolder());
}

TEST_F(StartSequenceTest, TheScriptIsWrittenForTheConsoleAndItsOutputReachesTheLog) {
    // A client id moves the log to logs-<id>; the script still writes logs\start.log.
    const std::string cyrillic = "\xd0\xba\xd0\xbe\xd1\x80\xd0\xb2";
    for (const std::string& name : {std::string("100%"), cyrillic}) {
        const std::string home = home_ + "\\" + name;
        MakeDirectory(home);
        SetPref("Home", home);
        CConfigMgr mgr;
        mgr.SetCorvaneId("ABC");
        Init(mgr);
        ASSERT_TRUE(TheLog().Open(home, "ABC"));
        log_.Clear();
        mgr.VerifyInstallation();
        ScriptRunner::Instance().Join(30000);
        EXPECT_TRUE(IsDirectory(home + "\\logs")) << name;

        std::string script, oem;
        const std::string path = home + "\\verify.bat";
        if (ReadFileText(path, &script)) {  // where the script ran, it deleted itself
            if (Utf8ToOem(path, &oem)) {
                std::string literal;
                for (char c : oem) literal += c == '%' ? std::string("%%") : std::string(1, c);
                EXPECT_NE(std::string::npos, script.find("del \"" + literal + "\"\r\n")) << script;
            } else {
                EXPECT_NE(std::string::npos, script.find("del \"%~f0\"\r\n")) << script;
            }
            EXPECT_EQ(0u, script.find("echo Running script verify.bat > logs\\start.log\r\n"));
        }
        if (!Utf8ToOem(path, &oem)) {
            EXPECT_TRUE(log_.Has("verify.bat deletes itself by its own name\n")) << log_.Text();
        }

        // The script's output, in the console's code page, with a control character.
        const std::string accented = "\xc3\xa9t\xc3\xa9";
        ASSERT_TRUE(Utf8ToOem("echo BEGIN " + accented + "\r\nbell\x07\r\n", &oem));
        WriteFileBytes(home + "\\logs\\start.log", oem);
        mgr.AppendStartLog();
        TheLog().Close();
        std::string log;
        ReadFileText(home + "\\logs-ABC\\start0.log", &log);
        const bool binary = TheLog().Format() == "binary";
        EXPECT_NE(std::string::npos,
                  log.find(CLogFile::Encode("[script] echo BEGIN " + accented + " \n", binary)));
        EXPECT_NE(std::string::npos, log.find(CLogFile::Encode("[script] bell\\x07 \n", binary)));
        // The folder made for the script goes with its output.
        EXPECT_FALSE(PathExists(home + "\\logs")) << name;
    }
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

// Step 7 backs the programs up; with a usable address they point at the proxy before the
// Java client starts, follow the reported ports, and get their values back at the exit.
TEST_F(StartSequenceTest, TheBringUpPointsTheMessengerAtTheProxyAndTheExitRestoresIt) {
    SetPref("UserId", "bob");
    SetPref("Passwd", "digest");
    RegKey wm;
    wm.Create(RegRoot::CurrentUser, kMessengerServiceKey);
    wm.SetString("SOCKS5Server", "localhost");
    wm.SetString("SOCKS5Username", "alice");
    CConfigMgr mgr;
    Init(mgr);
    net_.Route(SocketKind::Udp, "127.0.0.1", 80, "127.0.0.5");
    EXPECT_TRUE(mgr.BringUpClient());
    EXPECT_TRUE(mgr.Clients().HasWindowsMessenger());
    std::string server, user;
    EXPECT_EQ(kOk, wm.QueryString("SOCKS5Server", &server));
    EXPECT_EQ("127.0.0.5", server);
    EXPECT_NE(kOk, wm.QueryString("SOCKS5Username", &user));

    mgr.OnSocksPortUpdated(1090);
    uint32_t port = 0;
    EXPECT_TRUE(QueryBinary4(wm, "SOCKS5Port", &port));
    EXPECT_EQ(1090u, port);

    mgr.SyncClientSettings(0);  // the frame's exit path
    EXPECT_EQ(kOk, wm.QueryString("SOCKS5Server", &server));
    EXPECT_EQ("localhost", server);
    EXPECT_EQ(kOk, wm.QueryString("SOCKS5Username", &user));
    EXPECT_FALSE(QueryBinary4(wm, "SOCKS5Port", &port));
}

// Repairing the client choice counts a messenger as installed when it is set up for the user.
TEST_F(StartSequenceTest, TheRepairedClientChoiceFollowsTheMessengersSetUpForTheUser) {
    SetPref("SyncMsnMessenger", "0");
    SetPref("SyncMessenger", "0");
    CConfigMgr none;
    Init(none);
    EXPECT_TRUE(none.Prefs().GetDoNotSync());
    EXPECT_FALSE(none.Prefs().GetSyncMsnMessenger());

    RegKey msn;
    msn.Create(RegRoot::CurrentUser, kMsnMessengerKey);
    SetPref("DoNotSync", "0");
    CConfigMgr withMsn;
    Init(withMsn);
    EXPECT_FALSE(withMsn.Prefs().GetDoNotSync());
    EXPECT_TRUE(withMsn.Prefs().GetSyncMsnMessenger());
    EXPECT_FALSE(withMsn.Prefs().GetSyncMessenger());
}

}  // namespace
}  // namespace corv
