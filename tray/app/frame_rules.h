// The main frame's rules that need no window: hide preferences, the choice of tray menu, the
// hide message and the window's position and size.
#pragma once

#include <string>

namespace corv {

struct HideFlags {
    int hideBalloons = 0;
    int hideGui = 0;
    int hideAll = 0;
};

// HideBalloons, HideGUI and HideAll: the current user's value wins, else the machine's, else 0.
HideFlags ReadHideFlags();

struct TrayMenuChoice {
    unsigned id;       // 139, 202, 198 or 207
    const char* name;  // "IDR_TRAYMENU", ...
};
TrayMenuChoice ChooseTrayMenu(bool hideGui, bool readmePresent);

// Whether "readme.htm" lies in the folder.
bool ReadmePresent(const std::string& home);

// The frame's tray menu, as the hide message swaps it.
class TrayMenuHost {
  public:
    virtual ~TrayMenuHost() = default;
    virtual bool DestroyTrayMenu() = 0;
    virtual bool LoadTrayMenu(unsigned id) = 0;
};

// The hide message (33519): re-reads the hide preferences into *flags and swaps the tray menu
// when HideGUI changed. Ignored, with its line, while HideAll is set.
void HandleHideMessage(HideFlags* flags, bool readmePresent, TrayMenuHost& host);

struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum class PictureSource { File, Resource, None };

// Default position and size for the screen, adapted to the view's picture: a picture from the
// file "ZUvedARov.bmp" adds 14 by 77, the built-in one 94 by 127.
WindowRect DefaultWindowRect(int screenWidth, int screenHeight, PictureSource source,
                             int pictureWidth, int pictureHeight);

// Applies "XPos", "YPos", "Width" and "Height" from the Settings key (created when missing):
// each is accepted below the screen's size minus 50; the position only when both are above 0;
// the size only enlarges.
void ApplyStoredWindowRect(WindowRect* rect, int screenWidth, int screenHeight);

// Writes the rectangle as "XPos", "YPos", "Height" and "Width" under the Settings key.
void StoreWindowRect(const WindowRect& rect);

}  // namespace corv
