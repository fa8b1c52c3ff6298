#include <windows.h>

#include "platform/codepage.h"
#include "platform/text.h"

namespace corv {

std::string AnsiToUtf8(const std::string& ansi) {
    if (IsAscii(ansi)) return ansi;
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], n);
    return Narrow(wide);
}

bool Utf8ToAnsi(const std::string& utf8, std::string* out) {
    if (IsAscii(utf8)) {
        *out = utf8;
        return true;
    }
    std::wstring wide = Widen(utf8);
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
    if (lossy || (n == 0 && !wide.empty())) return false;
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        &ansi[0], n, nullptr, &lossy);
    if (lossy) return false;
    *out = std::move(ansi);
    return true;
}

}  // namespace corv
