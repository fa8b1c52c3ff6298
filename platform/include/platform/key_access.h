// The access list (DACL) of a registry key under HKEY_CURRENT_USER: read once, edited in
// memory, written back. The POSIX build has no access lists; there opening fails with
// kErrNotSupported.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace corv {

enum : int { kAceAllow = 0, kAceDeny = 1 };

enum : uint32_t {
    kKeyAllAccess = 0xF003F,
    kGenericAll = 0x10000000,
};

struct AccessEntry {
    int type = kAceAllow;  // the system's ACE type number
    uint32_t mask = 0;
    std::string sid;  // textual, "S-1-5-..."
};

// The system call that failed, so callers can name it in their messages.
enum class AclStep { None, RegOpenKeyEx, RegGetKeySecurity, GetSecurityDescriptorDacl };

class KeyAccessList {
  public:
    enum class State {
        Missing,  // no list at all: all access is denied
        Null,     // a null list: all access is granted for everyone
        Invalid,
        Valid,
    };
    virtual ~KeyAccessList() = default;
    virtual State GetState() const = 0;
    virtual bool IsDefaulted() const = 0;
    virtual long Count(uint32_t* count) const = 0;
    virtual long Get(uint32_t index, AccessEntry* entry) const = 0;
    virtual long Delete(uint32_t index) = 0;
    // Appends an allow entry; with inherit, sub-keys and values inherit it. The list grows as
    // needed, so a list with no free room still takes the entry.
    virtual long AddAllow(uint32_t mask, const std::string& sid, bool inherit) = 0;
    // Writes the edited list back to the key.
    virtual long Write() = 0;
};

// Opens HKEY_CURRENT_USER\path with the rights to read and write its access list and reads
// the list. On failure *failed names the step.
long OpenKeyAccessList(const std::string& path, std::unique_ptr<KeyAccessList>* list,
                       AclStep* failed);

// "domain\name", or "name" when the domain is empty; false when the SID names no account.
bool LookupAccountOfSid(const std::string& sid, std::string* domain, std::string* name);

}  // namespace corv
