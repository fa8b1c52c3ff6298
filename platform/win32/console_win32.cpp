#include <windows.h>

#include <cstdio>

#include "platform/console.h"

namespace corv {

bool OpenConsole() {
    if (!AllocConsole()) return false;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(out, &info)) {
        info.dwSize.Y = 500;
        SetConsoleScreenBufferSize(out, info.dwSize);
    }
    FILE* f = nullptr;
    f = std::freopen("CONOUT$", "w", stdout);
    if (f) std::setvbuf(stdout, nullptr, _IONBF, 0);
    f = std::freopen("CONIN$", "r", stdin);
    if (f) std::setvbuf(stdin, nullptr, _IONBF, 0);
    f = std::freopen("CONOUT$", "w", stderr);
    if (f) std::setvbuf(stderr, nullptr, _IONBF, 0);
    return true;
}

}  // namespace corv
