#include <windows.h>

#include "platform/environment.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace corv {

long SetEnv(const std::string& name, const std::string& value) {
    if (name.empty() || name.find('=') != std::string::npos) return kErrInvalidParameter;
    // The process block is what LoadLibrary searches; the C runtime's copy follows it on read.
    if (!SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str()))
        return static_cast<long>(GetLastError());
    return kOk;
}

const char* PathListSeparator() {
    return ";";
}

unsigned CurrentThreadId() {
    return static_cast<unsigned>(GetCurrentThreadId());
}

std::string RawCommandLineParameters() {
    std::wstring line = GetCommandLineW();
    size_t i = 0;
    if (!line.empty() && line[0] == L'"') {
        i = line.find(L'"', 1);
        i = i == std::wstring::npos ? line.size() : i + 1;
    } else {
        while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
    }
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    return Narrow(line.substr(i));
}

}  // namespace corv
