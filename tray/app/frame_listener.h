// What the main frame reads from the Java client's listener when a posted message arrives:
// the latest balloon, the messenger-proxy flag and the reported ports.
#pragma once

#include <string>

namespace corv {

struct BalloonData {
    enum Kind { kInfo = 1, kWarning = 2, kError = 3 };
    std::string title;    // UTF-8
    std::string message;  // UTF-8
    int kind = kInfo;
};

class FrameListener {
  public:
    virtual ~FrameListener() = default;
    virtual BalloonData GetBalloon() const = 0;
    virtual int GetMessengerProxy() const = 0;
    virtual int GetSipPort() const = 0;
    virtual int GetSocksPort() const = 0;
};

// Adapts any listener with the same accessors (its balloon having title, message and kind).
template <class Listener>
class FrameListenerOf : public FrameListener {
  public:
    explicit FrameListenerOf(const Listener& listener) : listener_(listener) {}
    BalloonData GetBalloon() const override {
        auto b = listener_.GetBalloon();
        BalloonData out;
        out.title = b.title;
        out.message = b.message;
        out.kind = b.kind;
        return out;
    }
    int GetMessengerProxy() const override { return listener_.GetMessengerProxy(); }
    int GetSipPort() const override { return listener_.GetSipPort(); }
    int GetSocksPort() const override { return listener_.GetSocksPort(); }

  private:
    const Listener& listener_;
};

// Listener values before the Java client has reported anything.
class DefaultFrameListener : public FrameListener {
  public:
    BalloonData GetBalloon() const override { return BalloonData(); }
    int GetMessengerProxy() const override { return 0; }
    int GetSipPort() const override { return 5060; }
    int GetSocksPort() const override { return 1080; }
};

}  // namespace corv
