#include "tray/core/status_publisher.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "platform/registry.h"
#include "tray/core/log_capture.h"
#include "tray/core/log_file.h"

namespace corv {
namespace {

// Captures what the process-wide log says during one test.
class StatusPublisherTest : public ::testing::Test {
  protected:
    std::string Said() { return capture_.Text(); }
    std::string Value(const std::string& path, const std::string& name) {
        RegKey key;
        if (key.Open(RegRoot::CurrentUser, path) != kOk) return "<no key>";
        std::string v;
        return key.QueryString(name, &v) == kOk ? v : "<none>";
    }

    ScopedMemoryRegistry registry_;
    ScopedLogCapture capture_;
};

const char kSettings[] = "Software\\Velmora\\Corvane\\Settings";

TEST_F(StatusPublisherTest, WritesTextAndCodeUnderSettingsOrTheClientIdSubkey) {
    EXPECT_EQ(StatusPublication::Written, PublishStatus("Connected to server", ""));
    EXPECT_EQ(StatusPublication::Written, PublishStatus("Signed-in as bob", "ABC"));
    EXPECT_EQ("Connected to server", Value(kSettings, "Status"));
    EXPECT_EQ("Connected", Value(kSettings, "StatusCode"));
    EXPECT_EQ("Signed-in as bob", Value(std::string(kSettings) + "\\ABC", "Status"));
    EXPECT_EQ("SignedIn", Value(std::string(kSettings) + "\\ABC", "StatusCode"));
    std::string said = Said();
    EXPECT_NE(std::string::npos, said.find("-->StatusBar: Connected to server\n"
                                           "-->Updating status in: " +
                                           std::string(kSettings) + "\n"));
    EXPECT_NE(std::string::npos,
              said.find("-->Updating status in: " + std::string(kSettings) + "\\ABC\n"));
    EXPECT_NE(std::string::npos, said.find("ParseStatusCode: returning SignedIn\n"));
}

TEST_F(StatusPublisherTest, NonAsciiTextIsStoredAsReceivedAndControlsAsOneBlank) {
    const std::string text = "Verbunden mit Server \xc3\xbc\xe2\x82\xac";  // ü€
    PublishStatus(text, "");
    EXPECT_EQ(text, Value(kSettings, "Status"));

    PublishStatus("Connected\r\n\x1b[31mto\x07 server", "");
    EXPECT_EQ("Connected [31mto  server", Value(kSettings, "Status"));
    EXPECT_EQ("Connected", Value(kSettings, "StatusCode"));
    EXPECT_NE(std::string::npos,
              Said().find("-->StatusBar: Connected\\r\\n\\x1b[31mto\\x07 server\n"));
}

TEST_F(StatusPublisherTest, AuthenticatingAfterConnectedLeavesBothValues) {
    PublishStatus("Connected to server", "");
    EXPECT_EQ(StatusPublication::Suspended, PublishStatus("AUTHENTICATING user at server...", ""));
    EXPECT_EQ("Connected to server", Value(kSettings, "Status"));
    EXPECT_EQ("Connected", Value(kSettings, "StatusCode"));
    EXPECT_NE(std::string::npos,
              Said().find("OnSetMessageString: Ignoring status code prev was Connected, new "
                          "status Authenticating..., so assumes unsuspend\n"));
}

TEST_F(StatusPublisherTest, AuthenticatingOtherwiseIsPublished) {
    PublishStatus("Connecting to tunnel server", "");
    EXPECT_EQ(StatusPublication::Written, PublishStatus("Authenticating user at server...", ""));
    EXPECT_EQ("TryingToConnect", Value(kSettings, "StatusCode"));
    EXPECT_EQ("Authenticating user at server...", Value(kSettings, "Status"));
    // Only the exact text suspends.
    PublishStatus("Connected", "");
    EXPECT_EQ(StatusPublication::Written, PublishStatus("Authenticating user at server", ""));
}

TEST_F(StatusPublisherTest, UnwritableKeyIsLogged) {
    registry_->DenyAccess(RegRoot::CurrentUser, kSettings, kRegWrite);
    EXPECT_EQ(StatusPublication::NotOpened, PublishStatus("Connected", ""));
    EXPECT_NE(std::string::npos,
              Said().find("OnSetMessageString: Could not open "
                          "HKEY_CURRENT_USER\\Software\\Velmora\\Corvane\\Settings, reason: (5) "));
}

TEST_F(StatusPublisherTest, RemovalDeletesTheValuesOrTheIdSubkeyOnly) {
    {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, kSettings));
        key.SetDword("XPos", 10);
    }
    PublishStatus("Connected", "");
    PublishStatus("Connected", "ABC");
    RemoveStatusValues("ABC");
    EXPECT_FALSE(registry_->KeyExists(RegRoot::CurrentUser, std::string(kSettings) + "\\ABC"));
    EXPECT_EQ("Connected", Value(kSettings, "StatusCode"));  // another instance's values stay
    RemoveStatusValues("");
    EXPECT_EQ("<none>", Value(kSettings, "Status"));
    EXPECT_EQ("<none>", Value(kSettings, "StatusCode"));
    RegKey key;
    ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, kSettings));
    uint32_t x = 0;
    EXPECT_EQ(kOk, key.QueryDword("XPos", &x));  // the rest of Settings stays
    Said();
}

TEST_F(StatusPublisherTest, RemovalFailuresAreLogged) {
    RemoveStatusValues("");  // no Settings key at all
    {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, kSettings));
    }
    RemoveStatusValues("");
    RemoveStatusValues("XYZ");
    std::string said = Said();
    EXPECT_NE(std::string::npos,
              said.find("~CMainFrame: Could not open "
                        "HKEY_CURRENT_USER\\Software\\Velmora\\Corvane\\Settings, reason: (2) "));
    EXPECT_NE(std::string::npos,
              said.find("~CMainFrame: Could not delete registry variable, Status, reason: (2) "));
    EXPECT_NE(std::string::npos,
              said.find("~CMainFrame: Could not delete registry variable, StatusCode, reason: "
                        "(2) "));
    EXPECT_NE(std::string::npos,
              said.find("~CMainFrame: Could not delete registry key XYZ, StatusCode, reason: ("));
}

}  // namespace
}  // namespace corv
