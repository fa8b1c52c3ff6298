#include "tray/core/status_text.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/thread.h"
#include "tray/core/messages.h"

namespace corv {
namespace {

class StatusTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMainPoster(&poster_);
        SetStatusText("");
        poster_.Pump([](const QueuedPoster::Message&) {});
    }
    void TearDown() override { SetMainPoster(nullptr); }

    std::vector<QueuedPoster::Message> Posted() {
        std::vector<QueuedPoster::Message> all;
        poster_.Pump([&](const QueuedPoster::Message& m) { all.push_back(m); });
        return all;
    }

    QueuedPoster poster_;
};

TEST_F(StatusTextTest, SettingStoresTheTextAndPostsTheStatusMessage) {
    SetStatusText("Connected to server");
    EXPECT_EQ(GetStatusText(), "Connected to server");
    auto posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, 866u);
    EXPECT_EQ(posted[0].wParam, 57345u);
    EXPECT_EQ(posted[0].lParam, 0);
}

TEST_F(StatusTextTest, WithoutMainWindowTheTextIsStillStored) {
    SetMainPoster(nullptr);
    SetStatusText("Not connected to internet!");
    EXPECT_EQ(GetStatusText(), "Not connected to internet!");
    EXPECT_EQ(poster_.Size(), 0u);
}

TEST_F(StatusTextTest, LongTextsAreCutTo255Bytes) {
    SetStatusText(std::string(300, 'x'));
    EXPECT_EQ(GetStatusText(), std::string(255, 'x'));
    SetStatusText(std::string(255, 'y'));
    EXPECT_EQ(GetStatusText(), std::string(255, 'y'));
}

TEST_F(StatusTextTest, CutsNeverSplitAUtf8Character) {
    // 254 ASCII bytes and a two-byte character: the character would straddle the limit.
    SetStatusText(std::string(254, 'a') + "\xc3\xbc" + "tail");
    EXPECT_EQ(GetStatusText(), std::string(254, 'a'));
    // A three-byte character ending exactly at the limit stays whole.
    std::string euro = std::string(252, 'b') + "\xe2\x82\xac";
    SetStatusText(euro + "more");
    EXPECT_EQ(GetStatusText(), euro);
    // Bytes that are no UTF-8 are cut at the limit, never dropped wholesale.
    EXPECT_EQ(CutUtf8(std::string(300, '\x80'), 255), std::string(255, '\x80'));
    EXPECT_EQ(CutUtf8("short", 255), "short");
}

TEST_F(StatusTextTest, ReplaceOnlyWhenTheCurrentTextIsExactlyTheExpectedOne) {
    SetStatusText("Initializing...");
    EXPECT_FALSE(ReplaceStatusText("initializing...", "Initializing...OK"));
    EXPECT_TRUE(ReplaceStatusText("Initializing...", "Initializing...OK"));
    EXPECT_EQ(GetStatusText(), "Initializing...OK");
    EXPECT_FALSE(ReplaceStatusText("Initializing...", "Initializing...OK"));
    EXPECT_EQ(Posted().size(), 2u);  // the set and the one replacement
}

TEST_F(StatusTextTest, ConcurrentWritersLeaveOneWholeText) {
    const std::string a(200, 'a'), b(250, 'b');
    std::thread t1([&] {
        for (int i = 0; i < 2000; ++i) SetStatusText(a);
    });
    std::thread t2([&] {
        for (int i = 0; i < 2000; ++i) SetStatusText(b);
    });
    for (int i = 0; i < 2000; ++i) {
        std::string s = GetStatusText();
        ASSERT_TRUE(s.empty() || s == a || s == b) << "torn text of length " << s.size();
    }
    t1.join();
    t2.join();
    std::string last = GetStatusText();
    EXPECT_TRUE(last == a || last == b);
    EXPECT_EQ(Posted().size(), 4000u);
}

}  // namespace
}  // namespace corv
