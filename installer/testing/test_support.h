// Test support: private trees in the temporary folder and snapshots of files and registry.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace corv::inst::test {

// Removes `path` with everything in it. Refuses (false) any path that is not absolute or not
// below the temporary folder, follows no links (a link is removed, never entered) and gives up
// after 100,000 entries.
bool RemoveTreeUnderTemp(const std::string& path);

// A fresh folder below the temporary folder, removed with its content at the end.
class TempTree {
  public:
    explicit TempTree(const std::string& name);
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    const std::string& Path() const { return m_path; }
    // Path() + "\\" + relative
    std::string operator[](const std::string& relative) const;

  private:
    std::string m_path;
};

// Writes a file, creating its folders.
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// Every folder and file below `folder` with the files' bytes, one line each, in name order.
std::string FilesSnapshot(const std::string& folder);
// Every key below each root and path with its values (type and data), in name order.
std::string RegistrySnapshot(const std::vector<std::pair<RegRoot, std::string>>& keys);

}  // namespace corv::inst::test
