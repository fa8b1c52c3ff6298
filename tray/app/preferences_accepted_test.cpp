// The controller's handling of the preferences sheet's OK, against the in-memory registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/files.h"
#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "platform/scripted_network.h"
#include "platform/thread.h"
#include "tray/app/config_mgr.h"
#include "tray/core/log_capture.h"
#include "tray/core/status_text.h"

namespace corv {
namespace {

class PreferencesAcceptedTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef _WIN32
        home_ = ProgramPath() + "\\accepted-home";
#else
        char tmpl[] = "/tmp/corv-accepted-XXXXXX";
        home_ = mkdtemp(tmpl);
#endif
        MakeDirectory(home_);
        RegKey k;
        k.Create(RegRoot::CurrentUser, kPreferencesKey);
        k.SetString("Home", home_);
        k.SetString("UserId", "bob");
        k.SetString("Passwd", "digest");
        net_.SetHostName("desk");
        net_.AddHost("desk", {"127.0.0.5"});
        SetStatusText("");
        SetMainPoster(&poster_);
    }
    void TearDown() override {
        SetMainPoster(nullptr);
        TheLog().Close();
        std::error_code ec;
        std::filesystem::remove_all(NativePath(home_), ec);
    }
    uint32_t Stored(const char* name) {
        RegKey k;
        uint32_t v = 99;
        k.Open(RegRoot::CurrentUser, kPreferencesKey);
        k.QueryDword(name, &v);
        return v;
    }
    std::vector<unsigned> Posted() {
        std::vector<unsigned> messages;
        poster_.Pump([&](const QueuedPoster::Message& m) { messages.push_back(m.message); });
        return messages;
    }

    ScopedMemoryRegistry registry_;
    ScopedScriptedNetwork net_;
    ScopedScriptedPrompter prompts_;
    ScopedLogCapture log_;
    QueuedPoster poster_;
    std::string home_;
};

TEST_F(PreferencesAcceptedTest, OnlyValuesTheJavaClientReadsStartIt) {
    const char* const starting =
        "User changed preferences from dialog window, starting Java client\n";
    const struct {
        const char* change;
        void (*apply)(CPreferences&);
        bool starts;
    } cases[] = {
        {"HideBalloons", [](CPreferences& p) { p.SetHideBalloons(1); }, false},
        {"AllowBckgrnd", [](CPreferences& p) { p.SetAllowBckgrnd(0); }, false},
        {"HttpsProxyPort", [](CPreferences& p) { p.SetHttpsProxyPort(8443); }, true},
        {"Passwd", [](CPreferences& p) { p.SetPasswd("other"); }, true},
        {"SyncMode", [](CPreferences& p) { p.SetSyncMode("fixed"); }, true},
    };
    for (const auto& c : cases) {
        CConfigMgr mgr;
        mgr.Init();
        log_.Clear();
        CPreferences copy(mgr.Prefs());
        c.apply(copy);
        mgr.OnPreferencesAccepted(copy);
        EXPECT_EQ(c.starts, log_.Has(starting)) << c.change;
        EXPECT_EQ(c.starts ? "Initializing..." : "", GetStatusText()) << c.change;
        EXPECT_TRUE(prompts_.Texts().empty()) << c.change;  // nothing runs: no question
        EXPECT_FALSE(DiffersIn(PrefGroup::Restart, copy, mgr.Prefs())) << c.change;
        EXPECT_EQ(copy.GetHideBalloons(), mgr.Prefs().GetHideBalloons());
        SetStatusText("");
    }
    // The saved values and the frame's close rule follow the copy.
    CConfigMgr mgr;
    mgr.Init();
    CPreferences copy(mgr.Prefs());
    copy.SetAllowBckgrnd(0);
    copy.SetHttpsProxyPort(8443);
    mgr.OnPreferencesAccepted(copy);
    EXPECT_FALSE(mgr.GetRunInBackground());
    EXPECT_EQ(0u, Stored("AllowBckgrnd"));
    EXPECT_EQ(8443u, Stored("HttpsProxyPort"));
}

TEST_F(PreferencesAcceptedTest, AnAccountGivenAfterARefusedStartLetsTheClientStart) {
    RegKey k;
    ASSERT_EQ(kOk, k.Open(RegRoot::CurrentUser, kPreferencesKey, kRegReadWrite));
    ASSERT_EQ(kOk, k.DeleteValue("Passwd"));
    CConfigMgr mgr;  // without windows the account dialog is not confirmed
    mgr.Init();
    ASSERT_FALSE(mgr.CredentialsOk());
    CPreferences copy(mgr.Prefs());
    copy.SetPasswd("4e51673885c901eeb478366a27a167eb");
    mgr.OnPreferencesAccepted(copy);
    EXPECT_TRUE(mgr.CredentialsOk());
    EXPECT_EQ("4e51673885c901eeb478366a27a167eb", mgr.Prefs().GetPasswd());
}

TEST_F(PreferencesAcceptedTest, RestartStartsANewCopyAndClosesOrReportsWhyNot) {
    CConfigMgr mgr;
    mgr.Init();
    // No program in Home: the user is told, nothing closes.
    EXPECT_FALSE(mgr.Restart());
    EXPECT_TRUE(log_.Has("Failed to start \"" + home_ + "\\corvtray.exe /WaitOnRestart\"\n"))
        << log_.Text();
    ASSERT_EQ(1u, prompts_.Texts().size());
    EXPECT_EQ("Restart failed, could not execute restart hook.\nPlease restart manually",
              prompts_.Texts()[0]);
    EXPECT_TRUE(Posted().empty());
    EXPECT_TRUE(mgr.GetRunInBackground());

#ifndef _WIN32
    // Any program stands in for the new copy here.
    std::filesystem::copy_file("/bin/true", home_ + "/corvtray.exe");
    EXPECT_TRUE(mgr.Restart());
    EXPECT_TRUE(log_.Has("Started \"" + home_ + "\\corvtray.exe /WaitOnRestart\" with pid: "));
    EXPECT_EQ(std::vector<unsigned>{0x0010u}, Posted());  // WM_CLOSE
    EXPECT_FALSE(mgr.GetRunInBackground());
#endif
}

}  // namespace
}  // namespace corv
