#include "errno_map.h"

#include <cerrno>

#include "platform/errors.h"

namespace corv {

long Win32ErrorFromErrno(int e) {
    switch (e) {
        case 0: return kOk;
        case ENOENT: return kErrFileNotFound;
        case ENOTDIR: return kErrPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS: return kErrAccessDenied;
        case EEXIST: return kErrAlreadyExists;
        case ENOTEMPTY: return 145;  // ERROR_DIR_NOT_EMPTY
        case ENOSPC: return 112;     // ERROR_DISK_FULL
        default: return 1000 + e;    // ErrorText shows strerror for these
    }
}

}  // namespace corv
