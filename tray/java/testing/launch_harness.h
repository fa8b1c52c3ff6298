// Test helpers for the launcher: a host that records its calls, a main-window stand-in that
// records the posted messages with the status text of the moment, and log-queue parsing.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"
#include "tray/java/java_launcher.h"

namespace corv {
namespace testing_support {

class TestHost : public JavaLaunchHost {
  public:
    std::string GetActiveAddress(unsigned waitMs) override {
        std::lock_guard<std::mutex> lock(mutex_);
        waits_.push_back(waitMs);
        return address_;
    }
    void SetJavaLocalAddress(const std::string& address) override {
        std::lock_guard<std::mutex> lock(mutex_);
        javaLocal_.push_back(address);
    }
    void OnJavaStarted(int value) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            started_.push_back(value);
        }
        if (throwOnStarted_) throw std::runtime_error("controller failed");
    }

    void SetAddress(const std::string& a) { address_ = a; }
    void ThrowOnStarted() { throwOnStarted_ = true; }
    std::vector<unsigned> Waits() {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }
    std::vector<std::string> JavaLocal() {
        std::lock_guard<std::mutex> lock(mutex_);
        return javaLocal_;
    }
    std::vector<int> Started() {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }

  private:
    std::mutex mutex_;
    std::string address_ = "127.0.0.5";
    bool throwOnStarted_ = false;
    std::vector<unsigned> waits_;
    std::vector<std::string> javaLocal_;
    std::vector<int> started_;
};

struct Posted {
    unsigned message;
    uintptr_t wParam;
    std::string status;  // the status text when a status message was posted
    std::chrono::steady_clock::time_point at;
};

class RecordingPoster : public MessagePoster {
  public:
    bool Post(unsigned message, uintptr_t wParam, intptr_t) override {
        Posted p{message, wParam, message == kMsgSetMessageString ? GetStatusText() : "",
                 std::chrono::steady_clock::now()};
        // Notified under the lock: a waiter that saw the post may destroy the poster at once.
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(p);
        changed_.notify_all();
        return true;
    }
    std::vector<Posted> All() {
        std::lock_guard<std::mutex> lock(mutex_);
        return posted_;
    }
    std::vector<std::string> Statuses() {
        std::vector<std::string> s;
        for (const Posted& p : All())
            if (p.message == kMsgSetMessageString) s.push_back(p.status);
        return s;
    }
    int Count(unsigned message) {
        int n = 0;
        for (const Posted& p : All()) n += p.message == message;
        return n;
    }
    // Waits (generously; this is no timing check) until the predicate holds.
    bool WaitUntil(const std::function<bool(const std::vector<Posted>&)>& pred, int seconds = 120) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(seconds),
                                 [&] { return pred(posted_); });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Posted> posted_;
};

// The texts of queued log lines, without their time stamps.
inline std::vector<std::string> LogTexts(const std::string& queued) {
    std::vector<std::string> texts;
    size_t pos = 0;
    while (pos < queued.size()) {
        size_t open = queued.find('[', pos);
        if (open != pos) break;
        size_t close = queued.find("]  ", open);
        if (close == std::string::npos) break;
        size_t start = close + 3;
        // The next line starts with "[<digit>"; texts never contain that.
        size_t next = start;
        for (;;) {
            next = queued.find('[', next);
            if (next == std::string::npos ||
                (next + 1 < queued.size() && queued[next + 1] >= '0' && queued[next + 1] <= '9'))
                break;
            ++next;
        }
        if (next == std::string::npos) next = queued.size();
        texts.push_back(queued.substr(start, next - start));
        pos = next;
    }
    return texts;
}

// Everything the launcher queued so far, as texts.
inline std::vector<std::string> TakeLauncherLog() {
    return LogTexts(JavaLogQueue().TakeAll());
}

inline bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    for (const auto& t : texts)
        if (t == text) return true;
    return false;
}

// True when `wanted` appear in this order (other texts may stand between them).
inline bool InOrder(const std::vector<std::string>& texts, const std::vector<std::string>& wanted) {
    size_t i = 0;
    for (const auto& t : texts)
        if (i < wanted.size() && t == wanted[i]) ++i;
    return i == wanted.size();
}

// Keeps one Java thread inside a native call until released.
class Gate {
  public:
    void Arrive() {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_; });
    }
    bool WaitArrived(int seconds = 120) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(seconds), [&] { return arrived_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool arrived_ = false;
    bool released_ = false;
};

}  // namespace testing_support
}  // namespace corv

#include "bridge/jni_listener.h"
#include "tray/java/gui_listener.h"

namespace corv {
namespace testing_support {

// Hands every call to the process-wide listener and records the slots in order; holds the
// calling Java thread at setSocksPort while a gate is set.
class ForwardingListener : public CJniListener {
  public:
    void setStatusBar(const char* t) override {
        Add("setStatusBar", t);
        L().setStatusBar(t);
    }
    void dialogBox(const char* t) override {
        Add("dialogBox", t);
        L().dialogBox(t);
    }
    void bitrate(int v) override {
        Add("bitrate", std::to_string(v));
        L().bitrate(v);
    }
    void balloonInfo(const char* t, const char* m) override {
        Add("balloonInfo", std::string(t) + "|" + m);
        L().balloonInfo(t, m);
    }
    void balloonWarning(const char* t, const char* m) override {
        Add("balloonWarning", std::string(t) + "|" + m);
        L().balloonWarning(t, m);
    }
    void balloonError(const char* t, const char* m) override {
        Add("balloonError",
            std::to_string(std::string(t).size()) + "|" + std::to_string(std::string(m).size()));
        L().balloonError(t, m);
    }
    void enableMessengerProxy() override {
        Add("enableMessengerProxy");
        L().enableMessengerProxy();
    }
    void disableMessengerProxy() override {
        Add("disableMessengerProxy");
        L().disableMessengerProxy();
    }
    void setSipPort(int p) override {
        Add("setSipPort", std::to_string(p));
        L().setSipPort(p);
    }
    void setSocksPort(int p) override {
        Add("setSocksPort", std::to_string(p));
        L().setSocksPort(p);
        if (Gate* g = gate_) g->Arrive();
    }

    void HoldAtSocksPort(Gate* gate) { gate_ = gate; }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    // Waits until a call whose text starts with `prefix` has arrived.
    bool WaitForCall(const std::string& prefix, int seconds = 120) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(seconds), [&] {
            for (const auto& c : calls_)
                if (c.compare(0, prefix.size(), prefix) == 0) return true;
            return false;
        });
    }

  private:
    static CGuiListener& L() { return TheGuiListener(); }
    void Add(const std::string& slot, const std::string& args = "") {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(args.empty() ? slot : slot + "(" + args + ")");
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> calls_;
    std::atomic<Gate*> gate_{nullptr};
};

// The calls of the test client AllNatives (Java) and of the stand-in machine, in slot order.
inline std::vector<std::string> AllNativesCalls() {
    return {"setStatusBar(Verbunden mit Server \xc3\xbc\xe2\x82\xac)",
            "dialogBox(dialog)",
            "bitrate(64000)",
            "balloonInfo(Info|info message)",
            "balloonWarning(Warning|warning message)",
            "balloonError(300|300)",
            "enableMessengerProxy",
            "disableMessengerProxy",
            "setSipPort(5070)",
            "setSocksPort(1081)"};
}

}  // namespace testing_support
}  // namespace corv
