#include "installer/sys/file_util.h"

#include "installer/sys/exceptions.h"
#include "installer/sys/inst_log.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

uint64_t FileSize(const std::string& path) {
    uint64_t size = 0;
    long rc = kOk;
    try {
        rc = FileSizeOf(path, &size);
    } catch (...) {
        throw CInstallException(Format(
            "Could not get file size on %s \nReason: unknown exception occurred", path.c_str()));
    }
    if (rc != kOk) {
        std::string reason =
            Format("Invalid File Handle. GetLastError reports %u\n", static_cast<unsigned>(rc));
        throw CInstallException(
            Format("Could not get file size on %s \nReason: %s", path.c_str(), reason.c_str()));
    }
    return size;
}

bool DiskFreeSpace(const std::string& path, DiskSpace* out) {
    // A folder that does not exist yet (a fresh install's target) lies on the drive of its
    // nearest existing parent.
    std::string existing = path;
    while (!existing.empty() && !PathExists(existing)) {
        std::string parent = FolderOf(existing);
        if (parent == existing) break;
        existing = parent;
    }
    // "C:" alone names the drive's current folder; its root is meant.
    if (existing.size() == 2 && existing[1] == ':') existing += '\\';
    if (!existing.empty() && DiskSpaceOf(existing, out) == kOk) return true;
    InstLog("Could not get disk free info for %s!\n", path.c_str());
    return false;
}

bool HasForbiddenCharacter(const std::string& name) {
    return name.find_first_of(kForbiddenNameCharacters) != std::string::npos;
}

void CheckFileName(const std::string& name) {
    if (!HasForbiddenCharacter(name)) return;
    throw CInstallException(std::string("A filename cannot contain any of the characters ") +
                            kForbiddenNameCharacters + " \n\n" + name);
}

void CreateDirectoryTree(const std::string& path) {
    // Walk the parts after the drive ("C:") or share ("\\server\share") prefix.
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
        start = 2;
    } else if (path.rfind("\\\\", 0) == 0) {
        size_t server = path.find('\\', 2);
        size_t share =
            server == std::string::npos ? std::string::npos : path.find('\\', server + 1);
        start = share == std::string::npos ? path.size() : share;
    }
    size_t pos = start;
    while (pos < path.size()) {
        size_t next = path.find_first_of("\\/", pos + 1);
        std::string part = path.substr(0, next == std::string::npos ? path.size() : next);
        pos = next == std::string::npos ? path.size() : next;
        if (part.size() <= start || part.back() == '\\' || part.back() == '/') continue;
        if (PathExists(part)) {
            if (!IsDirectory(part))
                throw CInstallException(Format(
                    "Failed to create directory: %s. \n\nThere already exists a file with the same "
                    "name that is not a directory.",
                    part.c_str()));
            continue;
        }
        long rc = MakeDirectory(part);
        if (rc != kOk && !(rc == kErrAlreadyExists && IsDirectory(part)))
            throw CInstallException(Format("Could not create directory : %s", part.c_str()));
    }
}

void CopyFileChecked(const std::string& from, const std::string& to) {
    if (!PathExists(from) || IsDirectory(from))
        throw CInstallException(
            Format("Internal error: Source file does not exist: %s \n\n pwd: %s\n", from.c_str(),
                   CurrentFolder().c_str()));
    long rc = CopyFileTo(from, to, true);
    if (rc != kOk)
        throw CInstallException(
            Format("CopyFile failed, lasterror: %u\n", static_cast<unsigned>(rc)));
}

void RenameFileChecked(const std::string& from, const std::string& to) {
    if (RenameFile(from, to) != kOk)
        throw CInstallException(Format("Rename failed: %s\n", from.c_str()));
}

bool CanCreateFiles(const std::string& folder) {
    std::string base = WithTrailingBackslash(folder);
    std::string dir = base + "____test";
    long rc = MakeDirectory(dir);
    bool madeDir = rc == kOk;
    if (!madeDir && !(rc == kErrAlreadyExists && IsDirectory(dir))) {
        InstLog("User has not permission to make dir: %s\n", dir.c_str());
        return false;
    }
    // The file goes into the folder itself: a folder may allow subfolders but not files.
    // A file that was there before stays.
    std::string file = base + "dummy.txt";
    bool created = false;
    rc = TouchFile(file, &created);
    if (rc != kOk) {
        InstLog("User has not permission to create file: %s, reason: %s\n", file.c_str(),
                ErrorWithText(rc).c_str());
        if (madeDir) RemoveFolder(dir);
        return false;
    }
    if (created) RemoveFile(file);
    if (madeDir) RemoveFolder(dir);
    return true;
}

}  // namespace corv::inst
