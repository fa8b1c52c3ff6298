#include "tray/ui/view_rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/prompt.h"
#include "platform/system.h"

namespace corv {
namespace {

namespace fs = std::filesystem;

TEST(ViewRulesTest, FilesInHomeHaveExactlyOneBackslashBeforeTheirName) {
    const std::string withSpace = "C:\\Program Files\\Corvane";
    struct Case {
        const std::string* home;
        std::string picture, readme;
    };
    const std::string plain = "C:\\Corvane", trailing = "C:\\Corvane\\", root = "C:\\";
    const Case cases[] = {
        {&plain, "C:\\Corvane\\ZUvedARov.bmp", "C:\\Corvane\\readme.htm"},
        {&trailing, "C:\\Corvane\\ZUvedARov.bmp", "C:\\Corvane\\readme.htm"},
        {&withSpace, withSpace + "\\ZUvedARov.bmp", withSpace + "\\readme.htm"},
        {&root, "C:\\ZUvedARov.bmp", "C:\\readme.htm"},
        {nullptr, "", "readme.htm"},  // no preferences: the bare name
    };
    for (const Case& c : cases) {
        if (c.home) {
            EXPECT_EQ(c.picture, FileInHome(*c.home, kPictureFile)) << *c.home;
        }
        EXPECT_EQ(c.readme, ReadmePath(c.home)) << (c.home ? *c.home : "no home");
    }
}

TEST(ViewRulesTest, ThePictureIsCentredUnscaledEvenWhenTheAreaIsSmaller) {
    struct Case {
        int areaW, areaH, picW, picH, x, y;
    };
    const Case cases[] = {
        {319, 150, 225, 66, 47, 42},   // the window's own size for the built-in picture
        {225, 66, 225, 66, 0, 0},      // exactly the picture
        {101, 51, 50, 50, 25, 0},      // halves rounded on their own: 50 - 25, 25 - 25
        {100, 40, 225, 66, -62, -13},  // smaller: negative, the middle shows
        {0, 0, 225, 66, -112, -33},
    };
    for (const Case& c : cases) {
        Offset at = CentredPicture(c.areaW, c.areaH, c.picW, c.picH);
        EXPECT_EQ(c.x, at.x) << c.areaW << "x" << c.areaH;
        EXPECT_EQ(c.y, at.y) << c.areaW << "x" << c.areaH;
    }
}

// Answers the shell's open calls from a script and records them.
class ScriptedShell : public ReadmeShell {
  public:
    explicit ScriptedShell(std::vector<bool> answers) : answers_(std::move(answers)) {}
    bool Open(const std::string& target) override {
        opened.push_back(target);
        bool ok = !answers_.empty() && answers_.front();
        if (!answers_.empty()) answers_.erase(answers_.begin());
        return ok;
    }
    void ShowAbout() override { ++aboutShown; }
    std::vector<std::string> opened;
    int aboutShown = 0;

  private:
    std::vector<bool> answers_;
};

TEST(ViewRulesTest, TheReadmeIsOpenedQuotedThenBareOrTheUserIsTold) {
    fs::path folder =
        fs::temp_directory_path() / ("corv view " + std::to_string(CurrentProcessId()));
    fs::create_directories(folder);
    std::ofstream(folder / "readme.htm") << "<html></html>";
    // The program's path form: backslashes.
    std::string home = folder.string();
    for (char& ch : home)
        if (ch == '/') ch = '\\';
    const std::string path = ReadmePath(&home);
    const std::string quoted = "\"" + path + "\"";
    const std::string missing = FileInHome(home, "no-readme.htm");

    struct Case {
        const char* name;
        std::string path;
        std::vector<bool> answers;
        ReadmeResult result;
        std::vector<std::string> opened;
        int about;
        std::vector<std::string> told;
    };
    const Case cases[] = {
        {"quoted path with blanks", path, {true}, ReadmeResult::Opened, {quoted}, 0, {}},
        {"bare path", path, {false, true}, ReadmeResult::OpenedBare, {quoted, path}, 0, {}},
        {"neither",
         path,
         {false, false},
         ReadmeResult::NotOpened,
         {quoted, path},
         0,
         {"Error: Could not open Readme file: " + path}},
        {"missing", missing, {true}, ReadmeResult::Missing, {}, 1, {}},
    };
    for (const Case& c : cases) {
        ScopedScriptedPrompter prompter;
        ScriptedShell shell(c.answers);
        EXPECT_EQ(c.result, OpenReadme(c.path, shell)) << c.name;
        EXPECT_EQ(c.opened, shell.opened) << c.name;
        EXPECT_EQ(c.about, shell.aboutShown) << c.name;
        EXPECT_EQ(c.told, prompter.Texts()) << c.name;
    }
    fs::remove(folder / "readme.htm");
    fs::remove(folder);
}

}  // namespace
}  // namespace corv
