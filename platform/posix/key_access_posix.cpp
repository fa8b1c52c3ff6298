#include "platform/errors.h"
#include "platform/key_access.h"

namespace corv {

long OpenKeyAccessList(const std::string&, std::unique_ptr<KeyAccessList>* list, AclStep* failed) {
    list->reset();
    *failed = AclStep::RegOpenKeyEx;
    return kErrNotSupported;
}

bool LookupAccountOfSid(const std::string&, std::string*, std::string*) {
    return false;
}

}  // namespace corv
