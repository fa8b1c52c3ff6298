// Listing a folder's subfolders by name prefix.
#pragma once

#include <string>
#include <vector>

namespace corv {

// The names of the subfolders of `folder` whose names begin with `prefix` (case ignored), in
// the file system's order on Windows and in name order elsewhere. Files are left out.
std::vector<std::string> ListSubfolders(const std::string& folder, const std::string& prefix);

struct FolderEntry {
    std::string name;
    bool folder = false;
    bool link = false;  // a symbolic link or other reparse point: never followed
};
// Every entry of `folder` but "." and "..", in name order; false when it cannot be listed.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries);

}  // namespace corv
