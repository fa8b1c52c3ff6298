#include "tray/settings/permission_repair.h"

#include <cstdio>

#include "platform/errors.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv {

namespace {

struct Right {
    uint32_t bit;
    const char* name;
};

const Right kGenericRights[] = {
    {0x80000000u, "GENERIC_READ"},
    {0x40000000u, "GENERIC_WRITE"},
    {0x20000000u, "GENERIC_EXECUTE"},
    {0x10000000u, "GENERIC_ALL"},
};

const Right kKeyRights[] = {
    {0x10000, "DELETE"},      {0x20000, "READ_CONTROL"},   {0x40000, "WRITE_DAC"},
    {0x80000, "WRITE_OWNER"}, {0x100000, "SYNCHRONIZE"},   {0x1, "KEY_QUERY_VALUE"},
    {0x2, "KEY_SET_VALUE"},   {0x4, "KEY_CREATE_SUB_KEY"}, {0x8, "KEY_ENUMERATE_SUB_KEYS"},
    {0x10, "KEY_NOTIFY"},     {0x20, "KEY_CREATE_LINK"},
};

const char* const kUnknownAccount = "!Unknown!";

// One repair run: the system it reaches and the user it repairs for.
class Repair {
  public:
    explicit Repair(const RepairSystem& system) : system_(system) {}

    bool Run(const std::string& path) {
        Print(Format("\n\nModifying Access Control List on HKEY_CURRENT_USER\\%s\n", path.c_str()));
        if (!FindUser()) return false;
        user_ = AccountText(sid_);
        Print(Format("Current UserName: %s\n", user_.c_str()));

        std::unique_ptr<KeyAccessList> list;
        AclStep step = AclStep::None;
        long rc = system_.openList(path, &list, &step);
        if (rc != kOk || !list) {
            if (step == AclStep::GetSecurityDescriptorDacl) {
                Print(
                    Format("Could not get access control list. GetSecurityDescriptorDacl "
                           "failed: %s\n",
                           Text(rc).c_str()));
                Print(
                    "Cannot set registry permissions for current user. Could not get access "
                    "control list.\n");
            } else {
                Print(Format(
                    "Cannot set registry permissions for current user. %s failed: %s\n",
                    step == AclStep::RegGetKeySecurity ? "RegGetKeySecurity" : "RegOpenKeyEx",
                    Text(rc).c_str()));
            }
            return false;
        }
        if (!CheckList(*list)) {
            Print(
                "Cannot set registry permissions for current user. Could not get access "
                "control list.\n");
            return false;
        }
        Print("\nOriginal Access Control List:\n");
        List(*list);
        Print(Format("\nRemoving settings for current user %s from Access Control List:\n",
                     user_.c_str()));
        if (!RemoveUserEntries(*list)) return false;
        Print(
            Format("\nAdding registry allow permission KEY_ALL_ACCESS to Access Control List for "
                   "%s\n",
                   user_.c_str()));
        if (!AddAllow(*list, kKeyAllAccess)) return false;
        Print(
            Format("\nAdding registry allow permission GENERIC_ALL to Access Control List for "
                   "%s\n",
                   user_.c_str()));
        if (!AddAllow(*list, kGenericAll)) return false;
        Print("\nNew Access Control List:\n");
        List(*list);
        Print("\n\n");
        return true;
    }

  private:
    void Print(const std::string& text) const {
        if (system_.print) {
            system_.print(text);
        } else {
            std::fputs(text.c_str(), stdout);
            std::fflush(stdout);
        }
    }
    std::string Text(long code) const {
        return system_.errorText ? system_.errorText(code) : ErrorText(code);
    }

    bool FindUser() {
        TokenStep step = TokenStep::None;
        long rc = system_.userSid(&sid_, &step);
        if (rc == kOk) {
            Print(Format("Current User SID: %s\n", sid_.c_str()));
            return true;
        }
        const char* call = step == TokenStep::OpenProcessToken      ? "OpenProcessToken"
                           : step == TokenStep::GetTokenInformation ? "GetTokenInformation"
                                                                    : "GetTextualSid";
        Print(Format("Cannot determine sid of current user. %s failed: %s\n", call,
                     Text(rc).c_str()));
        return false;
    }

    std::string AccountText(const std::string& sid) const {
        std::string domain, name;
        if (!system_.lookupAccount(sid, &domain, &name)) domain = name = kUnknownAccount;
        return domain.empty() ? name : domain + "\\" + name;
    }

    bool CheckList(const KeyAccessList& list) const {
        switch (list.GetState()) {
            case KeyAccessList::State::Missing:
                Print("No access control list was found (all access is denied)\n");
                return false;
            case KeyAccessList::State::Null:
                Print("Access control list present\n");
                if (list.IsDefaulted()) Print("Access control list defaulted\n");
                Print(
                    "Found NULL access control list (that is all access is granted for "
                    "everyone)\n");
                return true;
            case KeyAccessList::State::Invalid:
                Print("Access control list present\n");
                if (list.IsDefaulted()) Print("Access control list defaulted\n");
                Print("Found invalid access control list\n");
                return false;
            case KeyAccessList::State::Valid:
                break;
        }
        Print("Access control list present\n");
        if (list.IsDefaulted()) Print("Access control list defaulted\n");
        Print("Found valid access control list\n");
        return true;
    }

    void List(const KeyAccessList& list) const {
        uint32_t count = 0;
        long rc = list.Count(&count);
        if (rc != kOk) {
            Print(Format("Could not list permissions. GetAclInformation failed: %s\n",
                         Text(rc).c_str()));
            return;
        }
        for (uint32_t i = 0; i < count; ++i) {
            AccessEntry entry;
            rc = list.Get(i, &entry);
            if (rc != kOk) {
                Print(Format("Could not list permission item ace[%d]. GetAce failed: %s\n",
                             static_cast<int>(i), Text(rc).c_str()));
            } else if (entry.type == kAceAllow || entry.type == kAceDeny) {
                Print(Format("ace[%d], %s, ", static_cast<int>(i), AccountText(entry.sid).c_str()) +
                      MaskLine(entry.mask));
            } else {
                Print(Format("ace[%d], Unknown ACE Type: %d\n", static_cast<int>(i), entry.type));
            }
        }
    }

    // From the last entry to the first, so a deletion never shifts one still to visit.
    bool RemoveUserEntries(KeyAccessList& list) const {
        uint32_t count = 0;
        long rc = list.Count(&count);
        if (rc != kOk) {
            Print(Format("Could not get registry permissions. GetAclInformation failed: %s\n",
                         Text(rc).c_str()));
            return false;
        }
        for (uint32_t i = count; i-- > 0;) {
            int index = static_cast<int>(i);
            AccessEntry entry;
            rc = list.Get(i, &entry);
            if (rc != kOk) {
                Print(Format("Could not get permission item ace[%d]. GetAce failed: %s\n", index,
                             Text(rc).c_str()));
                continue;
            }
            if (entry.sid != sid_) {
                Print(Format("Keeping registry permission ace[%d] (does not belong to %s)\n", index,
                             user_.c_str()));
                continue;
            }
            if (entry.type != kAceAllow && entry.type != kAceDeny) {
                Print(Format("Could not determine permissions for ace[%d]. Unknown ACE Type: %d\n",
                             index, entry.type));
                continue;
            }
            const char* kind = entry.type == kAceAllow ? "allow" : "deny";
            if (list.Delete(i) != kOk) {
                Print(Format("Could not delete registry %s permission ace[%d] (for user %s)\n",
                             kind, index, user_.c_str()));
                return false;
            }
            Print(Format("Deleting registry %s permission ace[%d] (for user %s)\n", kind, index,
                         user_.c_str()));
        }
        return true;
    }

    bool AddAllow(KeyAccessList& list, uint32_t mask) const {
        bool inherit = system_.osName != "Windows NT 3.51" && system_.osName != "Windows NT 4";
        long rc = list.AddAllow(mask, sid_, inherit);
        if (rc != kOk) {
            Print(
                Format("Could not add registry allow permission 0x%x for %s. "
                       "AddAccessAllowedAceEx failed: %s\n",
                       static_cast<unsigned>(mask), user_.c_str(), Text(rc).c_str()));
            return false;
        }
        rc = list.Write();
        if (rc != kOk) {
            Print(
                Format("Could not add registry allow permission KEY_ALL_ACCESS for %s. "
                       "RegSetKeySecurity failed: %s\n",
                       user_.c_str(), Text(rc).c_str()));
            return false;
        }
        return true;
    }

    const RepairSystem& system_;
    std::string sid_;
    std::string user_;
};

}  // namespace

std::string MaskLine(uint32_t mask) {
    std::string line = Format("mask 0x%x: ", static_cast<unsigned>(mask));
    for (const Right& right : kGenericRights) {
        if (mask & right.bit) line += std::string(right.name) + " ";
    }
    if ((mask & kKeyAllAccess) == kKeyAllAccess) return line + "KEY_ALL_ACCESS\n";
    for (const Right& right : kKeyRights) {
        if (mask & right.bit) line += std::string(right.name) + " ";
    }
    return line + "\n";
}

bool RepairKeyPermissions(const std::string& path, const RepairSystem& system) {
    return Repair(system).Run(path);
}

}  // namespace corv
