#include "tray/java/registry_dump.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "platform/system.h"
#include "tray/core/log_capture.h"

namespace corv {
namespace {

// An in-memory registry that reports "path not found" for one key, as the system does for
// some unreachable paths.
class PathNotFoundRegistry : public MemoryRegistry {
  public:
    long Open(RegRoot root, const std::string& path, unsigned access, Handle* out) override {
        if (path == "Software\\Unreachable") return kErrPathNotFound;
        return MemoryRegistry::Open(root, path, access, out);
    }
};

class RegistryDumpTest : public ::testing::Test {
  protected:
    void SetUp() override { SetRegistryBackend(&registry_); }
    void TearDown() override { SetRegistryBackend(nullptr); }
    RegKey Make(const std::string& path) {
        RegKey key;
        EXPECT_EQ(kOk, key.Create(RegRoot::CurrentUser, path));
        return key;
    }
    PathNotFoundRegistry registry_;
};

TEST_F(RegistryDumpTest, SubkeysAreListedByLineFeeds) {
    Make("Software\\Vendor\\b");
    Make("Software\\Vendor\\a\\deeper");
    Make("Software\\Vendor\\" + std::string(260, 'x'));  // longer than the name buffer
    EXPECT_EQ("a\nb", EnumSubkeys(RegRoot::CurrentUser, "Software\\Vendor"));
    EXPECT_EQ("", EnumSubkeys(RegRoot::CurrentUser, "Software\\Vendor\\b"));
    EXPECT_EQ("", EnumSubkeys(RegRoot::CurrentUser, "Software\\Missing"));
}

TEST_F(RegistryDumpTest, ValuesAreRenderedByType) {
    RegKey key = Make("Software\\Vendor");
    key.SetString("Name", "text with = sign");
    key.SetBinary("Blob", {1, 2, 3});
    key.SetDword("Count", 0x2a);
    RegValue expand = MakeStringValue("Path", "%SystemRoot%");
    expand.type = RegType::ExpandSz;
    key.SetValue(expand);
    RegValue multi;
    multi.name = "List";
    multi.type = RegType::MultiSz;
    multi.data = {'a', 0, 'b', 0, 0};
    key.SetValue(multi);
    key.SetString("Empty", "");
    key.SetString("TooLong", std::string(2048, 'z'));  // with its terminator over 2048 bytes
    key.SetString("JustFits", std::string(2047, 'y'));

    std::string values = EnumValues(RegRoot::CurrentUser, "Software\\Vendor");
    EXPECT_EQ(
        "Name=text with = sign\nBlob=binary data\nCount=dword:0000002a\n"
        "Path=<unsupported Registry Value Type>\nList=<unsupported Registry Value Type>\n"
        "Empty=\nJustFits=" +
            std::string(2047, 'y'),
        values);
}

TEST_F(RegistryDumpTest, CredentialsAreMasked) {
    RegKey key = Make("Software\\Vendor");
    key.SetString("Passwd", "c2VjcmV0");
    key.SetString("hashed/Password", "c2VjcmV0");
    key.SetString("proxy/Auth", "Basic c2VjcmV0");
    key.SetString("PROXYAUTH", "Basic c2VjcmV0");
    key.SetString("passwd2", "shown");
    key.SetString("proxyAuthEmpty", "");
    std::string values = EnumValues(RegRoot::CurrentUser, "Software\\Vendor");
    EXPECT_EQ(std::string::npos, values.find("c2VjcmV0"));
    EXPECT_NE(std::string::npos, values.find("Passwd=********\n"));
    EXPECT_NE(std::string::npos, values.find("hashed/Password=********\n"));
    EXPECT_NE(std::string::npos, values.find("proxy/Auth=********\n"));
    EXPECT_NE(std::string::npos, values.find("passwd2=shown"));
}

TEST_F(RegistryDumpTest, UnreadableKeysAreLogged) {
    ScopedLogCapture log;
    EXPECT_EQ("", EnumValues(RegRoot::LocalMachine, "Software\\Missing"));
    RegDump(RegRoot::CurrentUser, "Software\\Missing", "", true);
    RegDump(RegRoot::LocalMachine, "Software\\Unreachable", "", true);
    EXPECT_EQ("EnumValues: RegOpenKey failed: " + ErrorWithText(2) +
                  "\n"
                  "RegDump: Could not open HKEY_CURRENT_USER\\Software\\Missing, reason: " +
                  ErrorWithText(2) +
                  "\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Unreachable] does not exist\n",
              log.Text());
}

TEST_F(RegistryDumpTest, DumpWalksSubkeysAndLeavesOutExcludedNames) {
    RegKey top = Make("Software\\XtenNetworksInc\\X-Lite");
    top.SetString("menu_dialed_calls1", "555-0100");
    top.SetString("proxy", "127.0.0.1");
    top.SetString("last_dialed", "555-0101");
    top.SetString("note", "two\nlines");
    RegKey sub = Make("Software\\XtenNetworksInc\\X-Lite\\Sub");
    sub.SetDword("menu_received_calls", 3);
    sub.SetDword("port", 5060);
    Make("Software\\XtenNetworksInc\\X-Lite\\Sub\\Empty");

    ScopedLogCapture log;
    RegDump(RegRoot::CurrentUser, "Software\\XtenNetworksInc\\X-Lite",
            "menu_dialed_calls, menu_received_calls, last_dialed", true);
    EXPECT_EQ(
        "[HKEY_CURRENT_USER\\Software\\XtenNetworksInc\\X-Lite]\n"
        "proxy=127.0.0.1\n"
        "note=two\\nlines\n"  // a value stays on its own line
        "\n"
        "[HKEY_CURRENT_USER\\Software\\XtenNetworksInc\\X-Lite\\Sub]\n"
        "port=dword:000013c4\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\XtenNetworksInc\\X-Lite\\Sub\\Empty]\n"
        "\n",
        log.Text());

    log.Clear();
    RegDump(RegRoot::CurrentUser, "Software\\XtenNetworksInc\\X-Lite", "", false);
    EXPECT_EQ(
        "[HKEY_CURRENT_USER\\Software\\XtenNetworksInc\\X-Lite]\n"
        "menu_dialed_calls1=555-0100\nproxy=127.0.0.1\nlast_dialed=555-0101\nnote=two\\nlines\n"
        "\n",
        log.Text());
}

// The process's registry: the real one under Wine, with the system's error texts.
TEST(RegistryDumpSystemTest, DumpOfARealKey) {
    const std::string path = "Software\\CorvaneTest\\Dump" + std::to_string(CurrentProcessId());
    {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, path + "\\Child"));
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, path));
        // In name order: Wine lists values sorted, Windows in the order they were made.
        key.SetBinary("Blob", {0});
        key.SetDword("Number", 0xFFFFFFFF);
        key.SetString("Passwd", "c2VjcmV0");
        key.SetString("Text",
                      "Gr\xC3\xBC\xC3\x9F"
                      "e");
    }
    ScopedLogCapture log;
    RegDump(RegRoot::CurrentUser, path, "Blob", true);
    EXPECT_EQ("Child", EnumSubkeys(RegRoot::CurrentUser, path));
    EnumValues(RegRoot::CurrentUser, path + "\\Missing");
    EXPECT_EQ("[HKEY_CURRENT_USER\\" + path +
                  "]\nNumber=dword:ffffffff\nPasswd=********\nText=Gr\xC3\xBC\xC3\x9F"
                  "e\n\n"
                  "[HKEY_CURRENT_USER\\" +
                  path +
                  "\\Child]\n\n"
                  "EnumValues: RegOpenKey failed: " +
                  ErrorWithText(2) + "\n",
              log.Text());
    RegKey software;
    ASSERT_EQ(kOk, software.Open(RegRoot::CurrentUser, "Software", kRegReadWrite));
    software.DeleteTree("CorvaneTest");
}

}  // namespace
}  // namespace corv
