#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/system.h"
#include "platform/text.h"

namespace corv {

bool GetOsVersion(OsVersion*) {
    return false;
}
bool GetTrueOsVersion(OsVersion*) {
    return false;
}

std::string ErrorText(long code) {
    switch (code) {
        case 0:
            return "The operation completed successfully.";
        case 2:
            return "The system cannot find the file specified.";
        case 3:
            return "The system cannot find the path specified.";
        case 5:
            return "Access is denied.";
        case 13:
            return "The data is invalid.";
        case 32:
            return "The process cannot access the file because it is being used by another "
                   "process.";
        case 50:
            return "The request is not supported.";
        case 87:
            return "The parameter is incorrect.";
        case 122:
            return "The data area passed to a system call is too small.";
        case 183:
            return "Cannot create a file when that file already exists.";
        case 234:
            return "More data is available.";
        case 259:
            return "No more data is available.";
        default:
            if (code > 1000 && code < 1000 + 4096)
                return std::strerror(static_cast<int>(code - 1000));
            return "Unknown error " + std::to_string(code);
    }
}

long LastError() {
    return errno;
}
bool IsAdministrator() {
    return geteuid() == 0;
}
std::string FileVersion(const std::string&) {
    return std::string();
}
unsigned CurrentProcessId() {
    return static_cast<unsigned>(getpid());
}

void SleepMs(unsigned ms) {
    struct timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

uint64_t TickCountMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

std::string GetEnv(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    return v ? v : "";
}

namespace {

// Windows ignores the case of variable names.
const char* EnvNoCase(const std::string& name) {
    if (const char* exact = std::getenv(name.c_str())) return exact;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq && EqualsNoCase(std::string(*e, static_cast<size_t>(eq - *e)), name)) return eq + 1;
    }
    return nullptr;
}

}  // namespace

std::string ExpandEnvironment(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find('%', i);
        size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) break;
        out.append(text, i, open - i);
        std::string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : EnvNoCase(name);
        out += value ? std::string(value) : "%" + name + "%";
        i = close + 1;
    }
    out.append(text, i, std::string::npos);
    return out;
}

}  // namespace corv
