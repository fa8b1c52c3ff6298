// The system's single-byte (ANSI) code page, used by plain-text files such as the install
// description, and the UTF-8 that the program uses inside. On POSIX both are the same bytes.
#pragma once

#include <string>

namespace corv {

bool IsAscii(const std::string& text);
std::string AnsiToUtf8(const std::string& ansi);
// False when a character has no form in the code page (*out is then left alone).
bool Utf8ToAnsi(const std::string& utf8, std::string* out);
// The same for the console's (OEM) code page, in which the command interpreter reads batch
// files.
bool Utf8ToOem(const std::string& utf8, std::string* out);

}  // namespace corv
