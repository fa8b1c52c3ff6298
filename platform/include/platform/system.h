// Facts about the running system and its error texts.
#pragma once

#include <cstdint>
#include <string>

namespace corv {

enum class OsPlatform { Win32s, Windows9x, NT, CE, Unknown };

struct OsVersion {
    OsPlatform platform = OsPlatform::Unknown;
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;  // low word of the build number
};

// The version as the program sees it (what the compatibility layer reports). false if unknown.
bool GetOsVersion(OsVersion* out);
// The true version, past compatibility shims (RtlGetVersion); false if unknown.
bool GetTrueOsVersion(OsVersion* out);

// "Windows 98 SE", "Windows XP", ... or "unknown Windows version".
std::string WindowsVersionName(const OsVersion* version, const OsVersion* trueVersion = nullptr);
std::string GetWindowsVersionName();  // of the running system

// The system's message text for an error code (at most 1024 bytes, line end removed).
std::string ErrorText(long code);
// "(%d) %s" with the code and its text.
std::string ErrorWithText(long code);
long LastError();

// The process token holds the BUILTIN\Administrators group.
bool IsAdministrator();
// "%u.%u.%u-%04u" from the file's version resource; empty when it has none.
std::string FileVersion(const std::string& path);
unsigned CurrentProcessId();
void SleepMs(unsigned ms);
uint64_t TickCountMs();
std::string GetEnv(const std::string& name);
// Replaces each %NAME% of a set environment variable by its value; other text, unset names
// included, stays as written.
std::string ExpandEnvironment(const std::string& text);

}  // namespace corv
