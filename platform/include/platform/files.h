// File system access. Paths use the program's Windows form ("C:\dir\file"); natively the
// backslashes are read as slashes, so portable logic builds paths one way only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace corv {

std::string NativePath(const std::string& path);
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Creates one folder; returns a Win32 error number (kErrAlreadyExists when it is there).
long MakeDirectory(const std::string& path);
long RemoveFile(const std::string& path);
long RenameFile(const std::string& from, const std::string& to);
long LastFileError();  // the error of the last failed call on this thread
// Folder of the running program file, without the trailing separator.
std::string ProgramPath();
// The running program file.
std::string ProgramFile();
// Reads a whole file; false when it cannot be opened or a read fails part way.
bool ReadFileText(const std::string& path, std::string* out);
// The reading loop of ReadFileText: appends chunks from `read` (which returns 0 or a Win32
// error number and sets *got, 0 at the end) to *out until the end. On a failed read *out is
// cut back to what it held before, *error gets the error and the result is false.
bool ReadAllChunks(const std::function<long(char* buffer, size_t size, size_t* got)>& read,
                   std::string* out, long* error);
// fopen with the program's path rules (wide names on Windows, shared for reading and writing
// by others). nullptr on failure, with LastFileError() set.
FILE* OpenFile(const std::string& path, const char* mode);
std::string FolderOf(const std::string& path);  // up to the last backslash, without it
std::string WithTrailingBackslash(const std::string& folder);

}  // namespace corv
