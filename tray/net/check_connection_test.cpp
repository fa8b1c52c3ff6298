#include "tray/net/check_connection.h"

#include <gtest/gtest.h>

#include "platform/manual_time.h"
#include "platform/memory_registry.h"
#include "platform/scripted_network.h"
#include "platform/thread.h"
#include "tray/core/log_capture.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"

namespace corv {
namespace {

// The monitors run here on the test's thread, on a clock that never waits: the sleep hook
// changes the machine's addresses at a chosen step, or stops the monitor.
class MonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        net_.SetHostName("desk");
        net_.AddHost("desk", {"127.0.0.1"});
        SetStatusText("");
    }
    MonitorJob Job(MonitorKind kind, const std::string& watched = "") {
        return MonitorJob{kind, watched, prefs_, ProxyHints()};
    }
    // Stops the monitor at the sleep with this number (counted from now) unless it called
    // back before; the step runs at every sleep.
    void StopAt(size_t index, std::function<void(size_t)> step = nullptr) {
        size_t base = clock_.Sleeps().size();
        clock_.OnSleep([this, base, index, step](unsigned, size_t i) {
            if (step) step(i - base);
            if (i - base == index) stop_.Stop();
        });
    }
    std::vector<unsigned> LongSleeps() {
        std::vector<unsigned> out;
        for (unsigned ms : clock_.Sleeps())
            if (ms > 1000) out.push_back(ms / 1000);
        return out;
    }

    ScopedMemoryRegistry registry_;
    ScopedScriptedNetwork net_;
    ScopedManualTime clock_;
    StopSignal stop_;
    CPreferences prefs_;
    ScopedLogCapture log_;
};

TEST_F(MonitorTest, TheRegisterMonitorWaitsForAnAddressThatIsNotLoopback) {
    StopAt(100, [this](size_t i) {
        if (i == 3) net_.AddHost("desk", {"127.0.0.1", "10.0.0.7"});
    });
    std::string address;
    ASSERT_TRUE(RunMonitor(Job(MonitorKind::Register), stop_, &address));
    EXPECT_EQ("10.0.0.7", address);
    EXPECT_EQ(std::vector<unsigned>(4, 1000), clock_.Sleeps());
    EXPECT_EQ("Initializing...", GetStatusText());
    EXPECT_TRUE(net_.Attempts().empty());  // it only reads the host entry

    // A machine with loopback only: polled every second, never a call-back.
    clock_.OnSleep(nullptr);
    net_.AddHost("desk", {"127.0.0.1"});
    stop_.Reset();
    StopAt(50);
    EXPECT_FALSE(RunMonitor(Job(MonitorKind::Register), stop_, &address));
}

TEST_F(MonitorTest, InFixedModeTheRegisterMonitorWaitsForTheUsersOwnAddressOnly) {
    prefs_.SetSyncMode("FIXED");
    prefs_.SetLocalIpAddress("10.0.0.9");
    net_.AddHost("desk", {"10.0.0.5"});  // another address does not count
    StopAt(100, [this](size_t i) {
        if (i == 5) net_.AddHost("desk", {"10.0.0.5", "10.0.0.9"});
    });
    std::string address;
    ASSERT_TRUE(RunMonitor(Job(MonitorKind::Register), stop_, &address));
    EXPECT_EQ("10.0.0.9", address);
    EXPECT_EQ(std::vector<unsigned>(6, 1000), clock_.Sleeps());
}

TEST_F(MonitorTest, ALostAddressWithNothingToMoveToBacksOffUpToTenMinutes) {
    net_.AddHost("desk", {"10.0.0.5", "127.0.0.1"});
    StopAt(200, [this](size_t i) {
        if (i == 2) net_.AddHost("desk", {"127.0.0.1"});
    });
    std::string unused;
    EXPECT_FALSE(RunMonitor(Job(MonitorKind::Release, "10.0.0.5"), stop_, &unused));
    std::vector<unsigned> expected;
    for (unsigned s = 10; s <= 610; s += 20) expected.push_back(s);
    std::vector<unsigned> got = LongSleeps();
    ASSERT_GE(got.size(), expected.size() + 2);
    EXPECT_EQ(expected, std::vector<unsigned>(got.begin(), got.begin() + expected.size()));
    EXPECT_EQ(610u, got.back());  // never more than that, and never shorter again
    EXPECT_TRUE(log_.Has("ReleaseMonitor, IP address changed\nGetActiveAddress: Local addresses"));
    EXPECT_TRUE(log_.Has("GetActiveAddress returned: 127.0.0.1\n"));
}

TEST_F(MonitorTest, TheReleaseMonitorCallsBackOnlyForAnotherAddress) {
    struct Case {
        const char* name;
        std::vector<std::string> comesBack;  // the host entry while the address is chosen
        bool callsBack;
    };
    const Case cases[] = {
        {"same", {"10.0.0.5"}, false},
        {"other", {"10.0.0.6"}, true},
        {"loopback", {"127.0.0.1"}, false},
    };
    for (const Case& c : cases) {
        net_.AddHost("desk", {"10.0.0.5"});
        stop_.Reset();
        // Sleep 0 is the first poll; the address goes, and returns during the address
        // choice's wait (sleep 1).
        StopAt(12, [&](size_t i) {
            if (i == 0) net_.AddHost("desk", {});
            if (i == 1) net_.AddHost("desk", c.comesBack);
        });
        std::string unused;
        EXPECT_EQ(c.callsBack, RunMonitor(Job(MonitorKind::Release, "10.0.0.5"), stop_, &unused))
            << c.name;
    }
}

class FixedOwner : public ConnectionOwner {
  public:
    const CPreferences& Prefs() const override { return prefs; }
    ProxyHints Hints() const override { return ProxyHints(); }
    CPreferences prefs;
};

TEST_F(MonitorTest, EachThreadRunsTheKindItWasStartedForAndOnlyPosts) {
    QueuedPoster poster;
    SetMainPoster(&poster);
    net_.AddHost("desk", {"10.0.0.5"});
    CCheckConnection connection;
    connection.StartRegisterMonitor();
    connection.StartReleaseMonitor("10.0.0.5");
    EXPECT_TRUE(log_.Has("CCheckConnection::StartRegisterMonitor: not initialized!\n"));
    EXPECT_TRUE(
        log_.Has("CCheckConnection::StartReleaseMonitor: not initialized, m_configMgr is NULL!\n"));

    FixedOwner owner;
    connection.SetConfigMgr(&owner);
    connection.StartReleaseMonitor("");
    EXPECT_TRUE(log_.Has("CCheckConnection::ReleaseMonitor not initialized, ipAddr is empty\n"));
    // Back to back: a register monitor, and a release monitor whose address is gone.
    connection.StartRegisterMonitor();
    connection.StartReleaseMonitor("10.0.0.9");
    ASSERT_TRUE(poster.WaitForPosts(kMsgIpAddrRegistered, 1, 10000));
    ASSERT_TRUE(poster.WaitForPosts(kMsgIpAddrReleased, 1, 10000));
    EXPECT_EQ("10.0.0.5", connection.RegisteredAddress());
    auto events = [&] {
        size_t n = 0;
        for (unsigned m : poster.History())
            n += m == kMsgIpAddrRegistered || m == kMsgIpAddrReleased;
        return n;
    };
    EXPECT_EQ(2u, events());

    // A monitor that polls on is ended by StopAll and posts nothing.
    net_.AddHost("desk", {"127.0.0.1"});
    connection.StartRegisterMonitor();
    connection.StopAll();
    EXPECT_EQ(2u, events());
    SetMainPoster(nullptr);
}

}  // namespace
}  // namespace corv
