#include "tray/ui/notifier_window.h"

#include <vector>

#include "tray/core/messages.h"
#include "tray/ui/guard.h"

namespace corv {

namespace {

const wchar_t kClassName[] = L"CorvaneTaskbarNotifier";
constexpr UINT kPlaceFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

HFONT MakeFont(const wchar_t* face, int tenthsOfPoint, int style) {
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(tenthsOfPoint, GetDeviceCaps(screen, LOGPIXELSY), 720);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, (style & 1) ? FW_BOLD : FW_NORMAL, (style & 2) != 0,
                       (style & 4) != 0, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// The shape of the skin without its pixels of the transparent colour; null when the pixels
// cannot be read (the popup then stays rectangular).
HRGN ShapeOf(HBITMAP skin, int width, int height, COLORREF transparent) {
    int w = RegionWidth(width);
    if (w <= 0 || height <= 0) return nullptr;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * height * 3);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, skin, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) return nullptr;
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    if (!shape) return nullptr;
    for (const PixelRun& run : OpaqueRuns(pixels, w, height, GetRValue(transparent),
                                          GetGValue(transparent), GetBValue(transparent))) {
        HRGN part = CreateRectRgn(run.left, run.y, run.right, run.y + 1);
        if (!part) {
            DeleteObject(shape);
            return nullptr;
        }
        CombineRgn(shape, shape, part, RGN_OR);
        DeleteObject(part);
    }
    return shape;
}

}  // namespace

CTaskbarNotifier::CTaskbarNotifier() : motion_(*this) {}

CTaskbarNotifier::~CTaskbarNotifier() {
    Destroy();
    if (normalFont_) DeleteObject(normalFont_);
    if (selectedFont_) DeleteObject(selectedFont_);
    if (skin_) DeleteObject(skin_);
}

bool CTaskbarNotifier::Create(HWND parent) {
    parent_ = parent;
    InstallHandlers();
    // Owned by the parent, so it has no taskbar button of its own.
    return CreateEx(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, parent);
}

void CTaskbarNotifier::InstallHandlers() {
    On(WM_CREATE, [this](WPARAM, LPARAM) -> LRESULT {
        // The system's hand cursor came with Windows 2000; older systems keep the arrow.
        handCursor_ = LoadCursor(nullptr, IDC_HAND);
        if (!handCursor_) handCursor_ = LoadCursor(nullptr, IDC_ARROW);
        return 0;
    });
    On(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        Guarded("CTaskbarNotifier::OnPaint", [this] { OnPaint(); });
        return 0;
    });
    On(WM_ERASEBKGND, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        return skin_ ? 1 : Default(WM_ERASEBKGND, wParam, lParam);  // the skin covers it
    });
    On(WM_TIMER, [this](WPARAM wParam, LPARAM) -> LRESULT {
        Guarded("CTaskbarNotifier::OnTimer",
                [&] { motion_.OnTimer(static_cast<unsigned>(wParam)); });
        return 0;
    });
    On(WM_MOUSEMOVE, [this](WPARAM, LPARAM) -> LRESULT {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = Handle();
        track.dwHoverTime = 1;
        TrackMouseEvent(&track);
        return 0;
    });
    On(WM_MOUSEHOVER, [this](WPARAM, LPARAM) -> LRESULT {
        if (!mouseOver_) {
            mouseOver_ = true;
            Redraw();
        }
        return 0;
    });
    On(WM_MOUSELEAVE, [this](WPARAM, LPARAM) -> LRESULT {
        if (mouseOver_) {
            mouseOver_ = false;
            Redraw();
        }
        return 0;
    });
    On(WM_SETCURSOR, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (LOWORD(lParam) != HTCLIENT || !handCursor_)
            return Default(WM_SETCURSOR, wParam, lParam);
        SetCursor(handCursor_);
        return TRUE;
    });
    On(WM_LBUTTONUP, [this](WPARAM, LPARAM) -> LRESULT {
        if (parent_) PostMessageW(parent_, kMsgNotifier, 0, 0);
        return 0;
    });
}

bool CTaskbarNotifier::SetSkin(UINT bitmapId, int red, int green, int blue) {
    HBITMAP skin =
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmapId),
                                        IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (skin_) DeleteObject(skin_);
    skin_ = skin;
    skinWidth_ = skinHeight_ = 0;
    if (Handle()) SetWindowRgn(Handle(), nullptr, FALSE);
    if (!skin_) {
        motion_.SetSkinSize(0, 0);
        return false;
    }
    BITMAP bm = {};
    GetObjectW(skin_, sizeof(bm), &bm);
    skinWidth_ = bm.bmWidth;
    skinHeight_ = bm.bmHeight;
    motion_.SetSkinSize(skinWidth_, skinHeight_);
    textRect_ = RECT{0, 0, skinWidth_, skinHeight_};
    bool transparent =
        red != kNoTransparency && green != kNoTransparency && blue != kNoTransparency;
    if (transparent && Handle()) {
        HRGN shape = ShapeOf(skin_, skinWidth_, skinHeight_, RGB(red, green, blue));
        // The window owns the region from here on.
        if (shape && !SetWindowRgn(Handle(), shape, TRUE)) DeleteObject(shape);
    }
    return true;
}

void CTaskbarNotifier::SetTextFont(const wchar_t* face, int tenthsOfPoint, int normalStyle,
                                   int selectedStyle) {
    if (normalFont_) DeleteObject(normalFont_);
    if (selectedFont_) DeleteObject(selectedFont_);
    normalFont_ = MakeFont(face, tenthsOfPoint, normalStyle);
    selectedFont_ = MakeFont(face, tenthsOfPoint, selectedStyle);
}

void CTaskbarNotifier::SetTextColor(COLORREF normal, COLORREF selected) {
    normalTextColor_ = normal;
    selectedTextColor_ = selected;
    if (Handle())
        RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

ScreenArea CTaskbarNotifier::CurrentScreen() {
    ScreenArea area;
    RECT work = {};
    area.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    area.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, area.screenWidth, area.screenHeight};
    area.work = ScreenRect{work.left, work.top, work.right, work.bottom};
    return area;
}

void CTaskbarNotifier::Show(const std::wstring& text, unsigned appearMs, unsigned stayMs,
                            unsigned disappearMs) {
    if (!Handle()) return;
    text_ = text;
    motion_.Show(CurrentScreen(), appearMs, stayMs, disappearMs);
}

void CTaskbarNotifier::Hide() {
    motion_.Hide();
    // Hidden under the mouse: the leave may never come.
    mouseOver_ = false;
}

LRESULT CTaskbarNotifier::OnEvent(WPARAM, LPARAM) {
    Hide();
    return 0;
}

void CTaskbarNotifier::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    if (skin_) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, skin_);
        BitBlt(dc, 0, 0, skinWidth_, skinHeight_, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    }
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, mouseOver_ ? selectedTextColor_ : normalTextColor_);
    HFONT font = mouseOver_ ? selectedFont_ : normalFont_;
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    RECT r = textRect_;
    // The text comes from outside: an ampersand is shown, not taken as a mnemonic.
    DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
              DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (oldFont) SelectObject(dc, oldFont);
    EndPaint(Handle(), &ps);
}

void CTaskbarNotifier::StartTimer(unsigned id, unsigned ms) {
    SetTimer(Handle(), id, ms, nullptr);
}

void CTaskbarNotifier::StopTimer(unsigned id) {
    KillTimer(Handle(), id);
}

void CTaskbarNotifier::ShowSurface() {
    // Never takes the focus from what the user is doing.
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void CTaskbarNotifier::Place(int x, int y, int width, int height) {
    SetWindowPos(Handle(), nullptr, x, y, width, height, kPlaceFlags);
}

void CTaskbarNotifier::HideSurface() {
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, kPlaceFlags);
    ShowWindow(Handle(), SW_HIDE);
}

void CTaskbarNotifier::Redraw() {
    InvalidateRect(Handle(), nullptr, TRUE);
    UpdateWindow(Handle());
}

std::unique_ptr<TaskbarNotifier> MakeTaskbarNotifier(HWND parent, const NotifierSkin& skin) {
    auto notifier = std::make_unique<CTaskbarNotifier>();
    if (!notifier->Create(parent)) return nullptr;
    notifier->SetSkin(skin.bitmapId, CTaskbarNotifier::kNoTransparency,
                      CTaskbarNotifier::kNoTransparency, CTaskbarNotifier::kNoTransparency);
    notifier->SetTextFont(skin.font, skin.pointSize, 0, 0);
    notifier->SetTextColor(RGB(0, 0, 0), RGB(0, 0, 0));
    RECT all = {};
    SIZE size = notifier->SkinSize();
    all.left = skin.inset;
    all.top = skin.inset;
    all.right = size.cx - skin.inset;
    all.bottom = size.cy - skin.inset;
    notifier->SetTextRect(all);
    return notifier;
}

}  // namespace corv
