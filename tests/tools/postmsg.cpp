// postmsg <window title>[@page] <message number|close> [wait-seconds] [wParam] [lParam]
// Posts a message to the top-level window with that title, as the installer or a user would;
// with "@page", to the current page of that property sheet (a page's button is pressed by
// posting it WM_COMMAND with the button's id). Waits up to the given seconds for the window to
// appear. Exit code 0 when posted.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: postmsg <title> <message|close> [wait-seconds] [wParam] [lParam]\n");
        return 2;
    }
    std::wstring title = argv[1];
    bool toPage = title.size() > 5 && title.compare(title.size() - 5, 5, L"@page") == 0;
    if (toPage) title.resize(title.size() - 5);
    UINT message = std::wstring(argv[2]) == L"close" ? WM_CLOSE : static_cast<UINT>(_wtoi(argv[2]));
    int waitMs = argc > 3 ? _wtoi(argv[3]) * 1000 : 0;
    WPARAM wParam = argc > 4 ? static_cast<WPARAM>(_wtoi(argv[4])) : 0;
    LPARAM lParam = argc > 5 ? static_cast<LPARAM>(_wtoi(argv[5])) : 0;
    for (int waited = 0;; waited += 100) {
        HWND hwnd = FindWindowW(nullptr, title.c_str());
        if (hwnd && toPage)
            hwnd = reinterpret_cast<HWND>(SendMessageW(hwnd, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (hwnd) return PostMessageW(hwnd, message, wParam, lParam) ? 0 : 1;
        if (waited >= waitMs) break;
        Sleep(100);
    }
    std::fprintf(stderr, "postmsg: no window titled %ls\n", title.c_str());
    return 1;
}
