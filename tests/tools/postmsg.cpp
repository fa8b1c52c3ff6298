// postmsg <window title> <message number|close> [wait-seconds] [wParam] [lParam]
// Posts a message to the top-level window with that title, as the installer or a user would.
// Waits up to the given seconds for the window to appear. Exit code 0 when posted.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: postmsg <title> <message|close> [wait-seconds] [wParam] [lParam]\n");
        return 2;
    }
    UINT message = std::wstring(argv[2]) == L"close" ? WM_CLOSE : static_cast<UINT>(_wtoi(argv[2]));
    int waitMs = argc > 3 ? _wtoi(argv[3]) * 1000 : 0;
    WPARAM wParam = argc > 4 ? static_cast<WPARAM>(_wtoi(argv[4])) : 0;
    LPARAM lParam = argc > 5 ? static_cast<LPARAM>(_wtoi(argv[5])) : 0;
    for (int waited = 0;; waited += 100) {
        HWND hwnd = FindWindowW(nullptr, argv[1]);
        if (hwnd) return PostMessageW(hwnd, message, wParam, lParam) ? 0 : 1;
        if (waited >= waitMs) break;
        Sleep(100);
    }
    std::fprintf(stderr, "postmsg: no window titled %ls\n", argv[1]);
    return 1;
}
