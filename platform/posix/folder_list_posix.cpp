#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/text.h"

namespace corv {

std::vector<std::string> ListSubfolders(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    DIR* dir = opendir(NativePath(folder).c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || !StartsWithNoCase(name, prefix)) continue;
        if (IsDirectory(WithTrailingBackslash(folder) + name)) names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
    entries->clear();
    DIR* dir = opendir(NativePath(folder).c_str());
    if (!dir) return false;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        std::string path = NativePath(WithTrailingBackslash(folder) + name);
        if (lstat(path.c_str(), &st) != 0) continue;
        entries->push_back({name, S_ISDIR(st.st_mode), S_ISLNK(st.st_mode)});
    }
    closedir(dir);
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

}  // namespace corv
