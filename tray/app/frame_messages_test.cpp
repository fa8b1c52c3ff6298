#include "tray/app/frame_messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/files.h"
#include "platform/memory_registry.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "tray/app/config_mgr.h"
#include "tray/core/log_capture.h"
#include "tray/core/messages.h"
#include "tray/java/script_runner.h"

namespace corv {
namespace {

// Records what the frame hands to the controller.
class RecordingConfigMgr : public CConfigMgr {
  public:
    void SyncMessengerSettings(int enable) override {
        calls.push_back("sync " + std::to_string(enable));
    }
    void VerifyInstallation() override { calls.push_back("verify"); }
    void AppendStartLog() override { calls.push_back("startlog"); }
    void OnRegistryMonitorEvent() override { calls.push_back("restart"); }
    void ReloadClientSettings() override { calls.push_back("reload"); }
    void OnSipPortUpdated(int port) override { calls.push_back("sip " + std::to_string(port)); }
    void OnIpAddrRegistered(const std::string& address) override {
        calls.push_back("registered " + address);
    }
    void OnIpAddrReleased() override { calls.push_back("released"); }
    void OnSocksPortUpdated(int port) override {
        if (port < 0) throw std::runtime_error("bad port");
        calls.push_back("socks " + std::to_string(port));
    }
    void HandleJavaStarted() override { calls.push_back("java started"); }
    std::vector<std::string> calls;
};

class FixedListener : public DefaultFrameListener {
  public:
    int GetMessengerProxy() const override { return 1; }
    int GetSipPort() const override { return 5070; }
    int GetSocksPort() const override { return socks; }
    int socks = 1081;
};

class FrameMessagesTest : public ::testing::Test {
  protected:
    std::string Said() { return capture_.Text(); }
    ScopedMemoryRegistry registry_;
    ScopedLogCapture capture_;
};

TEST_F(FrameMessagesTest, EachMessageLogsItsLineAndHandsItsWorkToTheController) {
    RecordingConfigMgr cm;
    FixedListener listener;
    const unsigned all[] = {
        kMsgSyncMessenger,  kMsgJavaLog,          kMsgVerifyInstallation, kMsgScriptLog,
        kMsgScriptFinished, kMsgRegMonLog,        kMsgRestartCorvane,     kMsgReloadClientSettings,
        kMsgSipPortUpdated, kMsgSocksPortUpdated, kMsgJavaStarted,        kMsgIpAddrRegistered,
        kMsgIpAddrReleased, kMsgHttpProxyUpdate};
    for (unsigned m : all) EXPECT_TRUE(HandleFrameMessage(m, &cm, listener)) << m;
    EXPECT_EQ((std::vector<std::string>{"sync 1", "verify", "startlog", "restart", "reload",
                                        "sip 5070", "socks 1081", "java started", "registered ",
                                        "released", "restart"}),
              cm.calls);
    std::string said = Said();
    size_t at = 0;
    for (const char* line :
         {"CMainFrame Received OnSyncMessenger\n", "CMainFrame Received OnJavaLog\n",
          "CMainFrame Received OnVerifyInstallation\n", "CMainFrame Received OnScriptLog\n",
          "CMainFrame Received OnScriptFinished\n", "CMainFrame Received OnRegMonLog\n",
          "CMainFrame Received OnRestartCorvane\n", "CMainFrame Received OnReloadClientSettings\n",
          "CMainFrame Received OnSipPortUpdated\n", "CMainFrame Received OnSocksPortUpdated\n",
          "CMainFrame Received OnJavaStarted\n", "CMainFrame Received OnIpAddrRegistered\n",
          "CMainFrame Received OnIpAddrReleased\n", "CMainFrame Received OnHttpProxyUpdate\n"}) {
        size_t found = said.find(line, at);
        ASSERT_NE(std::string::npos, found) << line << " in order in\n" << said;
        at = found;
    }
}

TEST_F(FrameMessagesTest, OtherMessagesAreNotTheirs) {
    RecordingConfigMgr cm;
    FixedListener listener;
    for (unsigned m : {kMsgTrayIcon, kMsgQuitCorvane, kMsgHide, kMsgBalloon, kMsgSetMessageString,
                       kMsgNotifier, 0u})
        EXPECT_FALSE(HandleFrameMessage(m, &cm, listener)) << m;
    EXPECT_TRUE(cm.calls.empty());
    EXPECT_EQ("", Said());
    EXPECT_STREQ("OnQuitCorvane", FrameMessageName(kMsgQuitCorvane));
    EXPECT_EQ(nullptr, FrameMessageName(kMsgBalloon));
}

TEST_F(FrameMessagesTest, WithoutControllerOnlyTheLineIsLogged) {
    FixedListener listener;
    EXPECT_TRUE(HandleFrameMessage(kMsgSipPortUpdated, nullptr, listener));
    EXPECT_TRUE(HandleFrameMessage(kMsgVerifyInstallation, nullptr, listener));
    std::string said = Said();
    EXPECT_NE(std::string::npos, said.find("CMainFrame Received OnSipPortUpdated\n"));
    EXPECT_NE(std::string::npos, said.find("CMainFrame Received OnVerifyInstallation\n"));
}

TEST_F(FrameMessagesTest, AnExceptionIsLoggedAndIgnored) {
    RecordingConfigMgr cm;
    FixedListener listener;
    listener.socks = -1;
    EXPECT_TRUE(HandleFrameMessage(kMsgSocksPortUpdated, &cm, listener));
    EXPECT_NE(std::string::npos,
              Said().find("Internal error(ignored): Caught exception while calling "
                          "OnSocksPortUpdated()\n"));
}

TEST_F(FrameMessagesTest, QueuesAreWrittenAsOneMessageAndEmptied) {
    JavaLogQueue().Push("java one\n");
    JavaLogQueue().Push("java two\n");
    RegMonLogQueue().Push("regmon\n");
    ScriptLogQueue().Push("script\n");
    DefaultFrameListener listener;
    HandleFrameMessage(kMsgJavaLog, nullptr, listener);
    HandleFrameMessage(kMsgRegMonLog, nullptr, listener);
    HandleFrameMessage(kMsgScriptFinished, nullptr, listener);
    HandleFrameMessage(kMsgJavaLog, nullptr, listener);  // nothing left: only its line
    EXPECT_FALSE(JavaLogQueue().HasUnread());
    EXPECT_FALSE(RegMonLogQueue().HasUnread());
    EXPECT_FALSE(ScriptLogQueue().HasUnread());
    std::string said = Said();
    size_t one = said.find("java one\n"), two = said.find("java two\n");
    ASSERT_NE(std::string::npos, two);
    EXPECT_LT(one, two);
    EXPECT_NE(std::string::npos, said.find("regmon\n"));
    EXPECT_NE(std::string::npos, said.find("script\n"));
    EXPECT_EQ(said.rfind("CMainFrame Received OnJavaLog\n") + 30, said.size()) << said;
}

TEST_F(FrameMessagesTest, TheScriptRunnersLinesReachTheLog) {
    // A script that ends at once, for cmd.exe and for sh alike.
    const std::string script =
        ProgramPath() + "\\quick-" + std::to_string(CurrentProcessId()) + ".bat";
    FILE* f = OpenFile(script, "wb");
    ASSERT_NE(nullptr, f);
    std::fputs("exit 0\n", f);
    std::fclose(f);
    QueuedPoster poster;
    SetMainPoster(&poster);
    ASSERT_TRUE(ScriptRunner::Instance().Start(script, "", ProgramPath()));
    ASSERT_TRUE(ScriptRunner::Instance().Join(30000));
    SetMainPoster(nullptr);
    RemoveFile(script);

    DefaultFrameListener listener;
    poster.Pump([&](const QueuedPoster::Message& m) {
        EXPECT_TRUE(HandleFrameMessage(m.message, nullptr, listener));
    });
    std::string said = Said();
    size_t started = said.find("* Started process, pid: ");
    size_t finished = said.find("* Finished pid: ");
    ASSERT_NE(std::string::npos, started) << said;
    ASSERT_NE(std::string::npos, finished) << said;
    EXPECT_LT(started, finished);
    EXPECT_NE(std::string::npos, said.find("ScriptRunner started thread: 0x"));
}

TEST_F(FrameMessagesTest, HiddenBalloonOnlyLogsItsLine) {
    BalloonData b;
    b.title = "Title";
    b.message = "Message";
    EXPECT_FALSE(AnnounceBalloon(true, b));
    EXPECT_TRUE(AnnounceBalloon(false, b));
    std::string said = Said();
    EXPECT_NE(std::string::npos,
              said.find("Hidden Balloon (not displayed): Balloon title: Title \nBalloon msg: "
                        "Message\nBalloon title: Title \nBalloon msg: Message\n"));
}

TEST(BalloonLogTest, BalloonWritesWhatTheClosedLogHolds) {
    ScopedMemoryRegistry registry;
    namespace fs = std::filesystem;
    fs::path home =
        fs::temp_directory_path() / ("corv-frame-" + std::to_string(CurrentProcessId()));
    fs::remove_all(home);
    fs::create_directories(home);
    {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser,
                                  "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger"));
        key.SetString("log/Format1814", "ascii");
    }
    CLogFile& log = TheLog();
    log.ReadConfiguration();
    ASSERT_TRUE(log.Open(home.string(), ""));
    log.Close();
    log.Log("waiting line\n");
    BalloonData b;
    b.title = "T";
    b.message = "M";
    AnnounceBalloon(false, b);
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(0, log.PendingCount());
    std::stringstream text;
    {
        std::ifstream in(home / "logs" / "start0.log", std::ios::binary);
        text << in.rdbuf();
    }
    EXPECT_NE(std::string::npos, text.str().find("waiting line"));
    EXPECT_NE(std::string::npos, text.str().find("Balloon msg: M"));
    log.Log("pending again\n");
    log.Close();
    std::error_code ec;
    fs::remove_all(home, ec);
}

TEST(CutToUtf16UnitsTest, CutsByUtf16UnitsWithoutSplittingACharacter) {
    EXPECT_EQ("abc", CutToUtf16Units("abcdef", 3));
    EXPECT_EQ("ab", CutToUtf16Units("ab", 63));
    EXPECT_EQ("a\xc3\xbc", CutToUtf16Units("a\xc3\xbc\xc3\xbc", 2));  // ü is one unit
    EXPECT_EQ("a", CutToUtf16Units("a\xf0\x9f\x98\x80", 2));          // 😀 needs two
    EXPECT_EQ("a\xf0\x9f\x98\x80", CutToUtf16Units("a\xf0\x9f\x98\x80z", 3));
    EXPECT_EQ("\xe2\x82", CutToUtf16Units("\xe2\x82", 5));  // broken: byte-wise
    EXPECT_EQ(std::string(255, 'x'), CutToUtf16Units(std::string(300, 'x'), 255));
}

}  // namespace
}  // namespace corv
