// Test program for the process-stop tests: "kill_target <mode> <title> <status file>".
// It opens a main window with the title and a second window "Decoy", writes "ready" into the
// status file, and ends as the mode says: "quitmsg" on WM_APP + 750, "close" on WM_CLOSE,
// "never" not at all. On its end it writes "ended:<how>", plus ",decoy" when the second window
// received WM_APP + 750 as well.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const UINT kQuitMsg = WM_APP + 750;
std::string g_mode;
std::string g_how = "none";
bool g_decoyHit = false;

void WriteStatus(const char* path, const std::string& text) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kQuitMsg:
            if (g_mode == "quitmsg") {
                g_how = "quitmsg";
                DestroyWindow(hwnd);
            }
            return 0;
        case WM_CLOSE:
            if (g_mode != "never") {
                g_how = "close";
                DestroyWindow(hwnd);
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

LRESULT CALLBACK DecoyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kQuitMsg) {
        g_decoyHit = true;
        return 0;
    }
    if (msg == WM_CLOSE) return 0;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND MakeWindow(const char* cls, WNDPROC proc, const char* title) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowA(cls, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    g_mode = argv[1];
    if (!MakeWindow("KillTargetMain", MainProc, argv[2]) ||
        !MakeWindow("KillTargetDecoy", DecoyProc, "Decoy"))
        return 2;
    WriteStatus(argv[3], "ready");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    WriteStatus(argv[3], "ended:" + g_how + (g_decoyHit ? ",decoy" : ""));
    return 0;
}
