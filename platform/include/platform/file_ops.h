// File-system operations beyond files.h: sizes, free space, copies, folders, the current
// directory. Results are Win32 error numbers on every platform.
#pragma once

#include <cstdint>
#include <string>

namespace corv {

long FileSizeOf(const std::string& path, uint64_t* size);

struct DiskSpace {
    uint64_t total = 0;
    uint64_t free = 0;
    uint64_t available = 0;  // what the caller may use (quotas)
};
// Space of the drive (file system) that holds `path`.
long DiskSpaceOf(const std::string& path, DiskSpace* out);

long CopyFileTo(const std::string& from, const std::string& to, bool overwrite);
// Moves `from` over `to`, replacing an existing `to` in one step where the system allows.
long ReplaceFileBy(const std::string& from, const std::string& to);
long RemoveFolder(const std::string& path);  // an empty folder only
// Creates or truncates the file and writes all bytes.
long WriteFileBytes(const std::string& path, const std::string& data);
// Opens the file for writing without truncating it, creating it when absent.
long TouchFile(const std::string& path, bool* created);

std::string CurrentFolder();
long ChangeFolder(const std::string& path);
// ChangeFolder for a path from outside. A path over the system's limit for the current folder
// (260 UTF-16 units, counting the backslash it is given and the terminating zero) gets
// kErrFilenameExcedRange and one that is no folder kErrDirectory, before the change is tried:
// some systems break on such a change instead of refusing it.
long SetCurrentFolder(const std::string& path);
constexpr size_t kCurrentFolderLimit = 260;
// The temporary folder, without a trailing separator.
std::string TempFolder();

}  // namespace corv
