#include "platform/codepage.h"

namespace corv {

std::string AnsiToUtf8(const std::string& ansi) {
    return ansi;
}

bool Utf8ToAnsi(const std::string& utf8, std::string* out) {
    *out = utf8;
    return true;
}

std::string OemToUtf8(const std::string& oem) {
    return oem;
}

bool Utf8ToOem(const std::string& utf8, std::string* out) {
    *out = utf8;
    return true;
}

}  // namespace corv
