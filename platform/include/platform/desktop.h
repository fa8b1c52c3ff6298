// Windows of other processes and the shell's document handling. The POSIX build has no
// desktop; there every call fails with kErrNotSupported.
#pragma once

#include <string>

namespace corv {

// Posts `message` (both parameters 0) to every top-level window of process `pid`, or, when
// `title` is given, only to those whose title equals it. *posted gets the number of windows.
long PostToProcessWindows(unsigned pid, unsigned message, const std::string* title,
                          unsigned* posted);

constexpr unsigned kWmClose = 0x0010;

// Opens a document with the shell's "open" verb. Returns 0, or the shell's error number.
long OpenDocument(const std::string& path);

}  // namespace corv
