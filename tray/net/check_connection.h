// The connection monitors: the register monitor waits for a usable address to appear, the
// release monitor watches the address the Java client uses. Each runs on a thread of its own
// until its one event, which it posts to the main frame; the controller, on the main thread,
// acts on it and starts the next monitor.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/sync.h"
#include "tray/settings/preferences.h"
#include "tray/settings/proxy_list.h"

namespace corv {

enum class MonitorKind { Register = 1, Release = 2 };

// What the controller hands to the monitors; read on the main thread when a monitor starts.
class ConnectionOwner {
  public:
    virtual ~ConnectionOwner() = default;
    virtual const CPreferences& Prefs() const = 0;
    virtual ProxyHints Hints() const = 0;
};

// Fixed when the thread is created: its kind, the address it watches and its own copies of
// the settings it reads, so that no monitor reads what the main thread may change.
struct MonitorJob {
    MonitorKind kind;
    std::string ipAddr;  // the release monitor's address
    CPreferences prefs;
    ProxyHints hints;
};

// The monitor's loop. True when the monitor's event happened (for the register monitor with
// the address in *registered); false when stop was set first.
bool RunMonitor(const MonitorJob& job, const StopSignal& stop, std::string* registered);

class CCheckConnection {
  public:
    CCheckConnection();
    ~CCheckConnection();  // StopAll()
    CCheckConnection(const CCheckConnection&) = delete;
    CCheckConnection& operator=(const CCheckConnection&) = delete;

    // The controller registers itself; before that no monitor starts.
    void SetConfigMgr(ConnectionOwner* owner) { owner_ = owner; }
    void StartRegisterMonitor();
    void StartReleaseMonitor(const std::string& address);
    // The address of the latest register event (main thread, after its message).
    std::string RegisteredAddress();
    // Teardown: stops every monitor and waits; a thread that does not end in time is
    // terminated, with a log line.
    void StopAll(unsigned timeoutMs = 3000);

  private:
    class MonitorThread;
    bool Start(MonitorKind kind, const std::string& address);
    void SetRegisteredAddress(const std::string& address);

    ConnectionOwner* owner_ = nullptr;  // main thread
    Mutex mutex_;
    // Guarded by mutex_: the monitor threads (finished ones are dropped at the next start),
    // and the registered address, written by a register monitor before it posts.
    std::vector<std::unique_ptr<MonitorThread>> threads_;
    std::string registeredAddress_;
};

}  // namespace corv
