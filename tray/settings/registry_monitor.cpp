#include "tray/settings/registry_monitor.h"

#include "platform/environment.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

// Values are read into 256-byte buffers, their terminating zero included.
constexpr size_t kValueBytes = 256;
// How long one wait lasts before the stop flag is looked at again.
constexpr unsigned kWaitSliceMs = 500;

const char* const kPatterns[] = {"100001", "010001", "001000", "000101", "000011"};
const char* const kSyncNames[] = {"SyncEconf", "SyncMessenger", "SyncMsnMessenger", "SyncXLite",
                                  "DoNotSync"};

std::string Masked(const std::string& credential) {
    return credential.empty() ? credential : kCredentialMask;
}

// Passwd of any type, at most 255 bytes.
long ReadPasswd(const RegKey& key, std::string* out) {
    RegValue v;
    long rc = key.QueryValue("Passwd", &v);
    if (rc != kOk) return rc;
    std::string text =
        v.type == RegType::Sz ? ValueText(v) : std::string(v.data.begin(), v.data.end());
    if (text.size() >= kValueBytes) return kErrMoreData;
    *out = text;
    return kOk;
}

}  // namespace

class CRegistryMonitor::Thread : public WorkerThread {
  public:
    explicit Thread(CRegistryMonitor& monitor) : monitor_(monitor) {}

  protected:
    unsigned Run() override { return monitor_.Run(); }

  private:
    CRegistryMonitor& monitor_;
};

CRegistryMonitor::CRegistryMonitor(LineQueue& log) : log_(log) {}

CRegistryMonitor::~CRegistryMonitor() {
    Stop();
}

bool CRegistryMonitor::IsAcceptedPattern(const std::string& pattern) {
    for (const char* p : kPatterns)
        if (pattern == p) return true;
    return false;
}

std::string CRegistryMonitor::KeyName() const {
    return std::string(RegRootName(root_)) + "\\" + path_;
}

void CRegistryMonitor::Queue(const std::string& text) {
    log_.Push(text);
}

bool CRegistryMonitor::StartMonitor(RegRoot root, const std::string& path) {
    if (running_) {
        Queue("StartMonitor: thread is already running, started no new threads!\n");
        PostToMain(kMsgRegMonLog);
        return false;
    }
    // A thread that cleared its mark is only posting its last message.
    if (thread_) thread_->Join(5000);
    root_ = root;
    path_ = path;
    oldPasswd_.clear();
    oldPattern_.clear();
    stop_.Reset();
    running_ = true;
    thread_.reset(new Thread(*this));
    if (!thread_->Start()) {
        running_ = false;
        return false;
    }
    return true;
}

void CRegistryMonitor::Stop(unsigned timeoutMs) {
    if (!thread_) return;
    stop_.Stop();
    if (!thread_->Join(timeoutMs)) {
        TheLog().Log("RegistryMonitor: thread did not end in %u ms, terminated\n", timeoutMs);
        thread_->Terminate();
    }
    running_ = false;
    thread_.reset();
}

unsigned CRegistryMonitor::Run() {
    Queue(Format("CRegistryMonitor started thread: 0x%x\n", CurrentThreadId()));
    PostToMain(kMsgRegMonLog);
    unsigned last = 0;
    try {
        last = Watch();
    } catch (...) {
        Queue("RegistryMonitor: Caught unknown exception, thread ends\n");
        last = kMsgRegMonLog;
    }
    // Cleared before the last message, so that its handler may start a new monitor.
    running_ = false;
    if (last) PostToMain(last);
    return 0;
}

unsigned CRegistryMonitor::Watch() {
    const std::string name = KeyName();
    RegKey key;
    long rc = key.Open(root_, path_, kRegRead);
    if (rc != kOk) {
        Queue(Format("RegistryMonitor: Could not open %s, reason: (%d) %s\n", name.c_str(),
                     static_cast<int>(rc), ErrorText(rc).c_str()));
        return kMsgRegMonLog;
    }
    auto cannotWatch = [&](long error) {
        Queue(Format("RegistryMonitor: Could not monitor changes on %s, reason: (%d) %s\n",
                     name.c_str(), static_cast<int>(error), ErrorText(error).c_str()));
        return kMsgRegMonLog;
    };
    // Armed before the first read: a change made while reading is seen by the first wait.
    RegWatch watch;
    if ((rc = watch.Arm(key, true)) != kOk) return cannotWatch(rc);

    if ((rc = ReadPasswd(key, &oldPasswd_)) != kOk) {
        Queue(Format("RegistryMonitor::Init: Could not read %s\\Passwd, reason: (%d) %s\n",
                     name.c_str(), static_cast<int>(rc), ErrorText(rc).c_str()));
        return kMsgRegMonLog;
    }
    if (!ReadSyncClientSettings(key, &oldPattern_)) return kMsgRegMonLog;
    if (watchingHook_) watchingHook_();

    for (;;) {
        rc = watch.Wait(kWaitSliceMs);
        if (stop_.IsStopped()) return 0;
        if (rc == kWaitTimeout) continue;
        if (rc != kOk) return cannotWatch(rc);
        if ((rc = watch.Arm(key, true)) != kOk) return cannotWatch(rc);
        if (IsPasswdModified(key)) return kMsgRestartCorvane;
        if (SyncClientsChanged(key)) PostToMain(kMsgReloadClientSettings);
    }
}

bool CRegistryMonitor::ReadSyncClientSettings(const RegKey& key, std::string* pattern) {
    const std::string name = KeyName();
    std::string result;
    for (const char* value : kSyncNames) {
        std::string text;
        long rc = key.QueryString(value, &text, kValueBytes);
        if (rc != kOk) {
            Queue(Format("ReadSyncClientSettings: Could not read %s\\%s, reason: (%d) %s\n",
                         name.c_str(), value, static_cast<int>(rc), ErrorText(rc).c_str()));
            return false;
        }
        result += Trim(text);
    }
    uint32_t useSip = 0;
    long rc = key.QueryDword("UseSip", &useSip);
    if (rc != kOk) {
        Queue(Format("ReadSyncClientSettings: Could not read %s\\UseSip, reason: (%d) %s\n",
                     name.c_str(), static_cast<int>(rc), ErrorText(rc).c_str()));
        return false;
    }
    if (useSip > 1) {
        Queue(Format("ReadSyncClientSettings: Illegal value in %s\\UseSip, value: %d\n",
                     name.c_str(), static_cast<int>(useSip)));
        return false;
    }
    *pattern = result + (useSip ? "1" : "0");
    return true;
}

bool CRegistryMonitor::IsPasswdModified(const RegKey& key) {
    std::string passwd;
    long rc = ReadPasswd(key, &passwd);
    if (rc != kOk) {
        Queue(Format("IsPasswdModified: Could not read %s\\Passwd, reason: (%d) %s\n",
                     KeyName().c_str(), static_cast<int>(rc), ErrorText(rc).c_str()));
        return false;
    }
    if (passwd == oldPasswd_) return false;
    // The digests are credentials: the log shows that they changed, not what they are.
    Queue(Format("RegistryMonitor: Value changed %s\\Passwd, old: %s, new: %s\n", KeyName().c_str(),
                 Masked(oldPasswd_).c_str(), Masked(passwd).c_str()));
    oldPasswd_ = passwd;
    return true;
}

bool CRegistryMonitor::SyncClientsChanged(const RegKey& key) {
    std::string pattern;
    if (!ReadSyncClientSettings(key, &pattern)) return false;
    if (!IsAcceptedPattern(pattern) || pattern == oldPattern_) return false;
    Queue(Format("RegistryMonitor: Sync clients values changed %s, old: %s, new: %s\n",
                 KeyName().c_str(), oldPattern_.c_str(), pattern.c_str()));
    oldPattern_ = pattern;
    return true;
}

}  // namespace corv
