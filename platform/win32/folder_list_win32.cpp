#include <windows.h>

#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/text.h"

namespace corv {

std::vector<std::string> ListSubfolders(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::wstring pattern = Widen(WithTrailingBackslash(folder) + prefix + "*");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = Narrow(data.cFileName);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "." || name == "..")
            continue;
        // The pattern also matches short 8.3 names; only the long name counts.
        if (StartsWithNoCase(name, prefix)) names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

}  // namespace corv
