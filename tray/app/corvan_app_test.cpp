#include "tray/app/corvan_app.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "platform/text.h"
#include "tray/app/command_line.h"
#include "tray/core/log_capture.h"

namespace corv {
namespace {

TEST(CommandLineTest, FlagsIgnoreCaseAndTakeEitherIntroducer) {
    CCorvanCommandLineInfo cmd;
    cmd.Parse(SplitCommandLine("/HIDE -WaitOnRestart -reconnect hide /id:ABC \"C:\\a b.txt\""));
    EXPECT_TRUE(cmd.hide);
    EXPECT_TRUE(cmd.waitOnRestart);
    EXPECT_TRUE(cmd.reconnect);
    EXPECT_EQ("ABC", cmd.clientId);
    EXPECT_EQ((std::vector<std::string>{"hide", "C:\\a b.txt"}), cmd.others);

    CCorvanCommandLineInfo plain;
    plain.Parse({"-hidden", "/ID:", "/"});
    EXPECT_FALSE(plain.hide);
    EXPECT_EQ("", plain.clientId);  // an empty id leaves the name unchanged
    EXPECT_EQ((std::vector<std::string>{"-hidden", "/"}), plain.others);
}

class FakeWindow : public AppWindow {
  public:
    void SetTitle(const std::string& t) override { title = t; }
    void Show(bool v) override { visible = v; }
    MenuRemoval RemoveMenuItems(unsigned id) override {
        removedId = id;
        return MenuRemoval::Removed;
    }
    std::string title;
    bool visible = false;
    unsigned removedId = 0;
};

// Records the start sequence instead of running it.
class RecordingConfigMgr : public CConfigMgr {
  public:
    bool BringUpClient() override {
        broughtUp = true;
        if (duringBringUp) duringBringUp();
        return true;
    }
    void VerifyRunSettings() override { ++runChecks; }
    bool broughtUp = false;
    int runChecks = 0;
    std::function<void()> duringBringUp;
};

// Another corvtray runs when `other` is set.
class TestApp : public CCorvanApp {
  public:
    TestApp(std::unique_ptr<CConfigMgr> mgr, unsigned other)
        : CCorvanApp(std::move(mgr)), other_(other) {}

  protected:
    unsigned FindOtherInstance() override { return other_; }

  private:
    unsigned other_;
};

class CorvanAppTest : public ::testing::Test {
  protected:
    bool Start(const std::string& line, unsigned otherInstance = 0) {
        CCorvanCommandLineInfo cmd;
        cmd.Parse(SplitCommandLine(line));
        return Start(line, cmd, otherInstance);
    }
    bool Start(const std::string& line, const CCorvanCommandLineInfo& cmd,
               unsigned otherInstance = 0) {
        auto mgr = std::make_unique<RecordingConfigMgr>();
        mgr_ = mgr.get();
        app_ = std::make_unique<TestApp>(std::move(mgr), otherInstance);
        return app_->InitInstance("corvtray", line, cmd, window_);
    }
    void SetPref(RegRoot root, const char* name, uint32_t v) {
        RegKey k;
        k.Create(root, kPreferencesKey);
        k.SetDword(name, v);
    }
    // What a running instance publishes under Settings.
    void Publish() {
        RegKey k;
        k.Create(RegRoot::CurrentUser, kSettingsKey);
        k.SetString("ActiveIpAddress", "127.0.0.7");
        k.SetDword("ActiveSipPort", 5070);
        k.SetDword("ActiveSocksPort", 1090);
    }
    std::vector<std::string> Published() {
        RegKey k;
        std::vector<std::string> names;
        if (k.Open(RegRoot::CurrentUser, kSettingsKey) != kOk) return names;
        RegValue v;
        for (const char* name : {"ActiveIpAddress", "ActiveSipPort", "ActiveSocksPort"})
            if (k.QueryValue(name, &v) == kOk) names.push_back(name);
        return names;
    }
    ScopedMemoryRegistry registry_;
    ScopedScriptedPrompter prompts_;
    FakeWindow window_;
    RecordingConfigMgr* mgr_ = nullptr;
    std::unique_ptr<CCorvanApp> app_;
};

// Sees whether the start was already marked as a duplicate when the box came up.
class MarkWatchingPrompter : public Prompter {
  public:
    explicit MarkWatchingPrompter(RecordingConfigMgr** mgr) : mgr_(mgr) {}
    ~MarkWatchingPrompter() override { SetPrompter(nullptr); }
    PromptAnswer Ask(const std::string& text, const std::string&, PromptKind, PromptIcon) override {
        texts.push_back(text);
        markedWhenAsked = (*mgr_)->IsDuplicateInstance();
        return PromptAnswer::Ok;
    }
    std::vector<std::string> texts;
    bool markedWhenAsked = false;

  private:
    RecordingConfigMgr** mgr_;
};

TEST_F(CorvanAppTest, ClientIdNamesTheWindowAndHideHidesIt) {
    EXPECT_TRUE(Start("/hide /id:ABC"));
    EXPECT_EQ("Corvane-ABC", window_.title);
    EXPECT_FALSE(window_.visible);
    EXPECT_EQ("ABC", mgr_->GetCorvaneId());
    EXPECT_TRUE(mgr_->broughtUp);
    EXPECT_EQ(kIdHelpReadme, window_.removedId);  // no readme.htm beside the program

    EXPECT_TRUE(Start(""));
    EXPECT_EQ("Corvane", window_.title);
    EXPECT_TRUE(window_.visible);
    EXPECT_TRUE(prompts_.Texts().empty());
}

TEST_F(CorvanAppTest, ClientIdsThatCouldLeaveTheirFoldersAreRefusedAndTheProgramRunsWithoutOne) {
    const std::string e64 = [] {
        std::string s;
        for (int i = 0; i < 64; ++i) s += "\xc3\xa9";  // 64 characters, 128 bytes
        return s;
    }();
    struct {
        std::string id;
        const char* problem;  // nullptr: accepted
    } cases[] = {
        {"ABC", nullptr},
        {"corv\xc3\xa9 2.x", nullptr},
        {std::string(64, 'x'), nullptr},
        {e64, nullptr},
        {"\\..\\..\\escape", "it holds a path separator"},
        {"a\\b", "it holds a path separator"},
        {"a/b", "it holds a path separator"},
        {"..", "it holds \"..\""},
        {"a..b", "it holds \"..\""},
        {"x\ny", "it holds a control character"},
        {"\x1b[31m", "it holds a control character"},
        {"c:x", "it holds one of : * ? \" < > |"},
        {"a*", "it holds one of : * ? \" < > |"},
        {"a?", "it holds one of : * ? \" < > |"},
        {"a\"", "it holds one of : * ? \" < > |"},
        {"<a>", "it holds one of : * ? \" < > |"},
        {"a|b", "it holds one of : * ? \" < > |"},
        {"abc.", "it ends in a dot or a blank"},
        {"abc ", "it ends in a dot or a blank"},
        {std::string(65, 'x'), "it is longer than 64 characters"},
        {e64 + "x", "it is longer than 64 characters"},
    };
    for (const auto& c : cases) {
        ScopedLogCapture log;
        CCorvanCommandLineInfo cmd;
        cmd.clientId = c.id;
        EXPECT_TRUE(Start("/id:" + c.id, cmd)) << c.id;
        EXPECT_TRUE(mgr_->broughtUp);
        if (!c.problem) {
            EXPECT_EQ("Corvane-" + c.id, window_.title);
            EXPECT_EQ(c.id, mgr_->GetCorvaneId());
            EXPECT_FALSE(log.Has("refused")) << c.id;
            continue;
        }
        EXPECT_EQ("Corvane", window_.title) << c.id;
        EXPECT_EQ("", mgr_->GetCorvaneId()) << c.id;
        EXPECT_TRUE(log.Has("Client id \"" + EscapeControls(c.id) + "\" refused, " + c.problem +
                            "; running without a client id\n"))
            << log.Text();
    }
    EXPECT_TRUE(prompts_.Texts().empty());  // nothing waits for a user
}

TEST_F(CorvanAppTest, HideFlagsPreferTheUserValue) {
    SetPref(RegRoot::LocalMachine, "HideAll", 1);
    EXPECT_TRUE(Start(""));
    EXPECT_FALSE(window_.visible);
    EXPECT_EQ(1, app_->HideAll());

    SetPref(RegRoot::CurrentUser, "HideAll", 0);
    EXPECT_TRUE(Start(""));
    EXPECT_TRUE(window_.visible);

    SetPref(RegRoot::CurrentUser, "HideGUI", 1);
    EXPECT_TRUE(Start(""));
    EXPECT_FALSE(window_.visible);
}

TEST_F(CorvanAppTest, ARefusedSecondStartLeavesTheRunningInstanceAlone) {
    MarkWatchingPrompter box(&mgr_);
    SetPrompter(&box);
    Publish();
    EXPECT_FALSE(Start("", 4242));
    EXPECT_EQ(std::vector<std::string>{"Corvane is already running!"}, box.texts);
    EXPECT_TRUE(box.markedWhenAsked);
    EXPECT_FALSE(mgr_->broughtUp);
    EXPECT_EQ(2, mgr_->runChecks);  // the run entries are checked again for the duplicate
    app_.reset();
    EXPECT_EQ((std::vector<std::string>{"ActiveIpAddress", "ActiveSipPort", "ActiveSocksPort"}),
              Published());

    // Once the start may go on, what Settings holds is stale.
    EXPECT_TRUE(Start("", 0));
    EXPECT_TRUE(Published().empty());
    EXPECT_EQ(1u, box.texts.size());
}

TEST_F(CorvanAppTest, TheOrderlyExitHappensOnceAndNotWhileStartingUp) {
    ScopedLogCapture log;
    bool exitedDuringStart = true;
    auto mgr = std::make_unique<RecordingConfigMgr>();
    mgr->duringBringUp = [&] { exitedDuringStart = app_->Exit(); };
    mgr_ = mgr.get();
    app_ = std::make_unique<TestApp>(std::move(mgr), 0);
    ASSERT_TRUE(app_->InitInstance("corvtray", "", CCorvanCommandLineInfo(), window_));
    EXPECT_FALSE(exitedDuringStart);
    EXPECT_NE(nullptr, app_->ConfigMgr());

    Publish();  // as the running client does
    EXPECT_TRUE(app_->Exit());
    EXPECT_EQ(nullptr, app_->ConfigMgr());
    EXPECT_TRUE(Published().empty());
    EXPECT_TRUE(app_->Exit());
    app_.reset();
    std::string text = log.Text();
    size_t first = text.find("~CCorvanApp Exiting at ");
    ASSERT_NE(std::string::npos, first) << text;
    EXPECT_EQ(std::string::npos, text.find("~CCorvanApp Exiting at ", first + 1)) << text;
}

TEST(SingleInstanceTest, SecondInstanceNeedsDoNotSyncAndFreePorts) {
    ScopedMemoryRegistry registry;
    CPreferences p;
    EXPECT_FALSE(CCorvanApp::SecondInstanceAllowed(p));
    p.SetDoNotSync(true);
    EXPECT_TRUE(CCorvanApp::SecondInstanceAllowed(p));  // dynamic
    p.SetSyncMode("FIXED");
    EXPECT_FALSE(CCorvanApp::SecondInstanceAllowed(p));  // fixed ports default to -1
    p.SetFixedSipPort(0);
    p.SetFixedSocksPort(0);
    EXPECT_TRUE(CCorvanApp::SecondInstanceAllowed(p));
}

TEST(StartTimeTest, HasDateTimeAndZone) {
    std::string t = CCorvanApp::StartTime();
    ASSERT_GE(t.size(), 19u);
    EXPECT_EQ('-', t[4]);
    EXPECT_EQ(':', t[13]);
}

}  // namespace
}  // namespace corv
