#include "installer/job/job_ops.h"

#include <gtest/gtest.h>

#include "installer/testing/test_support.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/memory_registry.h"

namespace corv::inst {
namespace {

using test::ReadText;
using test::WriteText;

// Files of the same name from different folders are kept side by side; a copy that an
// earlier run left in the fallback folder is neither overwritten nor deleted.
TEST(JobOpsTest, KeptCopiesNeverCollideAndOldOnesStay) {
    test::TempTree tree("corvops");
    std::string fallback = tree["fallback"];
    WriteText(fallback + "\\0000_a.dll", "left by an earlier run");
    WriteText(tree["one\\a.dll"], "one");
    WriteText(tree["two\\a.dll"], "two");
    WriteText(tree["new.dll"], "new");

    JobOps ops;
    ops.SetFallbackFolder(fallback);
    ASSERT_EQ(kOk, ops.CopyFile(tree["new.dll"], tree["one\\a.dll"]));
    ASSERT_EQ(kOk, ops.CopyFile(tree["new.dll"], tree["two\\a.dll"]));
    EXPECT_EQ("one", ReadText(fallback + "\\0001_a.dll"));
    EXPECT_EQ("two", ReadText(fallback + "\\0002_a.dll"));
    EXPECT_EQ("left by an earlier run", ReadText(fallback + "\\0000_a.dll"));

    ops.Rollback();
    EXPECT_EQ("one", ReadText(tree["one\\a.dll"]));
    EXPECT_EQ("two", ReadText(tree["two\\a.dll"]));
    EXPECT_EQ("left by an earlier run", ReadText(fallback + "\\0000_a.dll"));
    EXPECT_FALSE(PathExists(fallback + "\\0001_a.dll"));

    // Kept: the copies go, the earlier one and so the folder stay.
    JobOps again;
    again.SetFallbackFolder(fallback);
    ASSERT_EQ(kOk, again.RemoveFile(tree["one\\a.dll"]));
    again.Commit();
    EXPECT_FALSE(PathExists(tree["one\\a.dll"]));
    EXPECT_EQ("left by an earlier run", ReadText(fallback + "\\0000_a.dll"));
    EXPECT_EQ(test::FilesSnapshot(fallback), "file 0000_a.dll [left by an earlier run]\n");
}

// A registry value is put back with its old type and data; keys the run made go again, and
// the tree of an entry the run removed comes back whole.
TEST(JobOpsTest, RegistryValuesComeBackWithTheirTypeAndData) {
    ScopedMemoryRegistry registry;
    RegKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, "Software\\A"));
    key.SetBinary("v", {1, 2, 3});
    key.Close();
    ASSERT_EQ(kOk, key.Create(RegRoot::LocalMachine, "Entry\\Sub"));
    key.SetString("s", "x");
    key.Close();
    const std::string before =
        test::RegistrySnapshot({{RegRoot::CurrentUser, ""}, {RegRoot::LocalMachine, ""}});

    JobOps ops;
    ASSERT_EQ(kOk, ops.SetValue(RegRoot::CurrentUser, "Software\\A", MakeStringValue("v", "new")));
    ASSERT_EQ(kOk, ops.SetValue(RegRoot::CurrentUser, "Software\\B\\C", MakeDwordValue("d", 7)));
    ASSERT_EQ(kErrKeyHasChildren, ops.DeleteKey(RegRoot::CurrentUser, "Software\\B"));
    ASSERT_EQ(kOk, ops.DeleteOwnTree(RegRoot::LocalMachine, "Entry"));
    EXPECT_FALSE(registry->KeyExists(RegRoot::LocalMachine, "Entry"));
    ops.Rollback();
    EXPECT_EQ(before,
              test::RegistrySnapshot({{RegRoot::CurrentUser, ""}, {RegRoot::LocalMachine, ""}}));
}

}  // namespace
}  // namespace corv::inst
