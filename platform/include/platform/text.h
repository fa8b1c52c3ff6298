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

#ifdef _WIN32
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
#endif

}  // namespace corv
