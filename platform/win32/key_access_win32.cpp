#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <vector>

#include "platform/errors.h"
#include "platform/key_access.h"
#include "platform/session.h"
#include "platform/text.h"

namespace corv {

namespace {

std::string SidText(PSID sid) {
    if (!sid || !IsValidSid(sid)) return std::string();
    std::vector<uint32_t> subs;
    for (DWORD i = 0; i < *GetSidSubAuthorityCount(sid); ++i)
        subs.push_back(*GetSidSubAuthority(sid, i));
    return FormatTextualSid(SID_REVISION, GetSidIdentifierAuthority(sid)->Value, subs);
}

// A SID from its text, freed with LocalFree.
class SidFromText {
  public:
    explicit SidFromText(const std::string& text) {
        if (!ConvertStringSidToSidW(Widen(text).c_str(), &sid_)) sid_ = nullptr;
    }
    ~SidFromText() {
        if (sid_) LocalFree(sid_);
    }
    PSID get() const { return sid_; }

  private:
    PSID sid_ = nullptr;
};

PSID SidOfAce(void* ace, int type) {
    if (type == ACCESS_ALLOWED_ACE_TYPE) return &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    if (type == ACCESS_DENIED_ACE_TYPE) return &static_cast<ACCESS_DENIED_ACE*>(ace)->SidStart;
    return nullptr;
}

class Win32KeyAccessList : public KeyAccessList {
  public:
    ~Win32KeyAccessList() override {
        if (key_) RegCloseKey(key_);
    }

    long Open(const std::string& path, AclStep* failed) {
        LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, READ_CONTROL | WRITE_DAC,
                                &key_);
        if (rc != ERROR_SUCCESS) {
            key_ = nullptr;
            *failed = AclStep::RegOpenKeyEx;
            return rc;
        }
        DWORD size = 0;
        rc = RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        if (rc == ERROR_INSUFFICIENT_BUFFER && size > 0) {
            descriptor_.resize(size);
            rc = RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, descriptor_.data(), &size);
        }
        if (rc != ERROR_SUCCESS) {
            *failed = AclStep::RegGetKeySecurity;
            return rc;
        }
        BOOL present = FALSE, defaulted = FALSE;
        PACL acl = nullptr;
        if (!GetSecurityDescriptorDacl(descriptor_.data(), &present, &acl, &defaulted)) {
            *failed = AclStep::GetSecurityDescriptorDacl;
            return static_cast<long>(GetLastError());
        }
        defaulted_ = defaulted != FALSE;
        if (!present) {
            state_ = State::Missing;
        } else if (!acl) {
            state_ = State::Null;
        } else {
            // Edits happen in a copy of our own, so a full list can grow.
            acl_.assign(reinterpret_cast<const BYTE*>(acl),
                        reinterpret_cast<const BYTE*>(acl) + acl->AclSize);
            state_ = IsValidAcl(Acl()) ? State::Valid : State::Invalid;
        }
        return kOk;
    }

    State GetState() const override { return state_; }
    bool IsDefaulted() const override { return defaulted_; }

    long Count(uint32_t* count) const override {
        if (acl_.empty()) return ERROR_INVALID_ACL;
        ACL_SIZE_INFORMATION info = {};
        if (!GetAclInformation(Acl(), &info, sizeof(info), AclSizeInformation))
            return static_cast<long>(GetLastError());
        *count = info.AceCount;
        return kOk;
    }

    long Get(uint32_t index, AccessEntry* entry) const override {
        if (acl_.empty()) return ERROR_INVALID_ACL;
        void* ace = nullptr;
        if (!GetAce(Acl(), index, &ace)) return static_cast<long>(GetLastError());
        auto* header = static_cast<ACE_HEADER*>(ace);
        entry->type = header->AceType;
        entry->mask = 0;
        entry->sid.clear();
        if (PSID sid = SidOfAce(ace, header->AceType)) {
            entry->mask = static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask;
            entry->sid = SidText(sid);
        }
        return kOk;
    }

    long Delete(uint32_t index) override {
        if (acl_.empty()) return ERROR_INVALID_ACL;
        return DeleteAce(Acl(), index) ? kOk : static_cast<long>(GetLastError());
    }

    long AddAllow(uint32_t mask, const std::string& sidText, bool inherit) override {
        if (acl_.empty()) return ERROR_INVALID_ACL;
        SidFromText sid(sidText);
        if (!sid.get()) return static_cast<long>(GetLastError());
        // A new list with room for the entry, holding the old entries in their order.
        ACL_SIZE_INFORMATION info = {};
        if (!GetAclInformation(Acl(), &info, sizeof(info), AclSizeInformation))
            return static_cast<long>(GetLastError());
        DWORD size = info.AclBytesInUse + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid.get());
        std::vector<BYTE> grown((size + 3) & ~3u);
        PACL next = reinterpret_cast<PACL>(grown.data());
        if (!InitializeAcl(next, static_cast<DWORD>(grown.size()), ACL_REVISION))
            return static_cast<long>(GetLastError());
        for (DWORD i = 0; i < info.AceCount; ++i) {
            void* ace = nullptr;
            if (!GetAce(Acl(), i, &ace) ||
                !AddAce(next, ACL_REVISION, MAXDWORD, ace, static_cast<ACE_HEADER*>(ace)->AceSize))
                return static_cast<long>(GetLastError());
        }
        BOOL added = inherit ? AddAccessAllowedAceEx(next, ACL_REVISION,
                                                     OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                                     mask, sid.get())
                             : AddAccessAllowedAce(next, ACL_REVISION, mask, sid.get());
        if (!added) return static_cast<long>(GetLastError());
        acl_.swap(grown);
        return kOk;
    }

    long Write() override {
        SECURITY_DESCRIPTOR sd;
        if (!InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&sd, TRUE, acl_.empty() ? nullptr : Acl(), FALSE))
            return static_cast<long>(GetLastError());
        return RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &sd);
    }

  private:
    PACL Acl() const { return reinterpret_cast<PACL>(const_cast<BYTE*>(acl_.data())); }

    HKEY key_ = nullptr;
    std::vector<BYTE> descriptor_;
    std::vector<BYTE> acl_;
    State state_ = State::Missing;
    bool defaulted_ = false;
};

}  // namespace

long OpenKeyAccessList(const std::string& path, std::unique_ptr<KeyAccessList>* list,
                       AclStep* failed) {
    *failed = AclStep::None;
    list->reset();
    auto opened = std::make_unique<Win32KeyAccessList>();
    long rc = opened->Open(path, failed);
    if (rc != kOk) return rc;
    *list = std::move(opened);
    return kOk;
}

bool LookupAccountOfSid(const std::string& sidText, std::string* domain, std::string* name) {
    SidFromText sid(sidText);
    if (!sid.get()) return false;
    wchar_t account[256], dom[256];
    DWORD accountLen = 256, domLen = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid.get(), account, &accountLen, dom, &domLen, &use))
        return false;
    *name = Narrow(account);
    *domain = Narrow(dom);
    return true;
}

}  // namespace corv
