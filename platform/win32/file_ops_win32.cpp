#include <windows.h>

#include <algorithm>

#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace corv {

namespace {
long Result(BOOL ok) {
    return ok ? kOk : static_cast<long>(GetLastError());
}
}  // namespace

long FileSizeOf(const std::string& path, uint64_t* size) {
    HANDLE h =
        CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<long>(GetLastError());
    DWORD high = 0;
    DWORD low = GetFileSize(h, &high);
    long result = kOk;
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        result = static_cast<long>(GetLastError());
    else
        *size = (static_cast<uint64_t>(high) << 32) | low;
    CloseHandle(h);
    return result;
}

long DiskSpaceOf(const std::string& path, DiskSpace* out) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(Widen(path).c_str(), &available, &total, &free))
        return static_cast<long>(GetLastError());
    out->total = total.QuadPart;
    out->free = free.QuadPart;
    out->available = available.QuadPart;
    return kOk;
}

long CopyFileTo(const std::string& from, const std::string& to, bool overwrite) {
    return Result(CopyFileW(Widen(from).c_str(), Widen(to).c_str(), overwrite ? FALSE : TRUE));
}

long ReplaceFileBy(const std::string& from, const std::string& to) {
    return Result(
        MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH));
}

long RemoveFolder(const std::string& path) {
    return Result(RemoveDirectoryW(Widen(path).c_str()));
}

long WriteFileBytes(const std::string& path, const std::string& data) {
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<long>(GetLastError());
    long result = kOk;
    size_t done = 0;
    while (done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(h, data.data() + done, chunk, &written, nullptr) || written == 0) {
            result = static_cast<long>(GetLastError());
            break;
        }
        done += written;
    }
    if (!CloseHandle(h) && result == kOk) result = static_cast<long>(GetLastError());
    return result;
}

long TouchFile(const std::string& path, bool* created) {
    std::wstring wpath = Widen(path);
    HANDLE h = CreateFileW(wpath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        *created = true;
        CloseHandle(h);
        return kOk;
    }
    DWORD e = GetLastError();
    if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) return static_cast<long>(e);
    *created = false;
    h = CreateFileW(wpath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<long>(GetLastError());
    CloseHandle(h);
    return kOk;
}

std::string CurrentFolder() {
    wchar_t buf[MAX_PATH * 4];
    DWORD n = GetCurrentDirectoryW(MAX_PATH * 4, buf);
    if (n == 0 || n >= MAX_PATH * 4) return std::string();
    return Narrow(std::wstring(buf, n));
}

long ChangeFolder(const std::string& path) {
    return Result(SetCurrentDirectoryW(Widen(path).c_str()));
}

std::string TempFolder() {
    wchar_t buf[MAX_PATH + 2];
    DWORD n = GetTempPathW(MAX_PATH + 2, buf);
    if (n == 0 || n > MAX_PATH + 1) return std::string();
    std::string folder = Narrow(std::wstring(buf, n));
    if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    return folder;
}

}  // namespace corv
