#include <share.h>
#include <windows.h>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace corv {

namespace {
thread_local long t_lastError = 0;
long Result(BOOL ok) {
    if (ok) return kOk;
    t_lastError = static_cast<long>(GetLastError());
    return t_lastError;
}
}  // namespace

std::string NativePath(const std::string& path) {
    return path;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    DWORD a = GetFileAttributesW(Widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

long MakeDirectory(const std::string& path) {
    return Result(CreateDirectoryW(Widen(path).c_str(), nullptr));
}
long RemoveFile(const std::string& path) {
    return Result(DeleteFileW(Widen(path).c_str()));
}
long RenameFile(const std::string& from, const std::string& to) {
    return Result(MoveFileW(Widen(from).c_str(), Widen(to).c_str()));
}
long LastFileError() {
    return t_lastError;
}

FILE* OpenFile(const std::string& path, const char* mode) {
    SetLastError(0);
    FILE* f = _wfsopen(Widen(path).c_str(), Widen(mode).c_str(), _SH_DENYNO);
    if (!f) {
        DWORD e = GetLastError();
        t_lastError = e ? static_cast<long>(e) : kErrFileNotFound;
    }
    return f;
}

std::string ProgramFile() {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    return Narrow(std::wstring(buf, n));
}

std::string ProgramPath() {
    std::string exe = ProgramFile();
    size_t slash = exe.rfind('\\');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

bool ReadFileText(const std::string& path, std::string* out) {
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        t_lastError = static_cast<long>(GetLastError());
        return false;
    }
    std::string data;
    LARGE_INTEGER size;
    if (GetFileSizeEx(h, &size) && size.QuadPart > 0)
        data.reserve(static_cast<size_t>(size.QuadPart));
    long error = 0;
    bool ok = ReadAllChunks(
        [h](char* buffer, size_t bytes, size_t* got) -> long {
            DWORD n = 0;
            if (!ReadFile(h, buffer, static_cast<DWORD>(bytes), &n, nullptr))
                return static_cast<long>(GetLastError());
            *got = n;
            return 0;
        },
        &data, &error);
    CloseHandle(h);
    if (!ok) {
        t_lastError = error;
        return false;
    }
    *out = std::move(data);
    return true;
}

}  // namespace corv
