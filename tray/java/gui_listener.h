// The tray program's listener for the Java client's native calls. Java threads call it through
// the bridge library; it keeps what the main frame needs and posts the matching message.
#pragma once

#include <atomic>
#include <string>

#include "bridge/jni_listener.h"
#include "platform/sync.h"

namespace corv {

class CGuiListener : public CJniListener {
  public:
    static constexpr size_t kTextSize = 256;  // balloon title and message, with terminating zero
    enum BalloonKind { kInfo = 1, kWarning = 2, kError = 3 };

    struct Balloon {
        std::string title;
        std::string message;
        int kind = kInfo;
    };

    CGuiListener() = default;
    virtual ~CGuiListener() = default;
    CGuiListener(const CGuiListener&) = delete;
    CGuiListener& operator=(const CGuiListener&) = delete;

    // Slots 0-9, called from Java threads. Nothing escapes them.
    void setStatusBar(const char* text) override;
    void dialogBox(const char* text) override;
    void bitrate(int value) override;
    void balloonInfo(const char* title, const char* message) override;
    void balloonWarning(const char* title, const char* message) override;
    void balloonError(const char* title, const char* message) override;
    void enableMessengerProxy() override;
    void disableMessengerProxy() override;
    void setSipPort(int port) override;
    void setSocksPort(int port) override;

    // Read by the main frame when the posted message arrives; the latest call wins.
    Balloon GetBalloon() const;
    int GetMessengerProxy() const { return messengerProxy_.load(); }
    int GetSipPort() const { return sipPort_.load(); }
    int GetSocksPort() const { return socksPort_.load(); }

  private:
    void StoreBalloon(const char* title, const char* message, int kind);

    mutable Mutex balloonMutex_;  // title, message and kind change together
    Balloon balloon_;
    std::atomic<int> messengerProxy_{0};
    std::atomic<int> sipPort_{5060};
    std::atomic<int> socksPort_{1080};
};

// The process-wide listener, handed to the bridge library by the main frame.
CGuiListener& TheGuiListener();

}  // namespace corv
