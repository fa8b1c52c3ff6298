// The main window's picture and the readme, without windows: which file, which colour, where
// the picture goes and how the readme is opened.
#pragma once

#include <cstdint>
#include <string>

namespace corv {

extern const char* const kPictureFile;  // "ZUvedARov.bmp"
extern const char* const kReadmeFile;   // "readme.htm"

// The file in Home, with exactly one backslash between them.
std::string FileInHome(const std::string& home, const char* file);
// The readme's path; without preferences (no home) the bare file name.
std::string ReadmePath(const std::string* home);

struct Rgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};
// A picture from the file lies on a light blue, the built-in one on a dark blue.
Rgb PictureBackground(bool fromFile);

struct Offset {
    int x;
    int y;
};
// Where the unscaled picture's top left corner goes to be centred; negative in an area smaller
// than the picture, which then shows its middle.
Offset CentredPicture(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight);

// What opening the readme needs of the system.
class ReadmeShell {
  public:
    virtual ~ReadmeShell() = default;
    // The shell's "open" verb in a normal window; false when the shell reports failure.
    virtual bool Open(const std::string& target) = 0;
    virtual void ShowAbout() = 0;
};

enum class ReadmeResult { Opened, OpenedBare, NotOpened, Missing };

// A missing readme shows the about box. Otherwise the path is opened quoted (a path with
// blanks stays one name), then bare; when both fail the user is told so.
ReadmeResult OpenReadme(const std::string& path, ReadmeShell& shell);

}  // namespace corv
