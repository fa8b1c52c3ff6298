#include <windows.h>

#include <algorithm>

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

bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
    entries->clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Widen(WithTrailingBackslash(folder) + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::string name = Narrow(data.cFileName);
        if (name == "." || name == "..") continue;
        entries->push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

}  // namespace corv
