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

namespace {

// No best-fit mapping: a character without a form in the code page fails the conversion
// instead of turning into a look-alike that names something else.
bool FromUtf8(UINT codePage, const std::string& utf8, std::string* out) {
    if (IsAscii(utf8)) {
        *out = utf8;
        return true;
    }
    std::wstring wide = Widen(utf8);
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
    if (lossy || (n == 0 && !wide.empty())) return false;
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        &text[0], n, nullptr, &lossy);
    if (lossy) return false;
    *out = std::move(text);
    return true;
}

}  // namespace

bool Utf8ToAnsi(const std::string& utf8, std::string* out) {
    return FromUtf8(CP_ACP, utf8, out);
}

bool Utf8ToOem(const std::string& utf8, std::string* out) {
    return FromUtf8(CP_OEMCP, utf8, out);
}

}  // namespace corv
