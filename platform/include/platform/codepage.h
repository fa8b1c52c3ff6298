// The system's two legacy code pages and the UTF-8 that the program uses inside: the ANSI one
// of plain-text files such as the install description, and the OEM one that the command
// interpreter reads batch files in and writes redirected output in. On POSIX all three are the
// same bytes.
#pragma once

#include <string>

namespace corv {

bool IsAscii(const std::string& text);
std::string AnsiToUtf8(const std::string& ansi);
// False when a character has no form in the code page (*out is then left alone).
bool Utf8ToAnsi(const std::string& utf8, std::string* out);
std::string OemToUtf8(const std::string& oem);
bool Utf8ToOem(const std::string& utf8, std::string* out);

}  // namespace corv
