// Repair of a per-user key whose access list keeps the user from writing: the user's own
// entries go, two allow entries with full access come in. Every step is printed (standard
// output, a console when capture is on), not logged.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/key_access.h"
#include "platform/session.h"

namespace corv {

// What the repair reaches of the system; tests give their own.
struct RepairSystem {
    std::function<long(const std::string&, std::unique_ptr<KeyAccessList>*, AclStep*)> openList =
        OpenKeyAccessList;
    std::function<long(std::string*, TokenStep*)> userSid = CurrentUserSid;
    std::function<bool(const std::string&, std::string*, std::string*)> lookupAccount =
        LookupAccountOfSid;
    std::function<std::string(long)> errorText;     // the system's text by default
    std::function<void(const std::string&)> print;  // standard output by default
    std::string osName;                             // "Windows NT 4" adds without inheritance
};

// Repairs HKEY_CURRENT_USER\path; true only when every step succeeded.
bool RepairKeyPermissions(const std::string& path, const RepairSystem& system);

// "mask 0x%x: " and the names of the set rights, ending with a line feed.
std::string MaskLine(uint32_t mask);

}  // namespace corv
