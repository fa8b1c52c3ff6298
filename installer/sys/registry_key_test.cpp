#include "installer/sys/registry_key.h"

#include <gtest/gtest.h>

#include "installer/sys/exceptions.h"
#include "installer/sys/inst_log.h"
#include "platform/memory_registry.h"

namespace corv::inst {
namespace {

TEST(RegistryRootTest, NameTableIgnoresCase) {
    RegRoot root;
    const struct {
        const char* name;
        RegRoot root;
    } cases[] = {{"hklm", RegRoot::LocalMachine},
                 {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
                 {"Hkcu", RegRoot::CurrentUser},
                 {"hkey_current_user", RegRoot::CurrentUser},
                 {"HKCR", RegRoot::ClassesRoot},
                 {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
                 {"hkey_users", RegRoot::Users},
                 {"HKCC", RegRoot::CurrentConfig},
                 {"HKEY_CURRENT_CONFIG", RegRoot::CurrentConfig}};
    for (const auto& c : cases) {
        ASSERT_TRUE(ResolveRootName(c.name, InstallFor::Unset, &root)) << c.name;
        EXPECT_EQ(c.root, root) << c.name;
    }
    EXPECT_FALSE(ResolveRootName("HKU", InstallFor::AllUsers, &root));
    EXPECT_FALSE(ResolveRootName("$TargetHKEY", InstallFor::Unset, &root));
    ASSERT_TRUE(ResolveRootName("$targethkey", InstallFor::AllUsers, &root));
    EXPECT_EQ(RegRoot::LocalMachine, root);
    ASSERT_TRUE(ResolveRootName("$TargetHKEY", InstallFor::OnlyForMe, &root));
    EXPECT_EQ(RegRoot::CurrentUser, root);
    EXPECT_EQ("HKEY_CURRENT_CONFIG", CanonicalRootName("hkcc"));
    EXPECT_EQ("$TargetHKEY", CanonicalRootName("$TARGETHKEY"));
    EXPECT_EQ("", CanonicalRootName("HKEY_DYN_DATA"));
}

TEST(RegistryKeyTest, ConstructionChecksTypeAndSyntax) {
    try {
        CRegistryKey("HKLM", "k", "v", "REG_BINARY", "00");
        ADD_FAILURE();
    } catch (const CInstallException& e) {
        EXPECT_EQ("IllegalTypeException: CRegistryKey constructor: type is unknown", e.Message());
    }
    try {
        CRegistryKey("HKLM", "");
        ADD_FAILURE();
    } catch (const CInstallException& e) {
        EXPECT_EQ("syntax error!", e.Message());
    }
    CRegistryKey v("HKLM", "SOFTWARE\\X", "n", "reg_dword", "7");
    EXPECT_EQ("REG_DWORD", v.TypeName());
    EXPECT_EQ("HKLM\\SOFTWARE\\X\\n", v.Path());
    EXPECT_EQ("HKLM\\SOFTWARE\\X", CRegistryKey("HKLM", "SOFTWARE\\X").Path());
}

TEST(RegistryKeyTest, WritesReadsAndDeletesThroughTheRegistry) {
    ScopedMemoryRegistry reg;
    ScopedLogCapture log;
    CRegistryKey text("$TargetHKEY", "SOFTWARE\\Velmora\\Corvane", "home", "REG_SZ", "C:\\Corvane");
    CRegistryKey number("HKCU", "SOFTWARE\\Velmora\\Corvane", "count", "REG_DWORD", "0x10");
    EXPECT_EQ(kOk, text.Write(InstallFor::OnlyForMe));
    EXPECT_EQ(kOk, number.Write(InstallFor::Unset));
    std::string data;
    EXPECT_EQ(kOk, text.Read(InstallFor::OnlyForMe, &data));
    EXPECT_EQ("C:\\Corvane", data);
    EXPECT_EQ(kOk, number.Read(InstallFor::Unset, &data));
    EXPECT_EQ("16", data);
    EXPECT_FALSE(text.Exists(InstallFor::AllUsers));  // HKLM has nothing

    EXPECT_EQ(kErrInvalidData,
              CRegistryKey("HKCU", "K", "n", "REG_DWORD", "12x").Write(InstallFor::Unset));
    EXPECT_EQ(kErrInvalidParameter, text.Write(InstallFor::Unset));
    EXPECT_TRUE(log.Contains("Unknown Registry key: $TargetHKEY\n"));

    EXPECT_EQ(kOk, number.Delete(InstallFor::Unset));
    EXPECT_FALSE(number.Exists(InstallFor::Unset));
    EXPECT_TRUE(text.Exists(InstallFor::OnlyForMe));
    // A key item goes only when nothing remains in it; the tree delete is separate.
    CRegistryKey key("HKCU", "SOFTWARE\\Velmora");
    EXPECT_TRUE(key.Exists(InstallFor::Unset));
    EXPECT_EQ(kErrKeyHasChildren, key.Delete(InstallFor::Unset));
    EXPECT_TRUE(text.Exists(InstallFor::OnlyForMe));
    CRegistryKey corvane("HKCU", "SOFTWARE\\Velmora\\Corvane");
    EXPECT_EQ(kErrKeyHasChildren, corvane.Delete(InstallFor::Unset));  // holds "home"
    EXPECT_EQ(kOk, text.Delete(InstallFor::OnlyForMe));
    EXPECT_EQ(kOk, corvane.Delete(InstallFor::Unset));
    EXPECT_EQ(kOk, key.Delete(InstallFor::Unset));
    EXPECT_FALSE(reg->KeyExists(RegRoot::CurrentUser, "SOFTWARE\\Velmora"));
    EXPECT_TRUE(reg->KeyExists(RegRoot::CurrentUser, "SOFTWARE"));
    ASSERT_EQ(kOk, text.Write(InstallFor::OnlyForMe));
    EXPECT_EQ(kOk, key.DeleteTree(InstallFor::Unset));
    EXPECT_FALSE(reg->KeyExists(RegRoot::CurrentUser, "SOFTWARE\\Velmora"));

    EXPECT_EQ(kErrInvalidParameter, CRegistryKey("HKCU", "SOFTWARE\\").Delete(InstallFor::Unset));
    EXPECT_TRUE(log.Contains("Not able to delete regkey, keyname is empty.\n"));
}

TEST(RegistryKeyTest, ParseDword) {
    uint32_t v = 0;
    EXPECT_TRUE(ParseDword("4294967295", &v));
    EXPECT_EQ(4294967295u, v);
    EXPECT_TRUE(ParseDword(" 0xFFfe ", &v));
    EXPECT_EQ(0xFFFEu, v);
    EXPECT_FALSE(ParseDword("4294967296", &v));
    EXPECT_FALSE(ParseDword("-1", &v));
    EXPECT_FALSE(ParseDword("0x", &v));
    EXPECT_FALSE(ParseDword("", &v));
}

}  // namespace
}  // namespace corv::inst
