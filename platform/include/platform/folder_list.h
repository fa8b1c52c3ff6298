// Listing a folder's subfolders by name prefix.
#pragma once

#include <string>
#include <vector>

namespace corv {

// The names of the subfolders of `folder` whose names begin with `prefix` (case ignored), in
// the file system's order on Windows and in name order elsewhere. Files are left out.
std::vector<std::string> ListSubfolders(const std::string& folder, const std::string& prefix);

}  // namespace corv
