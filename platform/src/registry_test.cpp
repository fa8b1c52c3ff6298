#include "platform/registry.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/memory_registry.h"
#include "platform/session.h"
#include "platform/system.h"

namespace corv {
namespace {

// The same behaviour is asked of the in-memory backend and of the process default (the real
// Win32 registry under Wine, the in-memory one natively).
class RegistryTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (GetParam()) SetRegistryBackend(&memory_);
        base_ = "Software\\CorvaneTest\\Registry" + std::to_string(CurrentProcessId());
    }
    void TearDown() override {
        RegKey root;
        if (root.Open(RegRoot::CurrentUser, "Software", kRegReadWrite) == kOk)
            root.DeleteTree("CorvaneTest");
        SetRegistryBackend(nullptr);
    }
    MemoryRegistry memory_;
    std::string base_;
};

TEST_P(RegistryTest, StringsAndNumbersRoundTripWithTypeChecks) {
    RegKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, base_));
    EXPECT_EQ(kOk, key.SetString("Name",
                                 "Gr\xC3\xBC\xC3\x9F"
                                 "e"));
    EXPECT_EQ(kOk, key.SetDword("Count", 0xFFFFFFFFu));
    EXPECT_EQ(kOk, key.SetBinary("Blob", {1, 2, 3}));

    std::string s = "unchanged";
    uint32_t n = 7;
    EXPECT_EQ(kOk, key.QueryString("name", &s));  // names ignore case
    EXPECT_EQ(
        "Gr\xC3\xBC\xC3\x9F"
        "e",
        s);
    EXPECT_EQ(kOk, key.QueryDword("Count", &n));
    EXPECT_EQ(0xFFFFFFFFu, n);
    int i = 0;
    EXPECT_EQ(kOk, key.QueryInt("Count", &i));
    EXPECT_EQ(-1, i);

    s = "unchanged";
    n = 7;
    EXPECT_EQ(kErrInvalidData, key.QueryString("Count", &s));
    EXPECT_EQ(kErrInvalidData, key.QueryDword("Name", &n));
    EXPECT_EQ(kErrInvalidData, key.QueryDword("Blob", &n));
    EXPECT_EQ(kErrFileNotFound, key.QueryString("Missing", &s));
    EXPECT_EQ("unchanged", s);
    EXPECT_EQ(7u, n);
}

TEST_P(RegistryTest, OverlongStringIsRefusedAndLeavesTheOutputAlone) {
    RegKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, base_));
    key.SetString("Long", std::string(2048, 'x'));
    key.SetString("Fits", std::string(2047, 'y'));
    std::string s = "keep";
    EXPECT_EQ(kErrMoreData, key.QueryString("Long", &s));
    EXPECT_EQ("keep", s);
    EXPECT_EQ(kOk, key.QueryString("Fits", &s));
    EXPECT_EQ(2047u, s.size());
}

TEST_P(RegistryTest, EnumerationDeletionAndMissingKeys) {
    RegKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, base_ + "\\B\\Deep"));
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, base_ + "\\A"));
    ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, base_, kRegReadWrite));
    key.SetString("First", "1");
    key.SetDword("Second", 2);
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), key.Subkeys());
    auto values = key.Values();
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ("First", values[0].name);
    EXPECT_EQ(RegType::Dword, values[1].type);

    EXPECT_EQ(kOk, key.DeleteValue("First"));
    EXPECT_EQ(kErrFileNotFound, key.DeleteValue("First"));
    EXPECT_EQ(kOk, key.DeleteTree("B"));
    EXPECT_EQ((std::vector<std::string>{"A"}), key.Subkeys());

    RegKey missing;
    EXPECT_EQ(kErrFileNotFound, missing.Open(RegRoot::CurrentUser, base_ + "\\B\\Deep"));
    EXPECT_FALSE(missing.IsOpen());
    std::string s;
    EXPECT_EQ(kErrInvalidHandle, missing.QueryString("x", &s));
}

TEST_P(RegistryTest, AWatchSeesEveryChangeMadeAfterItWasArmed) {
    RegKey key, writer;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, base_));
    ASSERT_EQ(kOk, writer.Create(RegRoot::CurrentUser, base_ + "\\Sub"));
    RegWatch watch;
    ASSERT_EQ(kOk, watch.Arm(key, true));
    EXPECT_EQ(kWaitTimeout, watch.Wait(50));
    // Made before the wait begins, so a watch armed only inside the wait would miss it.
    ASSERT_EQ(kOk, key.SetString("Changed", "yes"));
    EXPECT_EQ(kOk, watch.Wait(10000));

    // A value of a subkey, set while the watch waits.
    ASSERT_EQ(kOk, watch.Arm(key, true));
    EXPECT_EQ(kWaitTimeout, watch.Wait(50));
    std::thread later([&] { writer.SetString("Deep", "2"); });
    EXPECT_EQ(kOk, watch.Wait(10000));
    later.join();
}

TEST_P(RegistryTest, ASavedKeyLoadsAsAHiveAndUnloadsBackIntoItsFile) {
    TokenStep step;
    EnablePrivilege("SeBackupPrivilege", &step);  // Windows asks for both; natively no token
    EnablePrivilege("SeRestorePrivilege", &step);
    std::string file = TempFolder() + "\\corv_hive_" + std::to_string(CurrentProcessId());
    RemoveFile(file);
    std::string mount = "CorvHiveTest" + std::to_string(CurrentProcessId());
    {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, base_ + "\\Hive\\Sub"));
        ASSERT_EQ(kOk, key.SetString("A", "1"));
        ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, base_ + "\\Hive"));
        ASSERT_EQ(kOk, key.SaveHive(file));
        EXPECT_EQ(kErrAlreadyExists, key.SaveHive(file));
    }
    EXPECT_EQ(kErrFileNotFound, LoadHive(RegRoot::Users, mount, file + ".missing"));
    ASSERT_EQ(kOk, LoadHive(RegRoot::Users, mount, file));
    {
        RegKey sub;
        ASSERT_EQ(kOk, sub.Open(RegRoot::Users, mount + "\\Sub", kRegReadWrite));
        std::string a;
        EXPECT_EQ(kOk, sub.QueryString("A", &a));
        EXPECT_EQ("1", a);
        EXPECT_EQ(kOk, sub.SetString("B", "2"));
    }
    ASSERT_EQ(kOk, UnloadHive(RegRoot::Users, mount));
    RegKey gone;
    EXPECT_EQ(kErrFileNotFound, gone.Open(RegRoot::Users, mount));
    EXPECT_NE(kOk, UnloadHive(RegRoot::Users, mount));

    // The change made while it was loaded is in the file. Wine keeps a loaded hive in memory
    // only and drops it on unload; Windows and the memory registry write it back.
    ASSERT_EQ(kOk, LoadHive(RegRoot::Users, mount, file));
    {
        RegKey sub;
        ASSERT_EQ(kOk, sub.Open(RegRoot::Users, mount + "\\Sub"));
        std::string b;
        if (GetParam()) {
            EXPECT_EQ(kOk, sub.QueryString("B", &b));
            EXPECT_EQ("2", b);
        }
    }
    EXPECT_EQ(kOk, UnloadHive(RegRoot::Users, mount));
    RemoveFile(file);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Memory" : "Default"; });

TEST(MemoryRegistryTest, DeniedKeysRefuseTheChosenRights) {
    ScopedMemoryRegistry reg;
    reg->DenyAccess(RegRoot::LocalMachine, "Software\\Locked", kRegWrite);
    RegKey key;
    EXPECT_EQ(kOk, key.Create(RegRoot::LocalMachine, "Software\\Locked", kRegRead));
    EXPECT_EQ(kErrAccessDenied, key.Open(RegRoot::LocalMachine, "software\\locked", kRegReadWrite));
    EXPECT_EQ(kOk, key.Open(RegRoot::LocalMachine, "Software\\Locked", kRegRead));
    EXPECT_EQ(kErrAccessDenied, key.SetString("x", "y"));
    reg->ClearDenied();
    EXPECT_EQ(kOk, key.Open(RegRoot::LocalMachine, "Software\\Locked", kRegReadWrite));
}

TEST(MemoryRegistryTest, AHiveStaysLoadedWhileAKeyInItIsOpen) {
    ScopedMemoryRegistry reg;
    RegKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, "Scratch\\Child"));
    ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, "Scratch"));
    ASSERT_EQ(kOk, key.SaveHive("hive.dat"));
    EXPECT_EQ(kErrInvalidParameter, LoadHive(RegRoot::CurrentUser, "H", "hive.dat"));
    ASSERT_EQ(kOk, LoadHive(RegRoot::Users, "H", "hive.dat"));
    EXPECT_EQ(kErrSharingViolation, LoadHive(RegRoot::Users, "H2", "hive.dat"));
    ASSERT_EQ(kOk, key.Open(RegRoot::Users, "H\\Child"));
    EXPECT_EQ(kErrAccessDenied, UnloadHive(RegRoot::Users, "H"));
    RegKey users;
    ASSERT_EQ(kOk, users.Open(RegRoot::Users, "", kRegReadWrite));
    EXPECT_EQ(kErrAccessDenied, users.DeleteTree("H"));  // a hive's root is not deleted
    users.Close();
    key.Close();
    EXPECT_EQ(kOk, UnloadHive(RegRoot::Users, "H"));
}

TEST(MemoryRegistryTest, SignalWakesAWatchOnAParentKey) {
    ScopedMemoryRegistry reg;
    RegKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, "Software\\P\\Child"));
    ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, "Software\\P"));
    RegWatch watch;
    ASSERT_EQ(kOk, watch.Arm(key, true));
    std::thread t([&] { reg->Signal(RegRoot::CurrentUser, "Software\\P\\Child"); });
    EXPECT_EQ(kOk, watch.Wait(10000));
    t.join();
}

}  // namespace
}  // namespace corv
