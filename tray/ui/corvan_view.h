// The main window's view: the product picture on its background colour, and the commands of
// the menus that concern the user interface (preferences, readme, about box).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/win32/window.h"
#include "tray/ui/preferences_opener.h"
#include "tray/ui/view_rules.h"

namespace corv {

class CConfigMgr;

class CCorvanView : public Window, private ReadmeShell {
  public:
    // The frame's controller as it is now; null when there is none.
    using ControllerSource = std::function<CConfigMgr*()>;

    CCorvanView() = default;
    ~CCorvanView() override;

    // A child window of the frame. The picture is chosen now: the picture file in Home when
    // there is a controller, else the built-in one.
    bool Create(HWND frame, ControllerSource controller);
    void SetPreferencesOpener(PreferencesOpener* opener) { preferences_ = opener; }

    // Preferences..., Readme and About; false for every other command.
    bool OnCommand(unsigned id);

    // Paints the background and the centred picture over the area.
    void Draw(HDC dc, const RECT& area) const;

    bool PictureFromFile() const { return fromFile_; }
    COLORREF Background() const;
    SIZE PictureSize() const;

  private:
    void LoadPicture();
    void OnPaint();
    void OnPreferences();
    void OnReadme();

    bool Open(const std::string& target) override;
    void ShowAbout() override;

    HWND frame_ = nullptr;
    ControllerSource controller_;
    PreferencesOpener* preferences_ = nullptr;
    HBITMAP picture_ = nullptr;
    bool fromFile_ = false;
};

}  // namespace corv
