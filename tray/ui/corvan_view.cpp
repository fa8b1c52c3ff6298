#include "tray/ui/corvan_view.h"

// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "platform/text.h"
#include "resources/resource.h"
#include "tray/app/config_mgr.h"
#include "tray/core/log_file.h"
#include "tray/ui/about_box.h"
#include "tray/ui/guard.h"

namespace corv {

namespace {
const wchar_t kClassName[] = L"CorvaneView";
}  // namespace

CCorvanView::~CCorvanView() {
    Destroy();
    if (picture_) DeleteObject(picture_);
}

bool CCorvanView::Create(HWND frame, ControllerSource controller) {
    frame_ = frame;
    controller_ = std::move(controller);
    LoadPicture();
    On(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return 1; });  // painted whole
    On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        Guarded("CCorvanView::OnDraw", [this] { OnPaint(); });
        return 0;
    });
    On(WM_SIZE, [this](WPARAM, LPARAM) -> LRESULT {
        InvalidateRect(Handle(), nullptr, FALSE);  // the picture stays centred
        return 0;
    });
    On(WM_DESTROY, [this](WPARAM, LPARAM) -> LRESULT {
        Guarded("CCorvanView::OnDestroy", [this] {
            if (preferences_) preferences_->ClosePreferences();
        });
        return 0;
    });
    return CreateEx(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, frame);
}

void CCorvanView::LoadPicture() {
    CConfigMgr* controller = controller_ ? controller_() : nullptr;
    if (controller) {
        std::wstring file = Widen(FileInHome(controller->Prefs().GetHome(), kPictureFile));
        picture_ = static_cast<HBITMAP>(
            LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    }
    fromFile_ = picture_ != nullptr;
    if (!picture_) {
        picture_ = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                   MAKEINTRESOURCEW(IDB_PICTURE), IMAGE_BITMAP, 0,
                                                   0, LR_DEFAULTCOLOR));
    }
}

COLORREF CCorvanView::Background() const {
    Rgb c = PictureBackground(fromFile_);
    return RGB(c.red, c.green, c.blue);
}

SIZE CCorvanView::PictureSize() const {
    BITMAP bm = {};
    if (picture_) GetObjectW(picture_, sizeof(bm), &bm);
    return SIZE{bm.bmWidth, bm.bmHeight};
}

void CCorvanView::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    RECT client;
    GetClientRect(Handle(), &client);
    Draw(dc, client);
    EndPaint(Handle(), &ps);
}

void CCorvanView::Draw(HDC dc, const RECT& area) const {
    HBRUSH brush = CreateSolidBrush(Background());
    FillRect(dc, &area, brush);
    DeleteObject(brush);
    if (!picture_) return;
    SIZE size = PictureSize();
    Offset at = CentredPicture(area.right - area.left, area.bottom - area.top, size.cx, size.cy);
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(picture_), 0, area.left + at.x,
               area.top + at.y, 0, 0, DST_BITMAP | DSS_NORMAL);
}

bool CCorvanView::OnCommand(unsigned id) {
    switch (id) {
        case ID_TRAY_PREFERENCES:
            Guarded("CCorvanView::OnPreferences", [this] { OnPreferences(); });
            return true;
        case ID_HELP_README:
            Guarded("CCorvanView::OnReadme", [this] { OnReadme(); });
            return true;
        case ID_APP_ABOUT:
            Guarded("CCorvanView::OnAppAbout", [this] { ShowAbout(); });
            return true;
        default:
            return false;
    }
}

void CCorvanView::OnPreferences() {
    if (!preferences_) {
        TheLog().Log("CCorvanView: no preferences sheet to open\n");
        return;
    }
    preferences_->OpenPreferences(frame_);
}

void CCorvanView::OnReadme() {
    CConfigMgr* controller = controller_ ? controller_() : nullptr;
    std::string home = controller ? controller->Prefs().GetHome() : std::string();
    OpenReadme(ReadmePath(controller ? &home : nullptr), *this);
}

bool CCorvanView::Open(const std::string& target) {
    HINSTANCE rc =
        ShellExecuteW(frame_, L"open", Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

void CCorvanView::ShowAbout() {
    ShowAboutBox(frame_);
}

}  // namespace corv
