#include <windows.h>

#include <vector>

#include "platform/sync.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv {

namespace {
OsPlatform PlatformOf(DWORD id) {
    switch (id) {
        case VER_PLATFORM_WIN32s:
            return OsPlatform::Win32s;
        case VER_PLATFORM_WIN32_WINDOWS:
            return OsPlatform::Windows9x;
        case VER_PLATFORM_WIN32_NT:
            return OsPlatform::NT;
        case 3:
            return OsPlatform::CE;
        default:
            return OsPlatform::Unknown;
    }
}
}  // namespace

bool GetOsVersion(OsVersion* out) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
    out->platform = PlatformOf(info.dwPlatformId);
    out->major = info.dwMajorVersion;
    out->minor = info.dwMinorVersion;
    out->build = info.dwBuildNumber & 0xFFFF;
    return true;
}

bool GetTrueOsVersion(OsVersion* out) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto fn = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                          reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                    : nullptr;
    if (!fn) return false;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (fn(&info) != 0) return false;
    out->platform = PlatformOf(info.dwPlatformId);
    out->major = info.dwMajorVersion;
    out->minor = info.dwMinorVersion;
    out->build = info.dwBuildNumber & 0xFFFF;
    return true;
}

std::string ErrorText(long code) {
    wchar_t* buf = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::string text;
    if (n && buf) text = Narrow(std::wstring(buf, n));
    if (buf) LocalFree(buf);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) text = "Unknown error " + std::to_string(code);
    if (text.size() > 1023) text.resize(1023);
    return text;
}

long LastError() {
    return static_cast<long>(GetLastError());
}

bool IsAdministrator() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    // Large enough for any real group list; the query fails cleanly if it is not.
    std::vector<BYTE> buf(1024);
    DWORD size = 0;
    bool result = false;
    if (!GetTokenInformation(token, TokenGroups, buf.data(), static_cast<DWORD>(buf.size()),
                             &size) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buf.resize(size);
        if (!GetTokenInformation(token, TokenGroups, buf.data(), size, &size)) size = 0;
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (size && AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins)) {
        auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buf.data());
        for (DWORD i = 0; i < groups->GroupCount && !result; ++i)
            result = EqualSid(groups->Groups[i].Sid, admins) != FALSE;
        FreeSid(admins);
    }
    CloseHandle(token);
    return result;
}

std::string FileVersion(const std::string& path) {
    std::wstring wpath = Widen(path);
    DWORD dummy = 0;
    DWORD size = GetFileVersionInfoSizeW(wpath.c_str(), &dummy);
    if (!size) return std::string();
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(wpath.c_str(), 0, size, data.data())) return std::string();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info)
        return std::string();
    return Format("%u.%u.%u-%04u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                  HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
}

unsigned CurrentProcessId() {
    return GetCurrentProcessId();
}
void SleepMs(unsigned ms) {
    Sleep(ms);
}
uint64_t TickCountMs() {
    // 32-bit tick count widened across its wrap (GetTickCount64 needs Vista). Reading the tick
    // under the lock keeps a thread that read it before the wrap from undoing another's wrap.
    // The lock is never destroyed: waits in static destructors still count time.
    static Mutex& mutex = *new Mutex;
    static uint64_t high = 0;
    static DWORD last = 0;
    std::lock_guard<Mutex> lock(mutex);
    DWORD now = GetTickCount();
    if (now < last) high += 1ull << 32;
    last = now;
    return high + now;
}

std::string GetEnv(const std::string& name) {
    wchar_t buf[32768];
    DWORD n = GetEnvironmentVariableW(Widen(name).c_str(), buf, 32768);
    if (n == 0 || n >= 32768) return std::string();
    return Narrow(std::wstring(buf, n));
}

}  // namespace corv
