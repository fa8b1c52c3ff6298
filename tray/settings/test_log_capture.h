// Test support: collects what the process-wide log is given while the object lives (the log
// echoes every text to standard output, which GoogleTest captures).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tray/app/log_file.h"

namespace corv {

class TestLogCapture {
  public:
    TestLogCapture() {
        wasEchoing_ = TheLog().ConsoleEcho();
        TheLog().SetConsoleEcho(true);
        ::testing::internal::CaptureStdout();
    }
    ~TestLogCapture() { Text(); }
    // Everything logged (and printed) so far; ends the capture.
    std::string Text() {
        if (capturing_) {
            TheLog().SetConsoleEcho(wasEchoing_);
            text_ = ::testing::internal::GetCapturedStdout();
            capturing_ = false;
        }
        return text_;
    }

  private:
    bool wasEchoing_ = false;
    bool capturing_ = true;
    std::string text_;
};

}  // namespace corv
