// Win32 error numbers, used as result codes on every platform.
#pragma once

namespace corv {

enum : long {
    kOk = 0,
    kErrFileNotFound = 2,
    kErrPathNotFound = 3,
    kErrAccessDenied = 5,
    kErrInvalidHandle = 6,
    kErrInvalidData = 13,  // a registry value of the wrong type or shape
    kErrInvalidParameter = 87,
    kErrInsufficientBuffer = 122,
    kErrAlreadyExists = 183,
    kErrFilenameExcedRange = 206,  // a name or path too long for the system
    kErrMoreData = 234,            // a value larger than the caller's bound
    kErrNoMoreItems = 259,
    kErrDirectory = 267,  // the name is not a folder
    kErrNotSupported = 50,
    kErrCallNotImplemented = 120,
};

}  // namespace corv
