#include "installer/cleanup/add_remove.h"

#include <gtest/gtest.h>

#include "installer/sys/inst_log.h"
#include "platform/memory_registry.h"
#include "platform/system.h"

namespace corv::inst {
namespace {

const std::string kShown =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";

AddRemoveEntry Entry() {
    AddRemoveEntry e;
    e.displayName = "Corvane";
    e.uninstallString = UninstallerPath("C:\\Program Files\\Corvane");
    e.installLocation = "C:\\Program Files\\Corvane";
    e.displayIcon = "C:\\Program Files\\Corvane\\corvtray.exe,0";
    e.urlInfoAbout = "http://localhost/about";
    e.publisher = "Velmora";
    e.contact = "support@localhost";
    e.displayVersion = "2.1.0";
    return e;
}

// Another product's entry, which nothing here may touch.
void AddNeighbour() {
    RegKey other;
    ASSERT_EQ(kOk, other.Create(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\Other"));
    ASSERT_EQ(kOk, other.SetString("DisplayName", "Other"));
}

bool NeighbourIntact() {
    RegKey other;
    std::string name;
    return other.Open(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\Other") == kOk &&
           other.QueryString("DisplayName", &name) == kOk && name == "Other";
}

TEST(AddRemoveEntryTest, EightValuesInOrderEachLoggedThenRemovedWithTheKey) {
    ScopedMemoryRegistry reg;
    AddNeighbour();
    ScopedLogCapture log;
    EXPECT_TRUE(WriteAddRemoveEntry(Entry()));
    std::vector<std::string> expected = {"Creating regkey: " + kShown + ", succeeded\n"};
    for (const char* name : {"DisplayName", "UninstallString", "InstallLocation", "DisplayIcon",
                             "UrlInfoAbout", "Publisher", "Contact", "DisplayVersion"})
        expected.push_back("Creating regkey: " + kShown + "\\" + name + ", succeeded\n");
    EXPECT_EQ(expected, log.Lines());

    RegKey key;
    ASSERT_EQ(kOk, key.Open(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\Corvane"));
    std::vector<std::string> order;
    for (const auto& v : key.Values()) {
        EXPECT_EQ(RegType::Sz, v.type) << v.name;
        order.push_back(v.name);
    }
    EXPECT_EQ((std::vector<std::string>{"DisplayName", "UninstallString", "InstallLocation",
                                        "DisplayIcon", "UrlInfoAbout", "Publisher", "Contact",
                                        "DisplayVersion"}),
              order);
    key.Close();
    AddRemoveEntry back;
    ASSERT_TRUE(ReadAddRemoveEntry("Corvane", &back));
    EXPECT_EQ("C:\\Program Files\\Corvane\\uninst.exe", back.uninstallString);
    EXPECT_EQ(Entry().displayIcon, back.displayIcon);
    EXPECT_EQ(Entry().displayVersion, back.displayVersion);

    EXPECT_TRUE(RemoveAddRemoveEntry("Corvane"));
    EXPECT_EQ("del regkey: " + kShown + ", succeeded\n", log.Lines().back());
    EXPECT_FALSE(reg->KeyExists(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\Corvane"));
    EXPECT_FALSE(ReadAddRemoveEntry("Corvane", &back));
    EXPECT_TRUE(NeighbourIntact());
}

TEST(AddRemoveEntryTest, ANameThatIsNoKeyNameChangesNothing) {
    struct Case {
        std::string name;
        std::string writeLine;
        std::string removeLine;
    };
    const Case cases[] = {
        {"", "Not able to init Add/Remove Programs group, displayName is empty.\n",
         "Not able to remove program from Add/Remove Programs group, displayName is empty.\n"},
        // Would name the Uninstall key itself, or a key below another product's.
        {"\\", "Not able to init Add/Remove Programs group, displayName is not a key name: \\\n",
         "Not able to remove program from Add/Remove Programs group, displayName is not a key "
         "name: \\\n"},
        {"Other\\Corvane",
         "Not able to init Add/Remove Programs group, displayName is not a key name: "
         "Other\\Corvane\n",
         "Not able to remove program from Add/Remove Programs group, displayName is not a key "
         "name: Other\\Corvane\n"},
    };
    for (const auto& c : cases) {
        ScopedMemoryRegistry reg;
        AddNeighbour();
        ScopedLogCapture log;
        AddRemoveEntry e = Entry();
        e.displayName = c.name;
        EXPECT_FALSE(WriteAddRemoveEntry(e)) << c.name;
        EXPECT_FALSE(RemoveAddRemoveEntry(c.name)) << c.name;
        EXPECT_EQ((std::vector<std::string>{c.writeLine, c.removeLine}), log.Lines());
        RegKey uninstall;
        ASSERT_EQ(kOk, uninstall.Open(RegRoot::LocalMachine, kUninstallKey));
        EXPECT_EQ(std::vector<std::string>{"Other"}, uninstall.Subkeys()) << c.name;
        EXPECT_TRUE(uninstall.Values().empty()) << c.name;
        EXPECT_TRUE(NeighbourIntact()) << c.name;
    }
}

TEST(AddRemoveEntryTest, FailuresAreLoggedWithTheirOutcome) {
    ScopedMemoryRegistry reg;
    reg->DenyAccess(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\Corvane");
    ScopedLogCapture log;
    EXPECT_FALSE(WriteAddRemoveEntry(Entry()));
    auto lines = log.Lines();
    ASSERT_EQ(9u, lines.size());
    EXPECT_EQ("Creating regkey: " + kShown + ", failed(ignored)\n", lines[0]);
    EXPECT_EQ("Creating regkey: " + kShown + "\\DisplayVersion, failed(ignored)\n", lines[8]);

    reg->ClearDenied();
    EXPECT_FALSE(RemoveAddRemoveEntry("Corvane"));  // never written
    EXPECT_EQ("del regkey: " + kShown +
                  ", ERROR: Failed to delete key, reason: " + ErrorWithText(2) + "\n",
              log.Lines().back());
    ASSERT_TRUE(WriteAddRemoveEntry(Entry()));
    reg->DenyAccess(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\Corvane", kRegWrite);
    EXPECT_FALSE(RemoveAddRemoveEntry("Corvane"));
    EXPECT_EQ(0u, log.Lines().back().find("del regkey: " + kShown +
                                          ", ERROR: Failed to delete "
                                          "key, reason: (5) "));
    EXPECT_TRUE(reg->KeyExists(RegRoot::LocalMachine, std::string(kUninstallKey) + "\\Corvane"));
}

}  // namespace
}  // namespace corv::inst
