#include "installer/manager/action.h"

#include "platform/text.h"

namespace corv::inst {

const char* ActionName(InstallAction action) {
    static const char* const kNames[] = {
        "NOTSET",      "INSTALL",      "UNINSTALL",          "UPGRADE",       "PATCH",
        "WRAPPER",     "MULTIINSTALL", "ERRORCONFIG",        "ERRORRUN",      "ERRORMSI",
        "ERRORUSR",    "ERRORSAME",    "ERRORNEWER",         "ERRORDISKFULL", "ERRORVERSION",
        "ERRORUPDATE", "ERRORCANCEL",  "ERRORNOTAPPLICABLE",
    };
    int code = static_cast<int>(action);
    return code >= 1 && code <= 17 ? kNames[code] : kNames[0];
}

std::string ActionText(InstallAction action) {
    return Format("%s (%d)", ActionName(action), static_cast<int>(action));
}

bool IsRun(InstallAction action) {
    int code = static_cast<int>(action);
    return code >= 1 && code <= 6;
}

bool IsUpdate(InstallAction action) {
    return action == InstallAction::UPGRADE || action == InstallAction::PATCH;
}

}  // namespace corv::inst
