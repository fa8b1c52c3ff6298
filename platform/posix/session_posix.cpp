#include "platform/desktop.h"
#include "platform/errors.h"
#include "platform/session.h"

namespace corv {

long EnablePrivilege(const std::string&, TokenStep* failed) {
    *failed = TokenStep::OpenProcessToken;
    return kErrNotSupported;
}

long CurrentUserSid(std::string*, TokenStep* failed) {
    *failed = TokenStep::OpenProcessToken;
    return kErrNotSupported;
}

long RestartComputer(TokenStep* failed) {
    *failed = TokenStep::OpenProcessToken;
    return kErrNotSupported;
}

long PostToProcessWindows(unsigned, unsigned, const std::string*, unsigned* posted) {
    *posted = 0;
    return kErrNotSupported;
}

long OpenDocument(const std::string&) {
    return kErrNotSupported;
}

}  // namespace corv
