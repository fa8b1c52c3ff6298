#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "errno_map.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace corv {

namespace {
thread_local long t_lastError = 0;

long Result(int rc) {
    if (rc == 0) return kOk;
    t_lastError = Win32ErrorFromErrno(errno);
    return t_lastError;
}
}  // namespace

std::string NativePath(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long MakeDirectory(const std::string& path) {
    return Result(mkdir(NativePath(path).c_str(), 0777));
}
long RemoveFile(const std::string& path) {
    return Result(unlink(NativePath(path).c_str()));
}
long RenameFile(const std::string& from, const std::string& to) {
    return Result(std::rename(NativePath(from).c_str(), NativePath(to).c_str()));
}
long LastFileError() {
    return t_lastError;
}

FILE* OpenFile(const std::string& path, const char* mode) {
    FILE* f = std::fopen(NativePath(path).c_str(), mode);
    if (!f) t_lastError = Win32ErrorFromErrno(errno);
    return f;
}

std::string ProgramFile() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    return n <= 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

std::string ProgramPath() {
    std::string exe = ProgramFile();
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

bool ReadFileText(const std::string& path, std::string* out) {
    // One read into a buffer of the file's size; streams cost more than the parsing after.
    std::FILE* f = std::fopen(NativePath(path).c_str(), "rb");
    if (!f) {
        t_lastError = Win32ErrorFromErrno(errno);
        return false;
    }
    std::string data;
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && st.st_size > 0) data.resize(static_cast<size_t>(st.st_size));
    size_t got = data.empty() ? 0 : std::fread(&data[0], 1, data.size(), f);
    data.resize(got);
    // The file may have grown since; take the rest as well.
    char buf[65536];
    size_t more;
    while ((more = std::fread(buf, 1, sizeof(buf), f)) > 0) data.append(buf, more);
    bool failed = std::ferror(f) != 0;
    if (failed) t_lastError = Win32ErrorFromErrno(errno);
    std::fclose(f);
    if (failed) return false;
    *out = std::move(data);
    return true;
}

}  // namespace corv
