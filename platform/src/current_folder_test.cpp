#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"

namespace corv {
namespace {

// A path of exactly `units` UTF-16 units below the root, built from `piece`.
std::string PathOfUnits(const std::string& root, const std::string& piece, size_t pieceUnits,
                        size_t units) {
    std::string path = root + "\\";
    size_t have = root.size() + 1;  // the root is ASCII here
    while (have + pieceUnits <= units) {
        path += piece;
        have += pieceUnits;
    }
    path.append(units - have, 'x');
    return path;
}

TEST(SetCurrentFolderTest, OnlyFoldersWithinTheLimitBecomeCurrent) {
    const std::string before = CurrentFolder();
    const std::string temp = TempFolder();
    const std::string folder = temp + "\\corv-cwd-" + std::to_string(CurrentProcessId());
    MakeDirectory(folder);
    const std::string file = folder + "\\file.txt";
    WriteFileBytes(file, "not a folder");
    // The limit counts the backslash a path gets and the terminating zero.
    const size_t limit = kCurrentFolderLimit - 2;
    struct {
        std::string path;
        long result;
    } cases[] = {
        {folder, kOk},
        {folder + "\\", kOk},
        {file, kErrDirectory},
        {"", kErrDirectory},
        {PathOfUnits(temp, "a", 1, limit), kErrDirectory},  // at the limit: only missing
        {PathOfUnits(temp, "a", 1, limit + 1), kErrFilenameExcedRange},
        {PathOfUnits(temp, "a", 1, limit) + "\\", kErrDirectory},
        {PathOfUnits(temp, "a", 1, limit + 1) + "\\", kErrFilenameExcedRange},
        // "é" is two bytes and one unit; U+1F600 is four bytes and two units.
        {PathOfUnits(temp, "\xc3\xa9", 1, limit), kErrDirectory},
        {PathOfUnits(temp, "\xc3\xa9", 1, limit + 1), kErrFilenameExcedRange},
        {PathOfUnits(temp, "\xf0\x9f\x98\x80", 2, limit), kErrDirectory},
        {PathOfUnits(temp, "\xf0\x9f\x98\x80", 2, limit + 1), kErrFilenameExcedRange},
        {PathOfUnits(temp, "a", 1, 300), kErrFilenameExcedRange},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(kOk, ChangeFolder(before));
        EXPECT_EQ(c.result, SetCurrentFolder(c.path)) << c.path.size() << " bytes: " << c.path;
        if (c.result != kOk) {
            EXPECT_EQ(before, CurrentFolder());
        }
    }
    ASSERT_EQ(kOk, ChangeFolder(before));
    RemoveFile(file);
    RemoveFolder(folder);
}

}  // namespace
}  // namespace corv
