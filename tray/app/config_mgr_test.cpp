// The controller's hand-over of the Java launcher's events to the main thread.
#include "tray/app/config_mgr.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>

#include "platform/memory_registry.h"
#include "platform/registry.h"
#include "platform/thread.h"
#include "tray/app/frame_messages.h"
#include "tray/core/log_capture.h"
#include "tray/core/messages.h"
#include "tray/settings/active_settings.h"

namespace corv {
namespace {

// Notes which threads write registry values.
class WriterRecordingRegistry : public MemoryRegistry {
  public:
    WriterRecordingRegistry() { SetRegistryBackend(this); }
    ~WriterRecordingRegistry() override { SetRegistryBackend(nullptr); }
    long Set(Handle h, const RegValue& value) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            writers_.insert(std::this_thread::get_id());
        }
        return MemoryRegistry::Set(h, value);
    }
    std::set<std::thread::id> Writers() {
        std::lock_guard<std::mutex> lock(mutex_);
        return writers_;
    }

  private:
    std::mutex mutex_;
    std::set<std::thread::id> writers_;
};

class PortListener : public DefaultFrameListener {
  public:
    int GetSipPort() const override { return sip; }
    int sip = 5060;
};

// Also run under ThreadSanitizer (scripts/tsan-java.sh).
TEST(JavaStartedTest, TheStartIsPublishedOnTheMainThreadInOrderWithThePortReports) {
    WriterRecordingRegistry registry;
    ScopedLogCapture log;
    {
        RegKey settings;
        ASSERT_EQ(kOk, settings.Create(RegRoot::CurrentUser, kSettingsKeyPath));
    }
    QueuedPoster poster;
    SetMainPoster(&poster);
    CConfigMgr cm;
    PortListener listener;

    // The launcher thread reports the start while the main thread handles port reports.
    std::thread launcher([&] { cm.OnJavaStarted(1); });
    for (int port = 5061; port <= 5160; ++port) {
        listener.sip = port;
        HandleFrameMessage(kMsgSipPortUpdated, &cm, listener);
    }
    launcher.join();
    SetMainPoster(nullptr);
    poster.Pump(
        [&](const QueuedPoster::Message& m) { HandleFrameMessage(m.message, &cm, listener); });

    EXPECT_TRUE(log.Has("CMainFrame Received OnJavaStarted\n"));
    EXPECT_EQ(std::set<std::thread::id>{std::this_thread::get_id()}, registry.Writers());
    RegKey settings;
    ASSERT_EQ(kOk, settings.Open(RegRoot::CurrentUser, kSettingsKeyPath));
    uint32_t published = 0;
    ASSERT_EQ(kOk, settings.QueryDword("ActiveSipPort", &published));
    EXPECT_EQ(5160u, published);
}

}  // namespace
}  // namespace corv
