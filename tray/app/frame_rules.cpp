#include "tray/app/frame_rules.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "tray/core/log_file.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {
const char* const kWindowKey = "SOFTWARE\\Velmora\\Corvane\\Settings";
}  // namespace

HideFlags ReadHideFlags() {
    HideFlags flags;
    RegKey user, machine;
    user.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead);
    machine.Open(RegRoot::LocalMachine, kPreferencesKey, kRegRead);
    for (auto [id, field] : {std::pair<PrefId, int*>{PrefId::HideBalloons, &flags.hideBalloons},
                             {PrefId::HideGUI, &flags.hideGui},
                             {PrefId::HideAll, &flags.hideAll}}) {
        const char* name = PrefName(id);
        if (user.IsOpen() && user.QueryInt(name, field) == kOk) continue;
        if (machine.IsOpen()) machine.QueryInt(name, field);
    }
    return flags;
}

TrayMenuChoice ChooseTrayMenu(bool hideGui, bool readmePresent) {
    if (hideGui)
        return readmePresent ? TrayMenuChoice{198, "IDR_TRAYMENUHIDE"}
                             : TrayMenuChoice{207, "IDR_TRAYMENUHIDE_NOREAD"};
    return readmePresent ? TrayMenuChoice{139, "IDR_TRAYMENU"}
                         : TrayMenuChoice{202, "IDR_TRAYMENU_NOREAD"};
}

bool ReadmePresent(const std::string& home) {
    return PathExists(WithTrailingBackslash(home) + "readme.htm");
}

void HandleHideMessage(HideFlags* flags, bool readmePresent, TrayMenuHost& host) {
    CLogFile& log = TheLog();
    if (flags->hideAll) {
        log.Log("CMainFrame Ignored OnHideMsg, HideAll is set\n");
        return;
    }
    log.Log("CMainFrame Received OnHideMsg\n");
    int oldHideGui = flags->hideGui;
    *flags = ReadHideFlags();
    if ((flags->hideGui != 0) == (oldHideGui != 0)) return;
    if (!host.DestroyTrayMenu()) {
        log.Log("CMainFrame: could not destroy old systray menu\n");
        return;
    }
    log.Log("CMainFrame: destroyed old systray menu\n");
    TrayMenuChoice choice = ChooseTrayMenu(flags->hideGui != 0, readmePresent);
    if (host.LoadTrayMenu(choice.id)) log.Log("CMainFrame: loaded %s\n", choice.name);
}

WindowRect DefaultWindowRect(int screenWidth, int screenHeight, PictureSource source,
                             int pictureWidth, int pictureHeight) {
    WindowRect r;
    r.x = screenWidth / 10;
    r.y = screenHeight / 10;
    r.width = 440;
    r.height = 250;
    if (source == PictureSource::File) {
        r.width = pictureWidth + 14;
        r.height = pictureHeight + 77;
    } else if (source == PictureSource::Resource) {
        r.width = pictureWidth + 94;
        r.height = pictureHeight + 127;
    }
    return r;
}

void ApplyStoredWindowRect(WindowRect* rect, int screenWidth, int screenHeight) {
    RegKey key;
    if (key.Create(RegRoot::CurrentUser, kWindowKey, kRegReadWrite) != kOk) return;
    // Stored as 32-bit numbers; a negative one (a window left of the screen) is never used.
    auto read = [&key](const char* name, int bound, int* out) {
        int v = 0;
        if (key.QueryInt(name, &v) != kOk || v >= bound) return false;
        *out = v;
        return true;
    };
    int x = 0, y = 0, w = 0, h = 0;
    bool haveX = read("XPos", screenWidth - 50, &x);
    bool haveY = read("YPos", screenHeight - 50, &y);
    if (haveX && haveY && x > 0 && y > 0) {
        rect->x = x;
        rect->y = y;
    }
    if (read("Width", screenWidth - 50, &w) && w > rect->width) rect->width = w;
    if (read("Height", screenHeight - 50, &h) && h > rect->height) rect->height = h;
}

void StoreWindowRect(const WindowRect& rect) {
    RegKey key;
    if (key.Create(RegRoot::CurrentUser, kWindowKey, kRegReadWrite) != kOk) return;
    key.SetDword("XPos", static_cast<uint32_t>(rect.x));
    key.SetDword("YPos", static_cast<uint32_t>(rect.y));
    key.SetDword("Height", static_cast<uint32_t>(rect.height));
    key.SetDword("Width", static_cast<uint32_t>(rect.width));
}

}  // namespace corv
