#include "tray/app/status_text.h"

#include <gtest/gtest.h>

#include "platform/thread.h"
#include "tray/app/messages.h"

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

TEST(StatusTextTest, KeepsTheLatestTextCutTo255BytesAndPostsTheStatusMessage) {
    QueuedPoster poster;
    SetMainPoster(&poster);
    SetStatusText("first");
    SetStatusText(std::string(300, 'x'));
    SetMainPoster(nullptr);
    EXPECT_EQ(std::string(255, 'x'), GetStatusText());
    std::vector<QueuedPoster::Message> posted;
    poster.Pump([&](const QueuedPoster::Message& m) { posted.push_back(m); });
    ASSERT_EQ(2u, posted.size());
    EXPECT_EQ(kMsgSetMessageString, posted[0].message);
    EXPECT_EQ(kIdMessageStringParam, posted[0].wParam);
    EXPECT_EQ(0, posted[0].lParam);
    SetStatusText("no window");  // nothing to post to: still stored
    EXPECT_EQ("no window", GetStatusText());
}

}  // namespace
}  // namespace corv
