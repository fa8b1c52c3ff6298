// Collects what is logged while it exists (tests).
#pragma once

#include <string>

#include "platform/sync.h"
#include "tray/core/log_file.h"

namespace corv {

class ScopedLogCapture {
  public:
    ScopedLogCapture() {
        TheLog().SetObserver([this](const std::string& text) {
            std::lock_guard<Mutex> lock(mutex_);
            text_ += text;
        });
    }
    ~ScopedLogCapture() { TheLog().SetObserver(nullptr); }
    std::string Text() {
        std::lock_guard<Mutex> lock(mutex_);
        return text_;
    }
    bool Has(const std::string& part) { return Text().find(part) != std::string::npos; }
    void Clear() {
        std::lock_guard<Mutex> lock(mutex_);
        text_.clear();
    }

  private:
    Mutex mutex_;
    std::string text_;
};

}  // namespace corv
