// The decided action of an installer start, or the reason it refuses.
#pragma once

#include <string>

namespace corv::inst {

enum class InstallAction : int {
    NOTSET = 0,
    INSTALL = 1,
    UNINSTALL = 2,
    UPGRADE = 3,
    PATCH = 4,
    WRAPPER = 5,
    MULTIINSTALL = 6,
    ERRORCONFIG = 7,
    ERRORRUN = 8,
    ERRORMSI = 9,
    ERRORUSR = 10,
    ERRORSAME = 11,
    ERRORNEWER = 12,
    ERRORDISKFULL = 13,
    ERRORVERSION = 14,
    ERRORUPDATE = 15,
    ERRORCANCEL = 16,
    ERRORNOTAPPLICABLE = 17,
};

// "INSTALL", ...; "NOTSET" for any number outside the table.
const char* ActionName(InstallAction action);
// "%s (%d)": name and number.
std::string ActionText(InstallAction action);
// INSTALL to MULTIINSTALL: something to do.
bool IsRun(InstallAction action);
// UPGRADE and PATCH work on an installed copy.
bool IsUpdate(InstallAction action);

}  // namespace corv::inst
