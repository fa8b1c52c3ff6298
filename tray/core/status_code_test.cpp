#include "tray/core/status_code.h"

#include <gtest/gtest.h>

namespace corv {
namespace {

TEST(ParseStatusCodeTest, KeywordTablesInOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {"Connected to server", "Connected"},
        {"Not connected to internet!", "Disconnected"},
        {"Disconnected", "Connected"},  // "connected" matches inside it
        {"  Connecting to tunnel server...", "TryingToConnect"},
        {"Detecting network", "TryingToConnect"},
        {"Registration lost", "TryingToConnect"},
        {"Signed-in as bob", "SignedIn"},
        {"Registered", "SignedIn"},
        {"Initializing...", "Initializing"},
        {"Tunneled call with alice", "InCall"},
        {"Not running", "NotRunning"},
        {"Not running yet", "Unknown"},
        {"HTTP-proxy requires authentication", "HttpProxyAuthRequired"},
        {"disabled: illegal username/password", "ErrorIllegalUserIdPasswd"},
        {"Disabled: Userid/passwd not set.", "Unknown"},  // the error search is case-sensitive
        {"disabled: userid/passwd not set.", "ErrorUserIdPasswdNotSet"},
        {"Disabled: Java 1.4.2 is not installed", "Unknown"},
        {"Could not start Proxy thread", "Unknown"},
        {"could not start proxy thread", "ErrorProxyThread"},
        {"Disabled: corvane-client is too old", "ErrorOldClient"},
        {"Disabled: http-proxy denies access", "HttpProxyAuthRequired"},
        {"Disabled: disabled by administrator", "ErrorDisabled"},
        {"Disabled: Address 127.0.0.9 is not in local host table", "Unknown"},
        {"", "Unknown"},
    };
    for (const auto& [text, code] : cases) EXPECT_EQ(code, ParseStatusCode(text)) << text;
}

}  // namespace
}  // namespace corv
