#include "tray/java/gui_listener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <jni.h>

#include <string>
#include <thread>

#include "bridge/gui_wrapper.h"
#include "tray/java/testing/launch_harness.h"

namespace corv {
namespace {

using ::testing::ElementsAre;
using testing_support::RecordingPoster;

class GuiListenerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetStatusText("");
        SetMainPoster(&poster_);
    }
    void TearDown() override { SetMainPoster(nullptr); }

    std::vector<unsigned> Messages() {
        std::vector<unsigned> m;
        for (const auto& p : poster_.All()) m.push_back(p.message);
        return m;
    }

    RecordingPoster poster_;
    CGuiListener listener_;
};

TEST_F(GuiListenerTest, StartsWithTheUsualPortsAndNoBalloon) {
    EXPECT_EQ(listener_.GetSipPort(), 5060);
    EXPECT_EQ(listener_.GetSocksPort(), 1080);
    EXPECT_EQ(listener_.GetMessengerProxy(), 0);
    EXPECT_EQ(listener_.GetBalloon().kind, CGuiListener::kInfo);
    EXPECT_EQ(listener_.GetBalloon().title, "");
}

TEST_F(GuiListenerTest, StatusTextGoesThroughTheStatusBuffer) {
    listener_.setStatusBar("Connected to server");
    EXPECT_EQ(GetStatusText(), "Connected to server");
    auto all = poster_.All();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].message, 866u);
    EXPECT_EQ(all[0].wParam, 57345u);
}

TEST_F(GuiListenerTest, BalloonsKeepTitleMessageAndKind) {
    listener_.balloonInfo("I", "info");
    EXPECT_EQ(listener_.GetBalloon().kind, 1);
    listener_.balloonWarning("W", "warning");
    EXPECT_EQ(listener_.GetBalloon().kind, 2);
    listener_.balloonError("E", "error");
    CGuiListener::Balloon b = listener_.GetBalloon();
    EXPECT_EQ(b.title, "E");
    EXPECT_EQ(b.message, "error");
    EXPECT_EQ(b.kind, 3);
    EXPECT_THAT(Messages(), ElementsAre(1124u, 1124u, 1124u));
}

TEST_F(GuiListenerTest, BalloonTextsAreCutTo255Bytes) {
    listener_.balloonInfo(std::string(400, 't').c_str(), std::string(255, 'm').c_str());
    EXPECT_EQ(listener_.GetBalloon().title, std::string(255, 't'));
    EXPECT_EQ(listener_.GetBalloon().message, std::string(255, 'm'));
    // A character across the limit is left out whole.
    std::string t = std::string(253, 'a') + "\xe2\x82\xac";
    listener_.balloonInfo(t.c_str(), "");
    EXPECT_EQ(listener_.GetBalloon().title, std::string(253, 'a'));
}

TEST_F(GuiListenerTest, MessengerProxyFlagAndPorts) {
    listener_.enableMessengerProxy();
    EXPECT_EQ(listener_.GetMessengerProxy(), 1);
    listener_.disableMessengerProxy();
    EXPECT_EQ(listener_.GetMessengerProxy(), 0);
    listener_.setSipPort(5070);
    listener_.setSocksPort(1081);
    EXPECT_EQ(listener_.GetSipPort(), 5070);
    EXPECT_EQ(listener_.GetSocksPort(), 1081);
    EXPECT_THAT(Messages(), ElementsAre(33419u, 33419u, 33427u, 33428u));
}

TEST_F(GuiListenerTest, DialogAndBitrateDoNothing) {
    listener_.dialogBox("text");
    listener_.bitrate(1);
    EXPECT_TRUE(poster_.All().empty());
    EXPECT_EQ(GetStatusText(), "");
}

TEST_F(GuiListenerTest, WithoutMainWindowTheDataIsKeptAndNothingPosted) {
    SetMainPoster(nullptr);
    listener_.setSocksPort(1090);
    listener_.balloonError(nullptr, nullptr);
    EXPECT_EQ(listener_.GetSocksPort(), 1090);
    EXPECT_EQ(listener_.GetBalloon().kind, 3);
    EXPECT_EQ(listener_.GetBalloon().title, "");
    EXPECT_TRUE(poster_.All().empty());
}

// Title, message and kind are read as one: a reader never sees parts of two calls.
TEST_F(GuiListenerTest, ConcurrentBalloonsAreNeverMixed) {
    SetMainPoster(nullptr);
    std::thread a([&] {
        for (int i = 0; i < 3000; ++i) listener_.balloonInfo("info", "info message");
    });
    std::thread b([&] {
        for (int i = 0; i < 3000; ++i) listener_.balloonError("error", "error message");
    });
    for (int i = 0; i < 3000; ++i) {
        CGuiListener::Balloon x = listener_.GetBalloon();
        if (x.title.empty()) continue;
        ASSERT_EQ(x.message, x.title + " message");
        ASSERT_EQ(x.kind, x.title == "info" ? 1 : 3);
    }
    a.join();
    b.join();
}

// The bridge library calls the process-wide listener by slot: both sides agree on the order.
const char* JNICALL Utf(JNIEnv*, jstring s, jboolean*) {
    return reinterpret_cast<const char*>(s);
}
void JNICALL Release(JNIEnv*, jstring, const char*) {}

TEST_F(GuiListenerTest, BridgeCallsReachTheProcessWideListenerBySlot) {
    JNINativeInterface_ table{};
    table.GetStringUTFChars = &Utf;
    table.ReleaseStringUTFChars = &Release;
    JNIEnv env{};
    env.functions = &table;
    auto str = [](const char* s) { return reinterpret_cast<jstring>(const_cast<char*>(s)); };

    setListener(&TheGuiListener());
    Java_corvane_proxyclient_util_GuiWrapper_setStatusBarW(&env, nullptr, str("Registered"));
    Java_corvane_proxyclient_util_GuiWrapper_balloonWarningW(&env, nullptr, str("T"), str("M"));
    Java_corvane_proxyclient_util_GuiWrapper_enableMessengerProxyW(&env, nullptr);
    Java_corvane_proxyclient_util_GuiWrapper_setSipPortW(&env, nullptr, 5062);
    Java_corvane_proxyclient_util_GuiWrapper_setSocksPortW(&env, nullptr, 1081);
    setListener(nullptr);

    EXPECT_EQ(GetStatusText(), "Registered");
    CGuiListener::Balloon b = TheGuiListener().GetBalloon();
    EXPECT_EQ(b.title, "T");
    EXPECT_EQ(b.message, "M");
    EXPECT_EQ(b.kind, 2);
    EXPECT_EQ(TheGuiListener().GetMessengerProxy(), 1);
    EXPECT_EQ(TheGuiListener().GetSipPort(), 5062);
    EXPECT_EQ(TheGuiListener().GetSocksPort(), 1081);
    EXPECT_THAT(Messages(), ElementsAre(866u, 1124u, 33419u, 33427u, 33428u));
}

}  // namespace
}  // namespace corv
