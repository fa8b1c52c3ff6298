#include <dirent.h>

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

}  // namespace corv
