#include "tray/ui/view_rules.h"

#include "platform/files.h"
#include "platform/prompt.h"

namespace corv {

const char* const kPictureFile = "ZUvedARov.bmp";
const char* const kReadmeFile = "readme.htm";

std::string FileInHome(const std::string& home, const char* file) {
    return WithTrailingBackslash(home) + file;
}

std::string ReadmePath(const std::string* home) {
    return home ? FileInHome(*home, kReadmeFile) : std::string(kReadmeFile);
}

Rgb PictureBackground(bool fromFile) {
    return fromFile ? Rgb{51, 153, 204} : Rgb{38, 72, 103};
}

Offset CentredPicture(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight) {
    // Each half on its own, rounded towards zero.
    return Offset{areaWidth / 2 - pictureWidth / 2, areaHeight / 2 - pictureHeight / 2};
}

ReadmeResult OpenReadme(const std::string& path, ReadmeShell& shell) {
    if (!PathExists(path)) {
        shell.ShowAbout();
        return ReadmeResult::Missing;
    }
    if (shell.Open("\"" + path + "\"")) return ReadmeResult::Opened;
    if (shell.Open(path)) return ReadmeResult::OpenedBare;
    ShowPrompt("Error: Could not open Readme file: " + path);
    return ReadmeResult::NotOpened;
}

}  // namespace corv
