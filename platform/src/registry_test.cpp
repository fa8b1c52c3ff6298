#include "platform/registry.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/memory_registry.h"
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
