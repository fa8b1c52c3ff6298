#include "tray/java/gui_listener.h"

#include "platform/thread.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"

namespace corv {

namespace {

std::string Text(const char* s) {
    return s ? s : "";
}

// A failure here must never unwind into the Java thread that called.
template <typename F>
void Swallow(F&& f) {
    try {
        f();
    } catch (...) {
    }
}

}  // namespace

void CGuiListener::setStatusBar(const char* text) {
    Swallow([&] { SetStatusText(Text(text)); });
}

void CGuiListener::dialogBox(const char*) {}

void CGuiListener::bitrate(int) {}

void CGuiListener::balloonInfo(const char* title, const char* message) {
    Swallow([&] { StoreBalloon(title, message, kInfo); });
}

void CGuiListener::balloonWarning(const char* title, const char* message) {
    Swallow([&] { StoreBalloon(title, message, kWarning); });
}

void CGuiListener::balloonError(const char* title, const char* message) {
    Swallow([&] { StoreBalloon(title, message, kError); });
}

void CGuiListener::enableMessengerProxy() {
    Swallow([&] {
        messengerProxy_ = 1;
        PostToMain(kMsgSyncMessenger);
    });
}

void CGuiListener::disableMessengerProxy() {
    Swallow([&] {
        messengerProxy_ = 0;
        PostToMain(kMsgSyncMessenger);
    });
}

void CGuiListener::setSipPort(int port) {
    Swallow([&] {
        sipPort_ = port;
        PostToMain(kMsgSipPortUpdated);
    });
}

void CGuiListener::setSocksPort(int port) {
    Swallow([&] {
        socksPort_ = port;
        PostToMain(kMsgSocksPortUpdated);
    });
}

void CGuiListener::StoreBalloon(const char* title, const char* message, int kind) {
    {
        std::lock_guard<Mutex> lock(balloonMutex_);
        balloon_.title = CutUtf8(Text(title), kTextSize - 1);
        balloon_.message = CutUtf8(Text(message), kTextSize - 1);
        balloon_.kind = kind;
    }
    PostToMain(kMsgBalloon);
}

CGuiListener::Balloon CGuiListener::GetBalloon() const {
    std::lock_guard<Mutex> lock(balloonMutex_);
    return balloon_;
}

CGuiListener& TheGuiListener() {
    static CGuiListener listener;
    return listener;
}

}  // namespace corv
