// Watches the Preferences key on a thread of its own and tells the main frame when another
// program changed the account's password or the choice of synchronised client. The thread only
// reads the registry, queues its log lines and posts messages; the main thread acts.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/registry.h"

namespace corv {

class LineQueue;
class RegKey;

class CRegistryMonitor {
  public:
    // The thread's log lines go to `log`, which the main frame drains on the monitor's messages.
    explicit CRegistryMonitor(LineQueue& log);
    ~CRegistryMonitor();  // Stop()
    CRegistryMonitor(const CRegistryMonitor&) = delete;
    CRegistryMonitor& operator=(const CRegistryMonitor&) = delete;

    // Starts watching the key under the root unless a monitor thread runs already; true when the
    // thread was created.
    bool StartMonitor(RegRoot root, const std::string& path);
    bool IsRunning() const { return running_.load(); }
    // Teardown: asks the thread to end and waits for it; a thread that does not end in time is
    // terminated, with a log line.
    void Stop(unsigned timeoutMs = 3000);

    // Runs on the monitor thread once it watches the key and has read the first values (tests).
    void SetWatchingHook(std::function<void()> hook) { watchingHook_ = std::move(hook); }

    // One of the five patterns that name exactly one client choice.
    static bool IsAcceptedPattern(const std::string& pattern);

  private:
    class Thread;

    // Everything below runs on the monitor thread.
    unsigned Run();
    // The thread's work; returns the message to post when it ends (0: none).
    unsigned Watch();
    bool ReadSyncClientSettings(const RegKey& key, std::string* pattern);
    bool IsPasswdModified(const RegKey& key);
    bool SyncClientsChanged(const RegKey& key);
    void Queue(const std::string& text);
    // "HKEY_CURRENT_USER\SOFTWARE\..." for the log lines.
    std::string KeyName() const;

    LineQueue& log_;
    // Written by StartMonitor before the thread is created; read by the thread.
    RegRoot root_ = RegRoot::CurrentUser;
    std::string path_;
    std::function<void()> watchingHook_;
    // Owned by the monitor thread while it runs; cleared by StartMonitor before it starts.
    std::string oldPasswd_;
    std::string oldPattern_;
    // Set by StartMonitor before the thread exists, cleared by the thread before its last post.
    std::atomic<bool> running_{false};
    StopSignal stop_;
    std::unique_ptr<Thread> thread_;  // main thread only
};

}  // namespace corv
