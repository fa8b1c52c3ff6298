#include "tray/net/restart_control.h"

#include <gtest/gtest.h>

#include "tray/core/log_capture.h"

namespace corv {
namespace {

TEST(RestartControlTest, TheProgramPathHasExactlyOneBackslashBeforeItsName) {
    EXPECT_EQ("C:\\Program Files\\Corvane\\corvtray.exe",
              ProgramInHome("C:\\Program Files\\Corvane"));
    EXPECT_EQ("C:\\Program Files\\Corvane\\corvtray.exe",
              ProgramInHome("C:\\Program Files\\Corvane\\"));
}

TEST(RestartControlTest, ACommandLongerThanItsBufferIsRefusedNotCut) {
    ScopedLogCapture log;
    // "\"" + program + "\" " + arguments is 2048 bytes: one more than the buffer holds.
    std::string program(2048 - 3 - 10, 'p');
    EXPECT_EQ(0u, StartProcessLogged(program, "/Reconnect", "C:\\"));
    EXPECT_TRUE(log.Has("Could not start command: \"" + program +
                        "\" /Reconnect \nFolder: C:\\, Reason: "));
}

}  // namespace
}  // namespace corv
