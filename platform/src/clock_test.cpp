#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/manual_time.h"

namespace corv {
namespace {

TEST(ClockTest, AStopEndsASleepingWorkersWaitAtOnce) {
    StopSignal stop;
    bool stopped = false;
    // Without the wake-up this would sleep for ten minutes.
    std::thread worker([&] { stopped = Clock().Sleep(600000, &stop); });
    stop.Stop();
    worker.join();
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(Clock().Sleep(600000, &stop));
    stop.Reset();
    EXPECT_FALSE(Clock().Sleep(1, &stop));
}

TEST(ClockTest, TheTestClockMovesOnlyBySleepsAndRunsTheHookAfterEach) {
    ScopedManualTime clock(1000);
    StopSignal stop;
    clock.OnSleep([&](unsigned, size_t index) {
        if (index == 2) stop.Stop();
    });
    int sleeps = 0;
    while (!Clock().Sleep(1500, &stop)) ++sleeps;
    EXPECT_EQ(2, sleeps);
    EXPECT_EQ((std::vector<unsigned>{1500, 1500, 1500}), clock.Sleeps());
    EXPECT_EQ(1004, Clock().Now());  // 1000 s + 4.5 s
}

}  // namespace
}  // namespace corv
