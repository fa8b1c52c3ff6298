// File-system helpers of the installer: sizes, free space, names, folders, copies and the
// permission probe. Paths are in the Windows form.
#pragma once

#include <cstdint>
#include <string>

#include "platform/errors.h"
#include "platform/file_ops.h"

namespace corv::inst {

// The eight characters no file name may hold: / : * ? " < > |
constexpr const char* kForbiddenNameCharacters = "/:*?\"<>|";

// Throws CInstallException "Could not get file size on %s \nReason: %s".
uint64_t FileSize(const std::string& path);
// Total, free and caller-available space of the drive of `path`, which need not exist yet;
// false after logging
// "Could not get disk free info for %s!\n".
bool DiskFreeSpace(const std::string& path, DiskSpace* out);

bool HasForbiddenCharacter(const std::string& name);
// Throws CInstallException "A filename cannot contain any of the characters ..." naming the
// file when it holds one of them.
void CheckFileName(const std::string& name);

// Creates the folder and every missing parent. Throws CInstallException when a part cannot
// be created or is a file.
void CreateDirectoryTree(const std::string& path);
// Copies over an existing target. Throws CInstallException when the source is missing or the
// copy fails.
void CopyFileChecked(const std::string& from, const std::string& to);
// Throws CInstallException "Rename failed: %s\n".
void RenameFileChecked(const std::string& from, const std::string& to);

// Whether the user may create folders and files in `folder`: creates the folder "____test"
// and the file "dummy.txt" in it, then removes what it created. Failures are logged.
bool CanCreateFiles(const std::string& folder);

}  // namespace corv::inst
