// Small text helpers shared by every subsystem.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

namespace corv {

std::string ToLower(std::string s);
bool EqualsNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& s, const std::string& prefix);
// Removes leading and trailing blanks, tabs, carriage returns and line feeds.
std::string Trim(const std::string& s);
// The non-empty pieces of a list, split at the separator (pieces are not trimmed).
std::vector<std::string> Split(const std::string& list, char separator);
// printf into a std::string, without a length limit.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

// Text from outside (registry values, command lines, other programs) shown in one line: each
// control character (below 0x20, and 0x7f) becomes "\n", "\r", "\t" or "\xNN".
std::string EscapeControls(const std::string& text);
// The text with every run of control characters replaced by one blank.
std::string WithoutControls(const std::string& text);
// printf whose %s arguments have their control characters escaped, so that a line of the
// format stays one line whatever the arguments hold. The format's own text is kept as it is;
// %n writes nothing.
std::string FormatEscaped(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatEscapedV(const char* fmt, va_list args);

#ifdef _WIN32
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
#endif

}  // namespace corv
