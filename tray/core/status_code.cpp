#include "tray/core/status_code.h"

#include <initializer_list>

#include "platform/text.h"
#include "tray/core/log_file.h"

namespace corv {

namespace {

bool ContainsAny(const std::string& text, std::initializer_list<const char*> needles) {
    for (const char* n : needles)
        if (text.find(n) != std::string::npos) return true;
    return false;
}

const std::initializer_list<const char*> kHttpProxyTexts = {
    "http-proxy requires authentication", "http-proxy requires ntlm-authentication",
    "http-proxy denies access", "invalid http-proxy username/password",
    "unknown http-proxy authentication scheme"};

// Case-sensitive search in the text as received.
std::string ErrorCode(const std::string& text) {
    if (ContainsAny(text, {"userid/passwd not set", "missing userid/password"}))
        return "ErrorUserIdPasswdNotSet";
    if (ContainsAny(text, {"illegal username and/or password", "illegal username/password"}))
        return "ErrorIllegalUserIdPasswd";
    if (ContainsAny(text, {"proxy thread"})) return "ErrorProxyThread";
    if (ContainsAny(text, {"old corvane", "corvane-client is too old"})) return "ErrorOldClient";
    if (ContainsAny(text, kHttpProxyTexts)) return "HttpProxyAuthRequired";
    if (ContainsAny(text, {"disabled"})) return "ErrorDisabled";
    return "Unknown";
}

std::string Classify(const std::string& text) {
    std::string t = ToLower(Trim(text));
    if (t.compare(0, 8, "disabled") == 0) return ErrorCode(text);
    if (ContainsAny(t, {"not connected to internet"})) return "Disconnected";
    if (ContainsAny(t, {"connected"})) return "Connected";
    if (ContainsAny(t, {"connecting", "detecting network", "authenticating", "registration lost"}))
        return "TryingToConnect";
    if (ContainsAny(t, {"signed-in", "registered"})) return "SignedIn";
    if (ContainsAny(t, {"initializing"})) return "Initializing";
    if (ContainsAny(t, {"in call", "direct call", "relayed call", "tunneled call"}))
        return "InCall";
    if (t == "not running") return "NotRunning";
    if (ContainsAny(t, kHttpProxyTexts)) return "HttpProxyAuthRequired";
    return ErrorCode(text);
}

}  // namespace

std::string ParseStatusCode(const std::string& text) {
    try {
        std::string code = Classify(text);
        TheLog().Log("ParseStatusCode: returning %s\n", code.c_str());
        return code;
    } catch (...) {
        TheLog().Log("ParseStatusCode: Caught unknown exception\n");
        return "Unknown";
    }
}

}  // namespace corv
