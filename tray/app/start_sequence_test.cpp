// The controller's start sequence against the in-memory registry and a scripted network.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "platform/scripted_network.h"
#include "tray/app/config_mgr.h"
#include "tray/core/log_capture.h"
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

}  // namespace
}  // namespace corv
