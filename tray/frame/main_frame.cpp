#include "tray/frame/main_frame.h"

#include "platform/text.h"
#include "resources/resource.h"
#include "tray/app/log_file.h"
#include "tray/app/messages.h"

namespace corv {

bool CMainFrame::CreateFrame() {
    InstallHandlers();
    int x = GetSystemMetrics(SM_CXSCREEN) / 10;
    int y = GetSystemMetrics(SM_CYSCREEN) / 10;
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
    return Create(L"CorvaneMainFrame", L"Corvane", style, x, y, 440, 250, menu);
}

void CMainFrame::InstallHandlers() {
    On(kMsgQuitCorvane, [this](WPARAM, LPARAM) -> LRESULT {
        TheLog().Log("CMainFrame Received OnQuitCorvane\n");
        if (configMgr_) configMgr_->SetRunInBackground(false);
        PostMessageW(Handle(), WM_CLOSE, 0, 0);
        return 0;
    });
    On(WM_COMMAND, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (LOWORD(wParam) == ID_APP_EXIT) {
            PostMessageW(Handle(), WM_CLOSE, 0, 0);
            return 0;
        }
        return Default(WM_COMMAND, wParam, lParam);
    });
    On(WM_DESTROY, [](WPARAM, LPARAM) -> LRESULT {
        PostQuitMessage(0);
        return 0;
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
