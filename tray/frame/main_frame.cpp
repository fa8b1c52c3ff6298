#include "tray/frame/main_frame.h"

#include <commctrl.h>

#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "tray/app/frame_messages.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/core/status_publisher.h"
#include "tray/core/status_text.h"
#include "tray/ui/notifier_window.h"

namespace corv {

namespace {

const wchar_t kClassName[] = L"CorvaneMainFrame";

// Versions without balloon tips get the popup notifier.
bool LacksBalloons(const std::string& version) {
    for (const char* v :
         {"Windows 98", "Windows 98 SP1", "Windows 98 SE", "Windows NT 3.51", "Windows NT 4"})
        if (version == v) return true;
    return false;
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP bm = {};
    GetObjectW(bitmap, sizeof(bm), &bm);
    return SIZE{bm.bmWidth, bm.bmHeight};
}

void CopyWide(wchar_t* dest, size_t capacity, const std::wstring& text) {
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    text.copy(dest, n);
    dest[n] = L'\0';
}

// A menu string's prompt: the text before the first line feed.
std::wstring LoadPrompt(UINT id) {
    wchar_t buf[256];
    int n = LoadStringW(GetModuleHandleW(nullptr), id, buf, 256);
    std::wstring text(buf, n > 0 ? n : 0);
    return text.substr(0, text.find(L'\n'));
}

}  // namespace

CMainFrame::CMainFrame() : listener_(&defaultListener_), notifierFactory_(MakeTaskbarNotifier) {}

CMainFrame::~CMainFrame() {
    if (configMgr_) configMgr_->SetAccountPrompt(nullptr);
    // Whatever ended the program (a refused or failed start too), the destroy handlers run.
    Destroy();
    if (trayMenu_) DestroyMenu(trayMenu_);
}

void CMainFrame::AttachConfigMgr(CConfigMgr* configMgr) {
    configMgr_ = configMgr;
    if (configMgr_) configMgr_->SetAccountPrompt(&preferences_);
}

void CMainFrame::SetListener(const FrameListener* listener) {
    listener_ = listener ? listener : &defaultListener_;
}

void CMainFrame::Guard(const char* name, const std::function<void()>& body) {
    try {
        body();
    } catch (...) {
        LogIgnoredException(name);
    }
}

bool CMainFrame::CreateFrame() {
    flags_ = ReadHideFlags();
    InstallHandlers();
    WindowRect r = InitialRect();
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
    if (!Create(kClassName, L"Corvane", style, r.x, r.y, r.width, r.height, menu, icon))
        return false;
    if (LacksBalloons(GetWindowsVersionName()) && notifierFactory_) {
        notifier_ = notifierFactory_(Handle(), NotifierSkin());
        useNotifier_ = notifier_ ? 1 : 0;
    }
    return true;
}

WindowRect CMainFrame::InitialRect() {
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    std::wstring file = Widen(FileInHome(ProgramPath(), kPictureFile));
    PictureSource source = PictureSource::None;
    HBITMAP picture = static_cast<HBITMAP>(
        LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (picture) {
        source = PictureSource::File;
    } else {
        picture = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                  MAKEINTRESOURCEW(IDB_PICTURE), IMAGE_BITMAP, 0, 0,
                                                  LR_DEFAULTCOLOR));
        if (picture) source = PictureSource::Resource;
    }
    // Only its size counts here; the view draws its own.
    SIZE size = picture ? BitmapSize(picture) : SIZE{0, 0};
    if (picture) DeleteObject(picture);
    WindowRect r = DefaultWindowRect(sw, sh, source, size.cx, size.cy);
    ApplyStoredWindowRect(&r, sw, sh);
    return r;
}

void CMainFrame::InstallHandlers() {
    On(WM_CREATE, [this](WPARAM, LPARAM) -> LRESULT {
        Guard("OnCreate", [this] { OnCreate(); });
        return 0;
    });
    On(WM_SIZE, [this](WPARAM, LPARAM) -> LRESULT {
        LayOut();
        return 0;
    });
    // Explorer started again: its new taskbar has none of the old icons.
    if (UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated")) {
        On(taskbarCreated, [this](WPARAM, LPARAM) -> LRESULT {
            Guard("OnTaskbarCreated", [this] { OnTaskbarCreated(); });
            return 0;
        });
    }
    On(kMsgTrayIcon, [this](WPARAM, LPARAM lParam) -> LRESULT {
        Guard("OnTrayNotification", [&] { OnTrayIcon(lParam); });
        return 0;
    });
    On(kMsgSetMessageString, [this](WPARAM wParam, LPARAM) -> LRESULT {
        Guard("OnSetMessageString", [&] { OnStatusMessage(wParam); });
        return 0;
    });
    On(kMsgBalloon, [this](WPARAM, LPARAM) -> LRESULT {
        Guard("OnBalloon", [this] { OnBalloon(); });
        return 0;
    });
    for (unsigned m = kMsgFirstWork; m <= kMsgLastWork; ++m) {
        On(m, [this, m](WPARAM, LPARAM) -> LRESULT {
            HandleFrameMessage(m, configMgr_, *listener_);
            return 0;
        });
    }
    On(kMsgHttpProxyUpdate, [this](WPARAM, LPARAM) -> LRESULT {
        HandleFrameMessage(kMsgHttpProxyUpdate, configMgr_, *listener_);
        return 0;
    });
    On(kMsgQuitCorvane, [this](WPARAM, LPARAM) -> LRESULT {
        Guard("OnQuitCorvane", [this] {
            TheLog().Log("CMainFrame Received OnQuitCorvane\n");
            if (configMgr_) configMgr_->SetRunInBackground(false);
            PostMessageW(Handle(), WM_CLOSE, 0, 0);
        });
        return 0;
    });
    On(kMsgHide, [this](WPARAM, LPARAM) -> LRESULT {
        Guard("OnHideMsg", [this] { HandleHideMessage(&flags_, ReadmeInHome(), *this); });
        return 0;
    });
    On(kMsgNotifier, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        LRESULT rc = 0;
        Guard("OnTaskbarNotifierClicked", [&] {
            if (notifier_) rc = notifier_->OnEvent(wParam, lParam);
        });
        return rc;
    });
    On(WM_TIMER, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (wParam != kVerifyTimer) return Default(WM_TIMER, wParam, lParam);
        Guard("VerifyInstallation", [this] {
            if (!configMgr_) return;
            KillTimer(Handle(), kVerifyTimer);
            configMgr_->VerifyInstallation();
        });
        return 0;
    });
    On(WM_SYSCOMMAND, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            ShowWindow(Handle(), SW_HIDE);
            return 0;
        }
        return Default(WM_SYSCOMMAND, wParam, lParam);
    });
    On(WM_MENUSELECT, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        // The command's prompt while a menu is open; the status text again once it closes.
        if (HIWORD(wParam) == 0xFFFF && lParam == 0) {
            ShowStatusText(GetStatusText());
        } else if (!(HIWORD(wParam) & (MF_POPUP | MF_SEPARATOR)) && statusBar_) {
            SendMessageW(statusBar_, SB_SETTEXTW, 0,
                         reinterpret_cast<LPARAM>(LoadPrompt(LOWORD(wParam)).c_str()));
        }
        return 0;
    });
    On(WM_COMMAND, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        switch (LOWORD(wParam)) {
            case ID_TRAY_OPEN:
                BringToFront();
                return 0;
            case ID_TRAY_PREFERENCES:
                Guard("OnPreferences", [this] {
                    if (configMgr_) preferences_.OpenSheet(*configMgr_);
                });
                return 0;
            case ID_TRAY_RECONNECT:
                Guard("OnReconnect", [this] {
                    if (configMgr_) configMgr_->Reconnect(true);
                });
                return 0;
            case ID_TRAY_EXIT:
            case ID_APP_EXIT:
                if (configMgr_) configMgr_->SetRunInBackground(false);
                PostMessageW(Handle(), WM_CLOSE, 0, 0);
                return 0;
            default:
                // The view's commands: readme, about box.
                if (view_.OnCommand(LOWORD(wParam))) return 0;
                return Default(WM_COMMAND, wParam, lParam);
        }
    });
    On(WM_CLOSE, [this](WPARAM, LPARAM) -> LRESULT {
        Guard("OnClose", [this] { OnClose(); });
        return 0;
    });
    On(WM_QUERYENDSESSION, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
    On(WM_ENDSESSION, [this](WPARAM wParam, LPARAM) -> LRESULT {
        if (wParam) Guard("OnEndSession", [this] { OnEndSession(); });
        return 0;
    });
    On(WM_DESTROY, [this](WPARAM, LPARAM) -> LRESULT {
        Guard("OnDestroy", [this] { OnDestroy(); });
        PostQuitMessage(0);
        return 0;
    });
}

bool CMainFrame::ReadmeInHome() const {
    return ReadmePresent(configMgr_ ? configMgr_->Prefs().GetHome() : ProgramPath());
}

std::string CMainFrame::ClientId() const {
    return configMgr_ ? configMgr_->GetCorvaneId() : std::string();
}

bool CMainFrame::IsDuplicate() const {
    return configMgr_ && configMgr_->IsDuplicateInstance();
}

void CMainFrame::OnCreate() {
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                                 0, 0, 0, 0, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowStatusText(std::string());
    view_.Create(Handle(), [this] { return configMgr_; });
    LayOut();
    if (!flags_.hideAll) {
        trayIcon_ = {};
        trayIcon_.cbSize = NOTIFYICONDATAW_V2_SIZE;
        trayIcon_.hWnd = Handle();
        trayIcon_.uID = kTrayIconId;
        trayIcon_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        trayIcon_.uCallbackMessage = kMsgTrayIcon;
        trayIcon_.hIcon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        CopyWide(trayIcon_.szTip, 128, L"Corvane");
        LoadTrayMenu(ChooseTrayMenu(flags_.hideGui != 0, ReadmeInHome()).id);
        iconAdded_ = Shell_NotifyIconW(NIM_ADD, &trayIcon_) != FALSE;
    }
    SetTimer(Handle(), kVerifyTimer, kVerifyDelayMs, nullptr);
}

void CMainFrame::OnTaskbarCreated() {
    if (!trayIcon_.hWnd) return;  // never had one (HideAll)
    // The icon as it is now, without the last balloon coming back.
    trayIcon_.uFlags &= ~NIF_INFO;
    iconAdded_ = Shell_NotifyIconW(NIM_ADD, &trayIcon_) != FALSE;
    if (iconAdded_) TheLog().Log("CMainFrame: tray icon added again for the new taskbar\n");
}

void CMainFrame::LayOut() {
    RECT client, bar = {};
    GetClientRect(Handle(), &client);
    if (statusBar_) {
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
        GetWindowRect(statusBar_, &bar);
    }
    if (view_.Handle())
        MoveWindow(view_.Handle(), 0, 0, client.right, client.bottom - (bar.bottom - bar.top),
                   TRUE);
}

bool CMainFrame::DestroyTrayMenu() {
    if (!trayMenu_ || !DestroyMenu(trayMenu_)) return false;
    trayMenu_ = nullptr;
    return true;
}

bool CMainFrame::LoadTrayMenu(unsigned id) {
    trayMenu_ = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    return trayMenu_ != nullptr;
}

void CMainFrame::BringToFront() {
    SetForegroundWindow(Handle());
    ShowWindow(Handle(), SW_RESTORE);
}

void CMainFrame::OnTrayIcon(LPARAM mouse) {
    switch (static_cast<UINT>(mouse)) {
        case WM_LBUTTONDOWN:
            if (!flags_.hideGui) BringToFront();
            break;
        case WM_RBUTTONDOWN:
        case WM_CONTEXTMENU: {
            HMENU drop = trayMenu_ ? GetSubMenu(trayMenu_, 0) : nullptr;
            if (!drop) break;
            POINT pt;
            GetCursorPos(&pt);
            SetForegroundWindow(Handle());
            TrackPopupMenu(drop, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, Handle(),
                           nullptr);
            // Without it the menu would not close when the user clicks elsewhere.
            PostMessageW(Handle(), WM_NULL, 0, 0);
            break;
        }
        default:
            break;
    }
}

void CMainFrame::ShowStatusText(const std::string& utf8) {
    if (!statusBar_) return;
    std::wstring text = utf8.empty() ? LoadPrompt(AFX_IDS_IDLEMESSAGE) : Widen(utf8);
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CMainFrame::OnStatusMessage(WPARAM id) {
    std::string text = GetStatusText();
    if (id != kIdMessageStringParam || text.empty()) {
        // As a frame does: a string id shows that string's prompt.
        if (statusBar_ && id != 0)
            SendMessageW(statusBar_, SB_SETTEXTW, 0,
                         reinterpret_cast<LPARAM>(LoadPrompt(static_cast<UINT>(id)).c_str()));
        return;
    }
    if (!IsDuplicate()) PublishStatus(text, ClientId());
    ShowStatusText(text);
}

void CMainFrame::OnBalloon() {
    BalloonData balloon = listener_->GetBalloon();
    if (!AnnounceBalloon(flags_.hideBalloons != 0, balloon)) return;
    if (notifier_) {
        notifier_->Show(Widen(balloon.title + "\n" + balloon.message), 500, 30000, 500);
        return;
    }
    if (!iconAdded_) return;
    trayIcon_.uFlags |= NIF_INFO;
    trayIcon_.uTimeout = 10000;
    bool knownKind = balloon.kind >= BalloonData::kInfo && balloon.kind <= BalloonData::kError;
    trayIcon_.dwInfoFlags = knownKind ? static_cast<DWORD>(balloon.kind) : NIIF_INFO;
    CopyWide(trayIcon_.szInfo, 256, Widen(CutToUtf16Units(balloon.message, 255)));
    CopyWide(trayIcon_.szInfoTitle, 64, Widen(CutToUtf16Units(balloon.title, 63)));
    Shell_NotifyIconW(NIM_MODIFY, &trayIcon_);
}

void CMainFrame::OnClose() {
    if (configMgr_ && configMgr_->GetRunInBackground()) {
        TheLog().Log("CMainFrame::OnClose() Closing...\n");
        ShowWindow(Handle(), SW_HIDE);
        return;
    }
    TheLog().Log("CMainFrame::OnClose() Exiting...\n");
    DestroyWindow(Handle());
}

// The process may be ended as soon as the message is answered: everything a close does
// happens now, and the destructors find it done.
void CMainFrame::OnEndSession() {
    TheLog().Log("CMainFrame::OnEndSession() Exiting...\n");
    DestroyWindow(Handle());
    if (configMgr_) configMgr_->SetAccountPrompt(nullptr);
    configMgr_ = nullptr;  // the application's exit frees it
    if (sessionEnd_) sessionEnd_();
}

void CMainFrame::OnDestroy() {
    if (iconAdded_) {
        Shell_NotifyIconW(NIM_DELETE, &trayIcon_);
        iconAdded_ = false;
    }
    if (IsDuplicate()) return;
    RECT rc;
    if (GetWindowRect(Handle(), &rc)) {
        WindowRect r;
        r.x = rc.left;
        r.y = rc.top;
        r.width = rc.right - rc.left;
        r.height = rc.bottom - rc.top;
        StoreWindowRect(r);
    }
    if (configMgr_) {
        configMgr_->SyncClientSettings(0);
        configMgr_->SetWindowClosed(true);
    }
}

void CMainFrame::OnDestroyed() {
    Guard("~CMainFrame", [this] {
        notifier_.reset();
        if (!IsDuplicate()) RemoveStatusValues(ClientId());
    });
}

void CMainFrame::SetTitle(const std::string& title) {
    SetWindowTextW(Handle(), Widen(title).c_str());
}

void CMainFrame::Show(bool visible) {
    ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE);
    UpdateWindow(Handle());
}

AppWindow::MenuRemoval CMainFrame::RemoveMenuItems(unsigned id) {
    HMENU bar = GetMenu(Handle());
    if (!bar) return MenuRemoval::NotPresent;
    MenuRemoval result = MenuRemoval::NotPresent;
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        HMENU drop = GetSubMenu(bar, i);
        if (!drop) continue;
        for (int j = GetMenuItemCount(drop) - 1; j >= 0; --j) {
            if (GetMenuItemID(drop, j) != id) continue;
            EnableMenuItem(drop, j, MF_BYPOSITION | MF_GRAYED);
            bool removed = RemoveMenu(drop, j, MF_BYPOSITION) != FALSE;
            if (!removed) return MenuRemoval::Failed;
            result = MenuRemoval::Removed;
        }
    }
    DrawMenuBar(Handle());
    return result;
}

}  // namespace corv
