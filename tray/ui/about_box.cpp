#include "tray/ui/about_box.h"

#include "platform/text.h"
#include "resources/resource.h"
#include "tray/ui/guard.h"
#include "tray/ui/product_info.h"

namespace corv {

namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    INT_PTR handled = FALSE;
    Guarded("CAboutDlg", [&] {
        switch (message) {
            case WM_INITDIALOG:
                SetDlgItemTextW(dialog, IDC_ABOUT_PRODUCT, Widen(kProductName).c_str());
                SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, Widen(kProductVersion).c_str());
                SetDlgItemTextW(dialog, IDC_ABOUT_WEB, Widen(kServiceWebAddress).c_str());
                handled = TRUE;  // the focus goes to OK
                break;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                    EndDialog(dialog, LOWORD(wParam));
                    handled = TRUE;
                }
                break;
            default:
                break;
        }
    });
    return handled;
}

}  // namespace

void ShowAboutBox(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, AboutProc, 0);
}

}  // namespace corv
