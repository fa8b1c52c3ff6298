#include "installer/sys/file_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/sys/exceptions.h"
#include "installer/sys/inst_log.h"
#include "platform/files.h"

namespace corv::inst {
namespace {

using ::testing::HasSubstr;

std::string Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const CInstallException& e) {
        return e.Message();
    }
    return "no error";
}

class FileUtilTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = TempFolder() + "\\corvfs" + std::to_string(reinterpret_cast<uintptr_t>(this));
        ASSERT_EQ(kOk, MakeDirectory(dir_));
    }
    void TearDown() override {
        for (const char* f : {"\\a.txt", "\\b.txt", "\\c.txt", "\\x\\y\\z", "\\x\\y", "\\x",
                              "\\file", "\\dummy.txt", "\\____test"}) {
            RemoveFile(dir_ + f);
            RemoveFolder(dir_ + f);
        }
        RemoveFolder(dir_);
    }
    std::string dir_;
};

TEST_F(FileUtilTest, SizesAndFreeSpace) {
    ASSERT_EQ(kOk, WriteFileBytes(dir_ + "\\a.txt", std::string(1234, 'a')));
    EXPECT_EQ(1234u, FileSize(dir_ + "\\a.txt"));
    EXPECT_THAT(Message([&] { FileSize(dir_ + "\\missing"); }),
                HasSubstr("Could not get file size on " + dir_ + "\\missing \nReason: "));
    DiskSpace space;
    ASSERT_TRUE(DiskFreeSpace(dir_, &space));
    EXPECT_GE(space.total, space.free);
    EXPECT_GT(space.available, 0u);
    // A folder that does not exist yet: the free space of its drive.
    DiskSpace fresh;
    ASSERT_TRUE(DiskFreeSpace(dir_ + "\\missing\\deeper", &fresh));
    EXPECT_EQ(space.total, fresh.total);
    ScopedLogCapture log;
    EXPECT_FALSE(DiskFreeSpace("Q:\\missing", &space));
    EXPECT_TRUE(log.Contains("Could not get disk free info for Q:\\missing!\n"));
}

TEST_F(FileUtilTest, FileNamesWithForbiddenCharacters) {
    for (char c : std::string("/:*?\"<>|")) {
        std::string name = std::string("a") + c + "b.txt";
        EXPECT_TRUE(HasForbiddenCharacter(name)) << name;
        std::string m = Message([&] { CheckFileName(name); });
        EXPECT_EQ(0u, m.find("A filename cannot contain any of the characters ")) << m;
        EXPECT_EQ(m.size() - name.size(), m.rfind(name));
    }
    EXPECT_FALSE(HasForbiddenCharacter("C\\dir\\file name.txt"));
    EXPECT_EQ("no error", Message([] { CheckFileName("plain.txt"); }));
}

TEST_F(FileUtilTest, DirectoryTreeCopyAndRename) {
    CreateDirectoryTree(dir_ + "\\x\\y\\z");
    EXPECT_TRUE(IsDirectory(dir_ + "\\x\\y\\z"));
    CreateDirectoryTree(dir_ + "\\x\\y\\z\\");  // already there
    ASSERT_EQ(kOk, WriteFileBytes(dir_ + "\\file", "f"));
    EXPECT_EQ(
        "Failed to create directory: " + dir_ +
            "\\file. \n\nThere already exists a file with the same name that is not a directory.",
        Message([&] { CreateDirectoryTree(dir_ + "\\file\\sub"); }));

    ASSERT_EQ(kOk, WriteFileBytes(dir_ + "\\a.txt", "new"));
    ASSERT_EQ(kOk, WriteFileBytes(dir_ + "\\b.txt", "old old"));
    CopyFileChecked(dir_ + "\\a.txt", dir_ + "\\b.txt");
    std::string text;
    ASSERT_TRUE(ReadFileText(dir_ + "\\b.txt", &text));
    EXPECT_EQ("new", text);
    EXPECT_EQ("Internal error: Source file does not exist: " + dir_ +
                  "\\none \n\n pwd: " + CurrentFolder() + "\n",
              Message([&] { CopyFileChecked(dir_ + "\\none", dir_ + "\\c.txt"); }));
    EXPECT_THAT(Message([&] { CopyFileChecked(dir_ + "\\a.txt", dir_ + "\\x\\missing\\c.txt"); }),
                HasSubstr("CopyFile failed, lasterror: "));

    RenameFileChecked(dir_ + "\\a.txt", dir_ + "\\c.txt");
    EXPECT_TRUE(PathExists(dir_ + "\\c.txt"));
    EXPECT_EQ("Rename failed: " + dir_ + "\\a.txt\n",
              Message([&] { RenameFileChecked(dir_ + "\\a.txt", dir_ + "\\c.txt"); }));
}

TEST_F(FileUtilTest, PermissionProbeLeavesNothingAndKeepsExistingFiles) {
    EXPECT_TRUE(CanCreateFiles(dir_));
    EXPECT_FALSE(PathExists(dir_ + "\\____test"));

    // A folder and file of those names that were there before stay.
    ASSERT_EQ(kOk, MakeDirectory(dir_ + "\\____test"));
    ASSERT_EQ(kOk, WriteFileBytes(dir_ + "\\dummy.txt", "keep me"));
    EXPECT_TRUE(CanCreateFiles(dir_));
    std::string text;
    ASSERT_TRUE(ReadFileText(dir_ + "\\dummy.txt", &text));
    EXPECT_EQ("keep me", text);
    EXPECT_TRUE(IsDirectory(dir_ + "\\____test"));
    RemoveFile(dir_ + "\\dummy.txt");

    // Where no file can be made in the folder itself (here a folder holds the file's name),
    // the probe fails even though a subfolder can be made.
    ASSERT_EQ(kOk, MakeDirectory(dir_ + "\\dummy.txt"));
    {
        ScopedLogCapture log;
        EXPECT_FALSE(CanCreateFiles(dir_));
        EXPECT_TRUE(log.Contains("User has not permission to create file: " + dir_ +
                                 "\\dummy.txt, reason: "));
    }
    RemoveFolder(dir_ + "\\dummy.txt");

    ScopedLogCapture log;
    EXPECT_FALSE(CanCreateFiles(dir_ + "\\missing"));
    EXPECT_TRUE(
        log.Contains("User has not permission to make dir: " + dir_ + "\\missing\\____test\n"));
}

}  // namespace
}  // namespace corv::inst
