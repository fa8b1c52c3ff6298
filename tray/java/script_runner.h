// Runs one diagnostic script at a time on its own thread and reports through a line queue
// and the main frame's script messages.
#pragma once

#include <string>

#include "platform/thread.h"
#include "tray/core/log_file.h"

namespace corv {

class ScriptRunner : public WorkerThread {
  public:
    // The process-wide runner.
    static ScriptRunner& Instance();
    // Lines for the main frame, drained on the script messages (the script log queue).
    static LineQueue& Queue();

    // Runs "\"script\" arguments" hidden in folder. true when the thread was created.
    bool Start(const std::string& script, const std::string& arguments, const std::string& folder);
    // Scripts on Windows 9x are stopped after this long (they may wait for a key there).
    void SetTimeLimit(unsigned ms) { timeLimitMs_ = ms; }

  protected:
    unsigned Run() override;

  private:
    std::string script_, arguments_, folder_;
    unsigned timeLimitMs_ = 0;  // 0: wait without limit
};

// The text of verify.bat for this Windows version; javaHome may be empty.
std::string VerifyScriptText(const std::string& windowsVersionName, const std::string& javaHome,
                             const std::string& scriptPath);
bool IsWindows9x(const std::string& windowsVersionName);
bool IsOldNt(const std::string& windowsVersionName);

// Appends "logs\start.log" under home to the log and deletes it (on script-finished).
void AppendStartLog(const std::string& home);

}  // namespace corv
