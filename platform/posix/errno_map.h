// The Win32 error number for an errno value (POSIX implementations only).
#pragma once

namespace corv {

long Win32ErrorFromErrno(int e);

}  // namespace corv
