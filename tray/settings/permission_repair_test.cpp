#include "tray/settings/permission_repair.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/errors.h"

namespace corv {
namespace {

const char* const kUser = "S-1-5-21-1-2-3-1001";
const char* const kOther = "S-1-5-18";

// An access list in memory; Write keeps a copy of what would reach the key.
struct ListData {
    KeyAccessList::State state = KeyAccessList::State::Valid;
    std::vector<AccessEntry> entries;
    std::vector<AccessEntry> written;
    std::vector<bool> inherits;
    long failDelete = kOk;
    long failWrite = kOk;
};

class FakeList : public KeyAccessList {
  public:
    explicit FakeList(ListData* data) : d_(data) {}
    State GetState() const override { return d_->state; }
    bool IsDefaulted() const override { return false; }
    long Count(uint32_t* count) const override {
        if (d_->state != State::Valid) return 1336;
        *count = static_cast<uint32_t>(d_->entries.size());
        return kOk;
    }
    long Get(uint32_t i, AccessEntry* e) const override {
        *e = d_->entries.at(i);
        return kOk;
    }
    long Delete(uint32_t i) override {
        if (d_->failDelete != kOk) return d_->failDelete;
        d_->entries.erase(d_->entries.begin() + i);
        return kOk;
    }
    long AddAllow(uint32_t mask, const std::string& sid, bool inherit) override {
        d_->entries.push_back({kAceAllow, mask, sid});
        d_->inherits.push_back(inherit);
        return kOk;
    }
    long Write() override {
        if (d_->failWrite != kOk) return d_->failWrite;
        d_->written = d_->entries;
        return kOk;
    }

  private:
    ListData* d_;
};

struct RepairRun {
    ListData data;
    ListData* list = &data;
    std::string out;
    RepairSystem system;
    explicit RepairRun(std::string os = "Windows XP") {
        system.openList = [this](const std::string&, std::unique_ptr<KeyAccessList>* l, AclStep*) {
            *l = std::make_unique<FakeList>(&data);
            return kOk;
        };
        system.userSid = [](std::string* sid, TokenStep*) {
            *sid = kUser;
            return long(kOk);
        };
        system.lookupAccount = [](const std::string& sid, std::string* d, std::string* n) {
            if (sid == kUser) {
                *d = "OFFICE";
                *n = "anna";
            } else {
                *d = "";
                *n = "SYSTEM";
            }
            return true;
        };
        system.errorText = [](long code) { return "error " + std::to_string(code); };
        system.print = [this](const std::string& text) { out += text; };
        system.osName = std::move(os);
    }
    bool Run() { return RepairKeyPermissions("Software\\Velmora", system); }
};

TEST(PermissionRepairTest, RemovesTheUsersEntriesFromTheEndKeepsOthersAndAddsTwoAllows) {
    RepairRun run;
    run.list->entries = {{kAceAllow, 0x20019, kOther},
                         {kAceDeny, 0x2, kUser},
                         {kAceAllow, 0x20019, kUser},
                         {kAceAllow, kKeyAllAccess, kOther}};
    ASSERT_TRUE(run.Run());
    EXPECT_NE(run.out.find("Current User SID: S-1-5-21-1-2-3-1001\nCurrent UserName: OFFICE\\anna\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("\nOriginal Access Control List:\n"
                           "ace[0], SYSTEM, mask 0x20019: READ_CONTROL KEY_QUERY_VALUE "
                           "KEY_ENUMERATE_SUB_KEYS KEY_NOTIFY \n"
                           "ace[1], OFFICE\\anna, mask 0x2: KEY_SET_VALUE \n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Keeping registry permission ace[3] (does not belong to OFFICE\\anna)\n"
                           "Deleting registry allow permission ace[2] (for user OFFICE\\anna)\n"
                           "Deleting registry deny permission ace[1] (for user OFFICE\\anna)\n"
                           "Keeping registry permission ace[0] (does not belong to OFFICE\\anna)\n"),
              std::string::npos)
        << run.out;
    ASSERT_EQ(run.list->written.size(), 4u);
    EXPECT_EQ(run.list->written[0].sid, kOther);
    EXPECT_EQ(run.list->written[1].sid, kOther);
    EXPECT_EQ(run.list->written[2].mask, kKeyAllAccess);
    EXPECT_EQ(run.list->written[3].mask, kGenericAll);
    EXPECT_EQ(run.list->inherits, (std::vector<bool>{true, true}));
    EXPECT_EQ(run.out.substr(run.out.size() - 2), "\n\n");
}

TEST(PermissionRepairTest, OldNtAddsWithoutInheritance) {
    for (const char* os : {"Windows NT 4", "Windows NT 3.51"}) {
        RepairRun run(os);
        ASSERT_TRUE(run.Run());
        EXPECT_EQ(run.list->inherits, (std::vector<bool>{false, false})) << os;
    }
}

TEST(PermissionRepairTest, FailuresNameTheirStepAndLeaveTheKeyUnwritten) {
    struct Case {
        const char* name;
        std::function<void(RepairRun&)> setUp;
        const char* expected;
    };
    const Case cases[] = {
        {"null list",
         [](RepairRun& r) { r.list->state = KeyAccessList::State::Null; },
         "Found NULL access control list (that is all access is granted for everyone)\n"
         "\nOriginal Access Control List:\n"
         "Could not list permissions. GetAclInformation failed: error 1336\n"},
        {"missing list",
         [](RepairRun& r) { r.list->state = KeyAccessList::State::Missing; },
         "No access control list was found (all access is denied)\n"
         "Cannot set registry permissions for current user. Could not get access control "
         "list.\n"},
        {"open refused",
         [](RepairRun& r) {
             r.system.openList = [](const std::string&, std::unique_ptr<KeyAccessList>*,
                                    AclStep* step) {
                 *step = AclStep::RegOpenKeyEx;
                 return long(kErrAccessDenied);
             };
         },
         "Cannot set registry permissions for current user. RegOpenKeyEx failed: error 5\n"},
        {"no token",
         [](RepairRun& r) {
             r.system.userSid = [](std::string*, TokenStep* step) {
                 *step = TokenStep::OpenProcessToken;
                 return long(kErrAccessDenied);
             };
         },
         "Cannot determine sid of current user. OpenProcessToken failed: error 5\n"},
        {"delete refused",
         [](RepairRun& r) {
             r.list->entries = {{kAceDeny, 0x2, kUser}};
             r.list->failDelete = kErrAccessDenied;
         },
         "Could not delete registry deny permission ace[0] (for user OFFICE\\anna)\n"},
        {"write refused",
         [](RepairRun& r) { r.list->failWrite = kErrAccessDenied; },
         "Could not add registry allow permission KEY_ALL_ACCESS for OFFICE\\anna. "
         "RegSetKeySecurity failed: error 5\n"},
    };
    for (const Case& c : cases) {
        RepairRun run;
        c.setUp(run);
        EXPECT_FALSE(run.Run()) << c.name;
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << c.name << "\n" << run.out;
        EXPECT_TRUE(run.list->written.empty()) << c.name;
    }
}

TEST(PermissionRepairTest, MaskLineNamesGenericRightsThenKeyRights) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0xF003F, "mask 0xf003f: KEY_ALL_ACCESS\n"},
        {0x100F003F, "mask 0x100f003f: GENERIC_ALL KEY_ALL_ACCESS\n"},
        {0x80000000, "mask 0x80000000: GENERIC_READ \n"},
        {0x0F003E, "mask 0xf003e: DELETE READ_CONTROL WRITE_DAC WRITE_OWNER KEY_SET_VALUE "
                   "KEY_CREATE_SUB_KEY KEY_ENUMERATE_SUB_KEYS KEY_NOTIFY KEY_CREATE_LINK \n"},
        {0x100000, "mask 0x100000: SYNCHRONIZE \n"},
        {0, "mask 0x0: \n"},
    };
    for (const auto& c : cases) EXPECT_EQ(MaskLine(c.first), c.second);
}

}  // namespace
}  // namespace corv
