#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "errno_map.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/files.h"

namespace corv {

namespace {
long WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Win32ErrorFromErrno(errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return kOk;
}
}  // namespace

long FileSizeOf(const std::string& path, uint64_t* size) {
    struct stat st;
    if (stat(NativePath(path).c_str(), &st) != 0) return Win32ErrorFromErrno(errno);
    if (S_ISDIR(st.st_mode)) return kErrAccessDenied;
    *size = static_cast<uint64_t>(st.st_size);
    return kOk;
}

long DiskSpaceOf(const std::string& path, DiskSpace* out) {
    struct statvfs st;
    if (statvfs(NativePath(path).c_str(), &st) != 0) return Win32ErrorFromErrno(errno);
    out->total = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
    out->free = static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
    out->available = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
    return kOk;
}

long CopyFileTo(const std::string& from, const std::string& to, bool overwrite) {
    int in = open(NativePath(from).c_str(), O_RDONLY);
    if (in < 0) return Win32ErrorFromErrno(errno);
    int flags = O_WRONLY | O_CREAT | (overwrite ? O_TRUNC : O_EXCL);
    int out = open(NativePath(to).c_str(), flags, 0644);
    if (out < 0) {
        long e = Win32ErrorFromErrno(errno);
        close(in);
        return e;
    }
    long result = kOk;
    // Inside the kernel where it can: no pass of every byte through this process.
    bool copied = false;
#ifdef __linux__
    for (;;) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (n > 0) {
            copied = true;
            continue;
        }
        if (n == 0) {
            copied = true;
        } else if (errno == EINTR) {
            continue;
        } else if (!copied &&
                   (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP)) {
            break;  // not here: the plain loop below
        } else {
            result = Win32ErrorFromErrno(errno);
            copied = true;
        }
        break;
    }
#endif
    std::vector<char> chunk(copied ? 0 : size_t(1) << 18);
    for (; !copied;) {
        ssize_t n = read(in, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result = Win32ErrorFromErrno(errno);
            break;
        }
        if (n == 0) break;
        result = WriteAll(out, chunk.data(), static_cast<size_t>(n));
        if (result != kOk) break;
    }
    close(in);
    if (close(out) != 0 && result == kOk) result = Win32ErrorFromErrno(errno);
    return result;
}

long ReplaceFileBy(const std::string& from, const std::string& to) {
    if (std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0) return kOk;
    if (errno != EXDEV) return Win32ErrorFromErrno(errno);
    // Another file system: copied, then the source removed, as Windows does.
    long rc = CopyFileTo(from, to, true);
    if (rc == kOk && unlink(NativePath(from).c_str()) != 0) rc = Win32ErrorFromErrno(errno);
    return rc;
}

long RemoveFolder(const std::string& path) {
    return rmdir(NativePath(path).c_str()) == 0 ? kOk : Win32ErrorFromErrno(errno);
}

long WriteFileBytes(const std::string& path, const std::string& data) {
    int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return Win32ErrorFromErrno(errno);
    long result = WriteAll(fd, data.data(), data.size());
    if (close(fd) != 0 && result == kOk) result = Win32ErrorFromErrno(errno);
    return result;
}

long TouchFile(const std::string& path, bool* created) {
    std::string native = NativePath(path);
    int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
        *created = true;
        close(fd);
        return kOk;
    }
    if (errno != EEXIST) return Win32ErrorFromErrno(errno);
    *created = false;
    fd = open(native.c_str(), O_WRONLY);
    if (fd < 0) return Win32ErrorFromErrno(errno);
    close(fd);
    return kOk;
}

std::string CurrentFolder() {
    char buf[4096];
    return getcwd(buf, sizeof(buf)) ? std::string(buf) : std::string();
}

long ChangeFolder(const std::string& path) {
    return chdir(NativePath(path).c_str()) == 0 ? kOk : Win32ErrorFromErrno(errno);
}

std::string TempFolder() {
    const char* t = std::getenv("TMPDIR");
    std::string folder = t && *t ? t : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace corv
