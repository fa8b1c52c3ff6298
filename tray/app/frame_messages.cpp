#include "tray/app/frame_messages.h"

#include "tray/app/config_mgr.h"
#include "tray/core/messages.h"

namespace corv {

LineQueue& RegMonLogQueue() {
    static LineQueue queue;
    return queue;
}

const char* FrameMessageName(unsigned message) {
    switch (message) {
        case kMsgSyncMessenger:
            return "OnSyncMessenger";
        case kMsgJavaLog:
            return "OnJavaLog";
        case kMsgVerifyInstallation:
            return "OnVerifyInstallation";
        case kMsgScriptLog:
            return "OnScriptLog";
        case kMsgScriptFinished:
            return "OnScriptFinished";
        case kMsgRegMonLog:
            return "OnRegMonLog";
        case kMsgRestartCorvane:
            return "OnRestartCorvane";
        case kMsgReloadClientSettings:
            return "OnReloadClientSettings";
        case kMsgSipPortUpdated:
            return "OnSipPortUpdated";
        case kMsgSocksPortUpdated:
            return "OnSocksPortUpdated";
        case kMsgJavaStarted:
            return "OnJavaStarted";
        case kMsgIpAddrRegistered:
            return "OnIpAddrRegistered";
        case kMsgIpAddrReleased:
            return "OnIpAddrReleased";
        case kMsgQuitCorvane:
            return "OnQuitCorvane";
        case kMsgHide:
            return "OnHideMsg";
        case kMsgHttpProxyUpdate:
            return "OnHttpProxyUpdate";
        default:
            return nullptr;
    }
}

void LogIgnoredException(const char* what) {
    TheLog().Log("Internal error(ignored): Caught exception while calling %s()\n", what);
}

namespace {

// Writes the queued lines as one message; an empty queue writes nothing.
void DrainQueue(LineQueue& queue) {
    std::string text = queue.TakeAll();
    if (!text.empty()) TheLog().LogText(text);
    TheLog().Flush();
}

void RunHandler(unsigned message, CConfigMgr* cm, const FrameListener& listener) {
    switch (message) {
        case kMsgSyncMessenger:
            if (cm) cm->SyncMessengerSettings(listener.GetMessengerProxy());
            break;
        case kMsgJavaLog:
            DrainQueue(JavaLogQueue());
            break;
        case kMsgVerifyInstallation:
            if (cm) cm->VerifyInstallation();
            break;
        case kMsgScriptLog:
            DrainQueue(ScriptLogQueue());
            break;
        case kMsgScriptFinished:
            DrainQueue(ScriptLogQueue());
            if (cm) cm->AppendStartLog();
            break;
        case kMsgRegMonLog:
            DrainQueue(RegMonLogQueue());
            break;
        case kMsgRestartCorvane:
            DrainQueue(RegMonLogQueue());
            if (cm) cm->OnRegistryMonitorEvent();
            break;
        case kMsgReloadClientSettings:
            DrainQueue(RegMonLogQueue());
            if (cm) cm->ReloadClientSettings();
            break;
        case kMsgSipPortUpdated:
            if (cm) cm->OnSipPortUpdated(listener.GetSipPort());
            break;
        case kMsgSocksPortUpdated:
            if (cm) cm->OnSocksPortUpdated(listener.GetSocksPort());
            break;
        case kMsgJavaStarted:
            if (cm) cm->HandleJavaStarted();
            break;
        case kMsgHttpProxyUpdate:
            if (cm) cm->OnRegistryMonitorEvent();
            break;
        case kMsgIpAddrRegistered:
            if (cm) cm->OnIpAddrRegistered(cm->Connection().RegisteredAddress());
            break;
        case kMsgIpAddrReleased:
            if (cm) cm->OnIpAddrReleased();
            break;
    }
}

}  // namespace

bool HandleFrameMessage(unsigned message, CConfigMgr* configMgr, const FrameListener& listener) {
    bool inTable =
        (message >= kMsgFirstWork && message <= kMsgLastWork) || message == kMsgHttpProxyUpdate;
    if (!inTable) return false;
    const char* name = FrameMessageName(message);
    try {
        TheLog().Log("CMainFrame Received %s\n", name);
        RunHandler(message, configMgr, listener);
    } catch (...) {
        LogIgnoredException(name);
    }
    return true;
}

void MakeLogCurrent() {
    CLogFile& log = TheLog();
    if (!log.IsOpen()) {
        if (log.Reopen()) {
            log.Flush();
            log.Close();
        }
    } else {
        log.Flush();
    }
}

bool AnnounceBalloon(bool hideBalloons, const BalloonData& balloon) {
    if (hideBalloons) {
        TheLog().Log("Hidden Balloon (not displayed): Balloon title: %s \nBalloon msg: %s\n",
                     balloon.title.c_str(), balloon.message.c_str());
        return false;
    }
    TheLog().Log("Balloon title: %s \nBalloon msg: %s\n", balloon.title.c_str(),
                 balloon.message.c_str());
    MakeLogCurrent();
    return true;
}

std::string CutToUtf16Units(const std::string& text, size_t maxUnits) {
    size_t units = 0;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t len = 1;
        if (c >= 0xF0 && c < 0xF8)
            len = 4;
        else if (c >= 0xE0)
            len = c < 0xF0 ? 3 : 1;
        else if (c >= 0xC0)
            len = 2;
        if (i + len > text.size()) len = 1;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) len = 1;
        size_t need = len == 4 ? 2 : 1;  // four-byte characters take a surrogate pair
        if (units + need > maxUnits) break;
        units += need;
        i += len;
    }
    return text.substr(0, i);
}

}  // namespace corv
