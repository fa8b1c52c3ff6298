#include "platform/system.h"

#include <gtest/gtest.h>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/text.h"

namespace corv {
namespace {

std::string Name(OsPlatform p, unsigned major, unsigned minor, unsigned build) {
    OsVersion v{p, major, minor, build};
    return WindowsVersionName(&v);
}

TEST(VersionNameTest, TableBoundaries) {
    const auto nine = OsPlatform::Windows9x;
    EXPECT_EQ("Windows 95", Name(nine, 4, 0, 950));
    EXPECT_EQ("Windows 95 SP1", Name(nine, 4, 0, 951));
    EXPECT_EQ("Windows 95 SP1", Name(nine, 4, 0, 1080));
    EXPECT_EQ("Windows 95 OSR2", Name(nine, 4, 3, 1081));
    EXPECT_EQ("unknown Windows version", Name(nine, 4, 0, 949));
    EXPECT_EQ("Windows 98", Name(nine, 4, 10, 1998));
    EXPECT_EQ("Windows 98 SP1", Name(nine, 4, 10, 2182));
    EXPECT_EQ("Windows 98 SE", Name(nine, 4, 10, 2222));
    EXPECT_EQ("Windows ME", Name(nine, 4, 90, 3000));
    EXPECT_EQ("Windows NT 3.51", Name(OsPlatform::NT, 3, 51, 1057));
    EXPECT_EQ("Windows NT 4", Name(OsPlatform::NT, 4, 0, 1381));
    EXPECT_EQ("Windows 2000", Name(OsPlatform::NT, 5, 0, 2195));
    EXPECT_EQ("Windows XP", Name(OsPlatform::NT, 5, 1, 2600));
    EXPECT_EQ("Windows CE", Name(OsPlatform::CE, 9, 9, 9));
    EXPECT_EQ("unknown Windows version", WindowsVersionName(nullptr));
}

TEST(VersionNameTest, LaterVersionsAreNamedOnlyFromTheTrueVersion) {
    OsVersion shimmed{OsPlatform::NT, 6, 1, 7601};
    OsVersion real{OsPlatform::NT, 10, 0, 19045};
    EXPECT_EQ("unknown Windows version", WindowsVersionName(&shimmed));
    EXPECT_EQ("Windows 10", WindowsVersionName(&shimmed, &real));
    OsVersion xp{OsPlatform::NT, 5, 1, 2600};
    EXPECT_EQ("Windows XP", WindowsVersionName(&xp, &real));  // the table wins
    EXPECT_FALSE(GetWindowsVersionName().empty());
}

TEST(SystemTest, ErrorTextPattern) {
    EXPECT_EQ(0u, ErrorWithText(5).find("(5) "));
    EXPECT_GT(ErrorWithText(2).size(), 5u);
    EXPECT_EQ(std::string::npos, ErrorText(2).find('\n'));
}

TEST(SystemTest, EnvironmentNamesAreExpandedAndUnsetOnesKept) {
    ASSERT_EQ(0, SetEnv("CORV_EXPAND_A", "C:\\Profiles"));
    ASSERT_EQ(0, SetEnv("CORV_EXPAND_B", "x"));
    EXPECT_EQ("C:\\Profiles\\u", ExpandEnvironment("%CORV_EXPAND_A%\\u"));
    EXPECT_EQ("x-x", ExpandEnvironment("%corv_expand_b%-%CORV_EXPAND_B%"));
    EXPECT_EQ("%CORV_EXPAND_UNSET%\\u", ExpandEnvironment("%CORV_EXPAND_UNSET%\\u"));
    // An unset name is kept whole; its closing sign opens nothing.
    EXPECT_EQ("%CORV_EXPAND_UNSET%x", ExpandEnvironment("%CORV_EXPAND_UNSET%%CORV_EXPAND_B%"));
    EXPECT_EQ("100% sure", ExpandEnvironment("100% sure"));
    EXPECT_EQ("%%", ExpandEnvironment("%%"));
}

TEST(TextTest, TrimCaseAndFormat) {
    EXPECT_EQ("a b", Trim(" \t a b\r\n"));
    EXPECT_EQ("", Trim(" \t\r\n"));
    EXPECT_TRUE(EqualsNoCase("HiDe", "hide"));
    EXPECT_FALSE(EqualsNoCase("hid", "hide"));
    EXPECT_TRUE(StartsWithNoCase("ID:abc", "id:"));
    EXPECT_EQ((std::vector<std::string>{"a", " b ", "c"}), Split(";a;; b ;c;", ';'));
    EXPECT_TRUE(Split("", ',').empty());
    EXPECT_EQ(std::string(3000, 'z') + "1", Format("%s%d", std::string(3000, 'z').c_str(), 1));
}

TEST(FilesTest, FoldersAndPaths) {
    EXPECT_EQ("C:\\a", FolderOf("C:\\a\\b.exe"));
    EXPECT_EQ("", FolderOf("b.exe"));
    EXPECT_EQ("C:\\a\\", WithTrailingBackslash("C:\\a"));
    EXPECT_EQ("C:\\a\\", WithTrailingBackslash("C:\\a\\"));
    std::string program = ProgramPath();
    EXPECT_TRUE(IsDirectory(program)) << program;
    EXPECT_FALSE(PathExists(program + "\\no such file"));
}

}  // namespace
}  // namespace corv
