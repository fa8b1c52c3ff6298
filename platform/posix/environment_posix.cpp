#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/environment.h"
#include "platform/errors.h"

namespace corv {

long SetEnv(const std::string& name, const std::string& value) {
    if (name.empty() || name.find('=') != std::string::npos) return kErrInvalidParameter;
    if (setenv(name.c_str(), value.c_str(), 1) != 0) return 1000 + errno;
    return kOk;
}

const char* PathListSeparator() {
    return ":";
}

unsigned CurrentThreadId() {
    return static_cast<unsigned>(syscall(SYS_gettid));
}

std::string RawCommandLineParameters() {
    return std::string();
}

}  // namespace corv
