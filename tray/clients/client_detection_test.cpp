// Which programs count as set up, and the string comparison of their versions.
#include "tray/clients/testing/client_fixture.h"

namespace corv::test {
namespace {

TEST(VersionTest, VersionsCompareAsStrings) {
    const struct {
        const char* version;
        const char* floor;
        bool atLeast;
    } cases[] = {
        {"7.0", "7.0", true},
        {"7.0.0813-0000", "7.0", true},
        {"6.2.0137-0000", "7.0", false},
        {"10.0.0001-0000", "7.0", false},  // a string, not a number
        {"<NOT SET>", "7.0", true},
        {"", "7.0", false},
        {"5.1.0701-0000", "5.0", true},
        {"4.7.3001-0000", "5.0", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.atLeast, VersionAtLeast(c.version, c.floor)) << c.version << " / " << c.floor;
}

class DetectionTest : public ClientFixture {};

TEST_F(DetectionTest, TheProgramsFolderGivesTheVersionAndTheUsersKeyTheResult) {
    const struct {
        const char* what;
        bool folder, file, userKey;
        const char* resource;  // what the file's version resource says
        bool detected;
        const char* version;
        bool sevenOrLater;
    } cases[] = {
        {"version 7", true, true, true, "7.5.0311-0000", true, "7.5.0311-0000", true},
        {"version 6", true, true, true, "6.2.0137-0000", true, "6.2.0137-0000", false},
        {"no version resource", true, true, true, "", true, "<NOT SET>", true},
        {"program file missing", true, false, true, "7.5.0311-0000", true, "", false},
        {"not set up for this user", true, true, false, "7.5.0311-0000", false, "7.5.0311-0000",
         true},
        {"set up, never installed", false, false, true, "7.5.0311-0000", true, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        registry_.Memory().Clear();
        log_.Clear();
        InstallMsn(c.resource);
        if (!c.file) RemoveFile(folder_ + "\\msnmsgr.exe");
        if (!c.folder) {
            RegKey k;
            k.Open(RegRoot::LocalMachine, kMsnMessengerKey, kRegReadWrite);
            k.DeleteValue("InstallationDirectory");
        }
        if (!c.userKey) {
            RegKey k;
            k.Open(RegRoot::CurrentUser, "Software\\Microsoft", kRegReadWrite);
            k.DeleteTree("MSNMessenger");
        }
        ClientDetection detection([&](const std::string&) { return std::string(c.resource); });
        EXPECT_EQ(c.detected, detection.DetectMsnMessenger());
        EXPECT_EQ(c.version, detection.MsnMessengerVersion());
        EXPECT_EQ(c.sevenOrLater, detection.IsMsnMessenger7OrLater());
        EXPECT_EQ(c.folder, log_.Has("MSN Messenger InstallationDirectory: " + folder_ + "\n"));
        EXPECT_EQ(c.folder && c.file,
                  log_.Has(std::string("MSN Messenger file version: ") + c.version + "\n"));
    }
}

TEST_F(DetectionTest, EachSoftphoneEditionCountsAndTheDisplayNameFollowsTheMessengers) {
    EXPECT_FALSE(DetectXLite());
    MakeKey(RegRoot::CurrentUser, kXLiteFwdKey);
    EXPECT_TRUE(DetectXLite());
    EXPECT_FALSE(DetectEconf());
    MakeKey(RegRoot::LocalMachine, kEconfKey);
    EXPECT_TRUE(DetectEconf());

    EXPECT_EQ("Messenger", GetMessengerDisplayName());
    MakeKey(RegRoot::CurrentUser, kMsnMessengerKey);
    EXPECT_EQ("MSN Messenger", GetMessengerDisplayName());
    MakeKey(RegRoot::CurrentUser, kMessengerServiceKey);
    EXPECT_EQ("Messenger", GetMessengerDisplayName());
    registry_.Memory().DenyAccess(RegRoot::CurrentUser, kMsnMessengerKey, kRegRead);
    EXPECT_EQ("Windows Messenger", GetMessengerDisplayName());
}

}  // namespace
}  // namespace corv::test
