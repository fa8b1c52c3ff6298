#include "tray/net/check_connection.h"

#include "platform/system.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"
#include "tray/net/active_address.h"
#include "tray/net/local_host.h"

namespace corv {

namespace {

constexpr unsigned kPollMs = 1000;
constexpr unsigned kAddressWaitMs = 1000;
constexpr unsigned kFirstBackoffSeconds = 10;
constexpr unsigned kBackoffStepSeconds = 20;
constexpr unsigned kBackoffLimitSeconds = 600;

bool IsFixedAddress(const CPreferences& prefs) {
    return EqualsNoCase(prefs.GetSyncMode(), "fixed") && !prefs.GetLocalIpAddress().empty();
}

bool RunRegisterMonitor(const MonitorJob& job, const StopSignal& stop, std::string* registered) {
    CLocalHost host;
    if (IsFixedAddress(job.prefs)) {
        // Only the user's own address counts; wait until it is configured.
        const std::string& fixed = job.prefs.GetLocalIpAddress();
        while (!host.IsInLocalHostTable(host.GetHostName(), fixed))
            if (Clock().Sleep(kPollMs, &stop)) return false;
        *registered = fixed;
        return true;
    }
    std::string address;
    while (address.empty() || address == "127.0.0.1") {
        if (Clock().Sleep(kPollMs, &stop)) return false;
        CLocalHost fresh;  // a fresh entry sees a changed host table
        address = fresh.GetFirstLocalAddress(fresh.GetHostName());
    }
    SetStatusText("Initializing...");
    *registered = address;
    return true;
}

bool RunReleaseMonitor(const MonitorJob& job, const StopSignal& stop) {
    CLogFile& log = TheLog();
    CLocalHost host;
    const std::string& watched = job.ipAddr;
    unsigned backoff = kFirstBackoffSeconds;
    AddressChoiceOptions options;
    options.wait = [&stop](unsigned ms) { Clock().Sleep(ms, &stop); };
    for (;;) {
        if (Clock().Sleep(kPollMs, &stop)) return false;
        if (EqualsNoCase(watched, "127.0.0.1")) continue;
        if (host.IsInLocalHostTable(host.GetHostName(), watched)) continue;
        log.Log("ReleaseMonitor, IP address changed\n");
        std::string answer = GetActiveAddress(job.prefs, job.hints, kAddressWaitMs, options);
        if (stop.IsStopped()) return false;
        log.Log("GetActiveAddress returned: %s\n", answer.c_str());
        if (answer.empty() || EqualsNoCase(answer, "127.0.0.1")) {
            // Nothing to move to yet: wait longer each time, up to ten minutes and more.
            if (Clock().Sleep(backoff * 1000, &stop)) return false;
            if (backoff < kBackoffLimitSeconds) backoff += kBackoffStepSeconds;
            continue;
        }
        if (answer != watched) return true;
    }
}

}  // namespace

bool RunMonitor(const MonitorJob& job, const StopSignal& stop, std::string* registered) {
    if (job.kind == MonitorKind::Register) return RunRegisterMonitor(job, stop, registered);
    return RunReleaseMonitor(job, stop);
}

class CCheckConnection::MonitorThread : public WorkerThread {
  public:
    MonitorThread(CCheckConnection& owner, MonitorJob job) : owner_(owner), job_(std::move(job)) {}
    void Stop() { stop_.Stop(); }

  protected:
    unsigned Run() override {
        try {
            std::string address;
            if (!RunMonitor(job_, stop_, &address)) return 0;
            if (job_.kind == MonitorKind::Register) {
                owner_.SetRegisteredAddress(address);
                PostToMain(kMsgIpAddrRegistered);
            } else {
                PostToMain(kMsgIpAddrReleased);
            }
        } catch (...) {
            TheLog().Log("Internal error(ignored): Caught exception in %s monitor\n",
                         job_.kind == MonitorKind::Register ? "register" : "release");
        }
        return 0;
    }

  private:
    CCheckConnection& owner_;
    const MonitorJob job_;
    StopSignal stop_;
};

CCheckConnection::CCheckConnection() = default;

CCheckConnection::~CCheckConnection() {
    StopAll();
}

bool CCheckConnection::Start(MonitorKind kind, const std::string& address) {
    MonitorJob job{kind, address, owner_->Prefs(), owner_->Hints()};
    std::lock_guard<Mutex> lock(mutex_);
    for (auto it = threads_.begin(); it != threads_.end();) {
        if ((*it)->IsRunning()) {
            ++it;
        } else {
            (*it)->Join(0);
            it = threads_.erase(it);
        }
    }
    std::unique_ptr<MonitorThread> thread(new MonitorThread(*this, std::move(job)));
    if (!thread->Start()) return false;
    threads_.push_back(std::move(thread));
    return true;
}

void CCheckConnection::StartRegisterMonitor() {
    if (!owner_) {
        TheLog().Log("CCheckConnection::StartRegisterMonitor: not initialized!\n");
        return;
    }
    if (!Start(MonitorKind::Register, std::string()))
        TheLog().Log("CheckConnection::StartRegisterMonitor could not start thread: errno: %d\n",
                     static_cast<int>(LastError()));
}

void CCheckConnection::StartReleaseMonitor(const std::string& address) {
    if (!owner_) {
        TheLog().Log(
            "CCheckConnection::StartReleaseMonitor: not initialized, m_configMgr is NULL!\n");
        return;
    }
    if (address.empty()) {
        TheLog().Log("CCheckConnection::ReleaseMonitor not initialized, ipAddr is empty\n");
        return;
    }
    if (!Start(MonitorKind::Release, address))
        TheLog().Log("CheckConnection::StartReleaseMonitor could not start thread: errno: %d\n",
                     static_cast<int>(LastError()));
}

void CCheckConnection::SetRegisteredAddress(const std::string& address) {
    std::lock_guard<Mutex> lock(mutex_);
    registeredAddress_ = address;
}

std::string CCheckConnection::RegisteredAddress() {
    std::lock_guard<Mutex> lock(mutex_);
    return registeredAddress_;
}

void CCheckConnection::StopAll(unsigned timeoutMs) {
    std::vector<std::unique_ptr<MonitorThread>> threads;
    {
        std::lock_guard<Mutex> lock(mutex_);
        threads.swap(threads_);
    }
    for (auto& t : threads) t->Stop();
    for (auto& t : threads) {
        if (!t->Join(timeoutMs)) {
            TheLog().Log("CCheckConnection: monitor thread did not end in %u ms, terminated\n",
                         timeoutMs);
            t->Terminate();
        }
    }
}

}  // namespace corv
