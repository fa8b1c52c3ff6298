#include "platform/folder_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/system.h"

namespace corv {
namespace {

namespace fs = std::filesystem;

TEST(FolderListTest, SubfoldersByPrefixWithoutFiles) {
    const fs::path root =
        fs::temp_directory_path() / ("corv-folders-" + std::to_string(CurrentProcessId()));
    fs::remove_all(root);
    for (const char* f : {"jre-1.4.2", "JRE-1.5.0", "jrex", "other"})
        fs::create_directories(root / f);
    std::ofstream(root / "jre-file.txt") << "not a folder";

    std::vector<std::string> names = ListSubfolders(root.string(), "jre-");
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"JRE-1.5.0", "jre-1.4.2"}), names);
    EXPECT_TRUE(ListSubfolders((root / "missing").string(), "jre-").empty());
    EXPECT_EQ(4u, ListSubfolders(root.string(), "").size());

    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace
}  // namespace corv
