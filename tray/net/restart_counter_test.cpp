#include "tray/net/restart_counter.h"

#include <gtest/gtest.h>

#include "platform/manual_time.h"
#include "platform/memory_registry.h"
#include "tray/core/log_capture.h"
#include "tray/settings/active_settings.h"

namespace corv {
namespace {

constexpr int64_t kNow = 1700000000;

class RestartCounterTest : public ::testing::Test {
  protected:
    RegKey Settings() {
        RegKey k;
        k.Create(RegRoot::CurrentUser, kSettingsKeyPath);
        return k;
    }
    uint32_t Count() {
        uint32_t n = 99;
        Settings().QueryDword("nrestarts", &n);
        return n;
    }
    std::vector<uint8_t> Last() {
        RegValue v;
        Settings().QueryValue("lastrestart", &v);
        return v.data;
    }
    ScopedMemoryRegistry registry_;
    ScopedManualTime clock_{kNow};
};

TEST_F(RestartCounterTest, ThreeReconnectsAnHourAndBadStoredTimesHealWithinTheHour) {
    const std::vector<uint8_t> absent;
    struct Case {
        const char* name;
        int count;                  // -1: absent
        std::vector<uint8_t> last;  // empty: absent
        bool allowed;
        uint32_t countAfter;
        std::vector<uint8_t> lastAfter;
    };
    auto at = [](int64_t t) { return EncodeRestartTime(t); };
    const Case cases[] = {
        {"first", -1, {}, true, 1, at(kNow)},
        {"third", 2, at(kNow - 10), true, 3, at(kNow)},
        {"fourth within the hour", 3, at(kNow - 3600), false, 3, at(kNow - 3600)},
        {"after the hour", 3, at(kNow - 3601), true, 1, at(kNow)},
        {"above the limit", 9, at(kNow - 7200), true, 1, at(kNow)},
        {"time missing", 3, {}, false, 3, at(kNow)},
        {"time too short", 3, {1, 2, 3, 4}, false, 3, at(kNow)},
        {"time in the future", 3, at(kNow + 86400), false, 3, at(kNow)},
    };
    for (const Case& c : cases) {
        registry_->Clear();
        RegKey k = Settings();
        if (c.count >= 0) k.SetDword("nrestarts", static_cast<uint32_t>(c.count));
        if (!c.last.empty()) k.SetBinary("lastrestart", c.last);
        EXPECT_EQ(c.allowed, ReconnectIsAllowed()) << c.name;
        EXPECT_EQ(c.countAfter, Count()) << c.name;
        EXPECT_EQ(c.lastAfter, Last()) << c.name;
    }
}

TEST_F(RestartCounterTest, FourLossesInAnHourGiveThreeReconnectsAndTheNextHourANewCount) {
    ScopedLogCapture log;
    EXPECT_TRUE(ReconnectIsAllowed());
    clock_.SetNow(kNow + 600);
    EXPECT_TRUE(ReconnectIsAllowed());
    clock_.SetNow(kNow + 1200);
    EXPECT_TRUE(ReconnectIsAllowed());
    clock_.SetNow(kNow + 1800);
    log.Clear();
    EXPECT_FALSE(ReconnectIsAllowed());
    EXPECT_EQ("\nnrestarts: 3\nlastrestart: 1700001200\ncurrent time: 1700001800\n", log.Text());
    clock_.SetNow(kNow + 1200 + 3601);
    EXPECT_TRUE(ReconnectIsAllowed());
    EXPECT_EQ(1u, Count());
}

TEST_F(RestartCounterTest, ACountThatCannotBeWrittenRefuses) {
    registry_->DenyAccess(RegRoot::CurrentUser, kSettingsKeyPath, kRegWrite);
    EXPECT_FALSE(ReconnectIsAllowed());
}

TEST(RestartTimeTest, TheStoredTimeKeepsItsFirstFourBytesAndReadsRightAfter2038) {
    // Before 2038 bytes 0-3 are the 32-bit time older copies read.
    EXPECT_EQ((std::vector<uint8_t>{0x00, 0xF1, 0x53, 0x65, 0, 0, 0, 0}),
              EncodeRestartTime(0x6553F100));
    const int64_t y2038 = 2147483647;  // 2038-01-19 03:14:07 UTC
    for (int64_t t : {int64_t(1700000000), y2038 - 5, y2038 + 5, y2038 + 86400 * 365 * 30}) {
        EXPECT_EQ(t, DecodeRestartTime(EncodeRestartTime(t), t + 3600)) << t;
        EXPECT_EQ(t, DecodeRestartTime(EncodeRestartTime(t), t - 3600)) << t;
    }
    // An older copy after 2038 wrote only the low 32 bits.
    std::vector<uint8_t> low = EncodeRestartTime(y2038 + 100);
    std::fill(low.begin() + 4, low.end(), 0xAB);
    EXPECT_EQ(y2038 + 100, DecodeRestartTime(low, y2038 + 200));
}

}  // namespace
}  // namespace corv
