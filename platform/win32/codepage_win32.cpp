#include <windows.h>

#include "platform/codepage.h"
#include "platform/text.h"

namespace corv {

namespace {

std::string ToUtf8(UINT codePage, const std::string& bytes) {
    if (IsAscii(bytes)) return bytes;
    int n =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    return Narrow(wide);
}

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
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        &bytes[0], n, nullptr, &lossy);
    if (lossy) return false;
    *out = std::move(bytes);
    return true;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
    return ToUtf8(CP_ACP, ansi);
}

bool Utf8ToAnsi(const std::string& utf8, std::string* out) {
    return FromUtf8(CP_ACP, utf8, out);
}

std::string OemToUtf8(const std::string& oem) {
    return ToUtf8(CP_OEMCP, oem);
}

bool Utf8ToOem(const std::string& utf8, std::string* out) {
    return FromUtf8(CP_OEMCP, utf8, out);
}

}  // namespace corv
