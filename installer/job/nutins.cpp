#include "installer/job/nutins.h"

#include "platform/dynlib.h"
#include "platform/errors.h"

namespace corv::inst {

const char* NutinsErrorName(int code) {
    static const char* const kNames[] = {
        "NUTINS_ERR_TMP_DIR",       "NUTINS_ERR_OE_STAGE_DIR",   "NUTINS_ERR_OE_ROOT_DIR",
        "NUTINS_ERR_CONFIG_FILE",   "NUTINS_ERR_SHRT_TMP_DIR",   "NUTINS_ERR_COPY_FILES",
        "NUTINS_ERR_CHILD_PROCESS", "NUTINS_ERR_CREATE_PROCESS",
    };
    return code >= 1 && code <= 8 ? kNames[code - 1] : "Unknown error";
}

long CNutins::Load(const std::string& nameOrPath, std::string* message) {
    DynamicLibrary* library = &m_library;
    long rc = library->IsLoaded() ? kOk : library->Load(nameOrPath);
    if (rc != kOk) {
        *message = "could not load " + nameOrPath + ": " + library->ErrorMessage();
        return rc;
    }
    auto find = [&](const char* name) {
        void* symbol = library->Symbol(name);
        if (!symbol && message->empty()) *message = std::string(name) + " is missing";
        return symbol;
    };
    message->clear();
    void* hasRights = find("nutinsProcessHasRights");
    void* installOe = find("nutinsInstallOe");
    void* setXServer = find("nutinsSetPreferredXServer");
    void* reg = find("nutinsRegisterApp");
    void* dereg = find("nutinsDeregisterApp");
    void* lastError = find("nutinsGetLastError");
    if (!message->empty()) return kErrInvalidParameter;
    m_hasRights = reinterpret_cast<NutinsProcessHasRights>(hasRights);
    m_installOe = reinterpret_cast<NutinsInstallOe>(installOe);
    m_setXServer = reinterpret_cast<NutinsSetPreferredXServer>(setXServer);
    m_register = reinterpret_cast<NutinsRegisterApp>(reg);
    m_deregister = reinterpret_cast<NutinsDeregisterApp>(dereg);
    m_lastError = reinterpret_cast<NutinsGetLastError>(lastError);
    return kOk;
}

}  // namespace corv::inst
