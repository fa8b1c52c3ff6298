// The installer's log. The install manager connects its log file; until then lines are
// dropped. Any thread may write.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/sync.h"

namespace corv::inst {

using InstallLogSink = std::function<void(const std::string& text)>;

// Replaces the sink; an empty one drops lines. Returns the previous sink.
InstallLogSink SetInstallLogSink(InstallLogSink sink);
void InstLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void InstLogText(const std::string& text);

// Collects the log for the lifetime of the object (tests).
class ScopedLogCapture {
  public:
    ScopedLogCapture();
    ~ScopedLogCapture();
    std::vector<std::string> Lines();
    std::string Text();
    bool Contains(const std::string& text);

  private:
    Mutex m_mutex;
    std::vector<std::string> m_lines;
    InstallLogSink m_previous;
};

}  // namespace corv::inst
