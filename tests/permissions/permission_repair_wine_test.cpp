// The repair on a real key whose access list denies the user: afterwards the user can write.
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "platform/registry.h"
#include "platform/session.h"
#include "tray/settings/permission_repair.h"

namespace corv {
namespace {

const wchar_t* const kKeyPath = L"Software\\CorvaneTest\\Locked";

class PermissionRepairWineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TokenStep step;
        ASSERT_EQ(CurrentUserSid(&user_, &step), 0);
        RegDeleteKeyW(HKEY_CURRENT_USER, kKeyPath);
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override { RegDeleteKeyW(HKEY_CURRENT_USER, kKeyPath); }

    // Replaces the key's list by the one in SDDL ("D:(A;;KA;;;SY)...").
    void SetList(const std::string& sddl) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        std::wstring text(sddl.begin(), sddl.end());
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            text.c_str(), SDDL_REVISION_1, &sd, nullptr));
        HKEY key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, WRITE_DAC, &key), ERROR_SUCCESS);
        EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
        RegCloseKey(key);
        LocalFree(sd);
    }

    std::unique_ptr<KeyAccessList> ReadList() {
        std::unique_ptr<KeyAccessList> list;
        AclStep step;
        EXPECT_EQ(OpenKeyAccessList("Software\\CorvaneTest\\Locked", &list, &step), 0);
        return list;
    }

    std::string user_;
};

TEST_F(PermissionRepairWineTest, TheUsersEntriesAreReplacedByTwoFullAllows) {
    // The user's deny and allow among entries of other accounts.
    SetList("D:(A;;KR;;;SY)(D;;KW;;;" + user_ + ")(A;;KR;;;" + user_ + ")(A;;KA;;;BA)");
    std::string out;
    RepairSystem system;
    system.print = [&out](const std::string& text) { out += text; };
    system.osName = "Windows XP";
    ASSERT_TRUE(RepairKeyPermissions("Software\\CorvaneTest\\Locked", system)) << out;

    auto list = ReadList();
    ASSERT_TRUE(list);
    uint32_t count = 0;
    ASSERT_EQ(list->Count(&count), 0);
    ASSERT_EQ(count, 4u) << out;
    AccessEntry entry;
    std::vector<std::pair<std::string, uint32_t>> seen;
    for (uint32_t i = 0; i < count; ++i) {
        ASSERT_EQ(list->Get(i, &entry), 0);
        EXPECT_EQ(entry.type, kAceAllow);
        seen.push_back({entry.sid, entry.mask});
    }
    EXPECT_EQ(seen[0].first, "S-1-5-18");
    EXPECT_EQ(seen[1].first, "S-1-5-32-544");
    EXPECT_EQ(seen[2], std::make_pair(user_, uint32_t(kKeyAllAccess)));
    EXPECT_EQ(seen[3], std::make_pair(user_, uint32_t(kGenericAll)));
    EXPECT_NE(out.find("Deleting registry allow permission ace[2]"), std::string::npos) << out;
    EXPECT_NE(out.find("Deleting registry deny permission ace[1]"), std::string::npos) << out;

    RegKey key;
    ASSERT_EQ(key.Open(RegRoot::CurrentUser, "Software\\CorvaneTest\\Locked", kRegReadWrite), 0);
    EXPECT_EQ(key.SetString("written", "after the repair"), 0);
}

TEST_F(PermissionRepairWineTest, AFullListStillTakesTheNewEntries) {
    // The list holds exactly its entries: no free room for the two that are added.
    SetList("D:(A;;KR;;;SY)");
    RepairSystem system;
    std::string out;
    system.print = [&out](const std::string& text) { out += text; };
    EXPECT_TRUE(RepairKeyPermissions("Software\\CorvaneTest\\Locked", system)) << out;
    uint32_t count = 0;
    auto list = ReadList();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->Count(&count), 0);
    EXPECT_EQ(count, 3u);
}

}  // namespace
}  // namespace corv
