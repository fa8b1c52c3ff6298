// The process-wide diagnostic log: one file per start, rotated, optionally scrambled, with a
// store for lines logged while it is closed and line queues for worker threads.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/sync.h"

namespace corv {

class CLogFile {
  public:
    static constexpr int kPendingLines = 1024;
    static constexpr unsigned char kScramble = 0x47;

    CLogFile();  // defaults, then the /Logger Java preference node
    ~CLogFile();

    // Re-reads "log/Format1814", "log/File/Count" and "log/File/Size" (HKCU).
    void ReadConfiguration();

    // Text arguments (%s) are shown with their control characters escaped, so that every line
    // of the log is one the program wrote.
    void Log(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    // A text the program built; pieces from outside must be escaped by the caller.
    void LogText(const std::string& text);
    void Echo(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void SetConsoleEcho(bool on) { consoleEcho_ = on; }
    bool ConsoleEcho() const { return consoleEcho_; }

    // Creates the folder (Home + "logs\" or "logs-<id>\"), rotates and opens a fresh start0.log.
    bool Open(const std::string& home, const std::string& clientId);
    void Close();
    bool Reopen();
    void Flush();
    bool IsOpen() const;
    // The output file of a command-interpreter child (its code page), one "[script] " line per
    // line, control characters escaped.
    bool AppendScriptOutput(const std::string& path);

    // Sees the text of every message logged (tests and diagnostics); nullptr removes it.
    using Observer = std::function<void(const std::string& text)>;
    void SetObserver(Observer observer);

    std::string FileName() const;
    std::string Format() const;  // "binary" or "ascii"
    int FileCount() const;
    int FileSize() const;
    int PendingCount() const;

    // "%d-%d-%d %02d:%02d:%02d,%03d" local time (month and day not padded).
    static std::string TimeStamp();
    // "[<time>]  <text>"
    static std::string LogLine(const std::string& text);
    // The scrambled form of one text (line ends kept as CR LF on every platform).
    static std::string Encode(const std::string& text, bool binary);

  private:
    // All callers hold mutex_.
    void WriteLocked(const std::string& line);
    void FlushLocked();
    bool ReopenLocked();
    void CloseLocked();
    void Rotate(const std::string& folder);

    mutable RecursiveMutex mutex_;
    std::string fileName_;
    std::atomic<bool> consoleEcho_{false};
    FILE* file_ = nullptr;
    std::vector<std::string> pending_;
    int dropped_ = 0;  // lines lost since the store was last written; reported then
    std::string format_ = "binary";
    int fileCount_ = 5;
    int fileSize_ = 500000;
    Observer observer_;
};

// The process-wide log.
CLogFile& TheLog();

// A fixed-size queue of log lines from one worker thread to the main thread. The worker pushes
// and then posts a message; the main thread takes everything and logs it as one message.
// Slots are reused once the main thread has drained them, so at most 1,024 lines wait at once;
// lines beyond that are counted and the count reported once with the next lines taken.
class LineQueue {
  public:
    static constexpr int kSlots = 1024;
    // Formats the text as a log line and stores it; false (line dropped) when the queue is full.
    bool Push(const std::string& text);
    bool PushRaw(const std::string& line);
    std::string TakeAll();
    bool HasUnread() const;

  private:
    mutable Mutex mutex_;
    std::vector<std::string> lines_;
    int dropped_ = 0;
};

// The Java launcher's lines, and the script runner's; the main frame drains each on its messages.
LineQueue& JavaLogQueue();
LineQueue& ScriptLogQueue();

}  // namespace corv
