#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <vector>

#include "platform/desktop.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace corv {

namespace {

struct Search {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->pid) search->windows.push_back(hwnd);
    return TRUE;
}

std::string TitleOf(HWND hwnd) {
    wchar_t buf[512];
    int n = GetWindowTextW(hwnd, buf, 512);
    return n > 0 ? Narrow(std::wstring(buf, static_cast<size_t>(n))) : std::string();
}

}  // namespace

long PostToProcessWindows(unsigned pid, unsigned message, const std::string* title,
                          unsigned* posted) {
    *posted = 0;
    Search search{pid, {}};
    if (!EnumWindows(Collect, reinterpret_cast<LPARAM>(&search)))
        return static_cast<long>(GetLastError());
    long result = kOk;
    for (HWND hwnd : search.windows) {
        if (title && TitleOf(hwnd) != *title) continue;
        if (PostMessageW(hwnd, message, 0, 0))
            ++*posted;
        else
            result = static_cast<long>(GetLastError());
    }
    return *posted > 0 ? kOk : result;
}

long OpenDocument(const std::string& path) {
    auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", Widen(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return rc > 32 ? kOk : static_cast<long>(rc);
}

}  // namespace corv
