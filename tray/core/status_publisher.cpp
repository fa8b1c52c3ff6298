#include "tray/core/status_publisher.h"

#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/core/status_code.h"

namespace corv {

const char* const kStatusKey = "Software\\Velmora\\Corvane\\Settings";

namespace {
const char* const kAuthenticating = "Authenticating user at server...";
}

std::string StatusKeyPath(const std::string& clientId) {
    return clientId.empty() ? std::string(kStatusKey) : std::string(kStatusKey) + "\\" + clientId;
}

StatusPublication PublishStatus(const std::string& text, const std::string& clientId) {
    std::string path = StatusKeyPath(clientId);
    CLogFile& log = TheLog();
    log.Log("-->StatusBar: %s\n", text.c_str());
    log.Log("-->Updating status in: %s\n", path.c_str());

    RegKey key;
    long rc = key.Create(RegRoot::CurrentUser, path, kRegReadWrite);
    if (rc != kOk) {
        log.Log("OnSetMessageString: Could not open HKEY_CURRENT_USER\\%s, reason: %s\n",
                path.c_str(), ErrorWithText(rc).c_str());
        return StatusPublication::NotOpened;
    }

    // A client that wakes from suspend authenticates again while it is still connected.
    if (EqualsNoCase(text, kAuthenticating)) {
        std::string previous;
        if (key.QueryString("StatusCode", &previous, 2048) == kOk &&
            EqualsNoCase(previous, "Connected")) {
            log.Log(
                "OnSetMessageString: Ignoring status code prev was Connected, new status "
                "Authenticating..., so assumes unsuspend\n");
            return StatusPublication::Suspended;
        }
    }

    // Other programs read the value as one line of text.
    rc = key.SetString("Status", WithoutControls(text));
    if (rc != kOk)
        log.Log("OnSetMessageString: Could not write to registry variable, Status, reason: %s\n",
                ErrorWithText(rc).c_str());
    rc = key.SetString("StatusCode", ParseStatusCode(text));
    if (rc != kOk)
        log.Log(
            "OnSetMessageString: Could not write to registry variable, StatusCode, reason: "
            "%s\n",
            ErrorWithText(rc).c_str());
    return StatusPublication::Written;
}

void RemoveStatusValues(const std::string& clientId) {
    CLogFile& log = TheLog();
    RegKey key;
    long rc = key.Open(RegRoot::CurrentUser, kStatusKey, kRegReadWrite);
    if (rc != kOk) {
        log.Log("~CMainFrame: Could not open HKEY_CURRENT_USER\\%s, reason: %s\n", kStatusKey,
                ErrorWithText(rc).c_str());
        return;
    }
    if (!clientId.empty()) {
        rc = key.DeleteTree(clientId);
        if (rc != kOk)
            log.Log("~CMainFrame: Could not delete registry key %s, StatusCode, reason: %s\n",
                    clientId.c_str(), ErrorWithText(rc).c_str());
        return;
    }
    rc = key.DeleteValue("Status");
    if (rc != kOk)
        log.Log("~CMainFrame: Could not delete registry variable, Status, reason: %s\n",
                ErrorWithText(rc).c_str());
    rc = key.DeleteValue("StatusCode");
    if (rc != kOk)
        log.Log("~CMainFrame: Could not delete registry variable, StatusCode, reason: %s\n",
                ErrorWithText(rc).c_str());
}

}  // namespace corv
