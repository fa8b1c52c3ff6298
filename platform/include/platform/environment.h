// The process environment and the identity of the calling thread.
#pragma once

#include <string>

namespace corv {

// Sets a variable of this process's environment (seen by libraries it loads later).
// Returns a Win32 error number, 0 on success.
long SetEnv(const std::string& name, const std::string& value);
// Separator of the folders in PATH: ";" on Windows, ":" elsewhere.
const char* PathListSeparator();
// The system's id of the calling thread.
unsigned CurrentThreadId();
// The raw command line after the program name, as the user gave it (Windows); natively the
// arguments arrive through main and this is empty.
std::string RawCommandLineParameters();

}  // namespace corv
