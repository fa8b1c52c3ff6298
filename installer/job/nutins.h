// The calls of the NuTCRACKER installation library (nutins.dll), which lies outside this
// system and is loaded at run time. The names and the order of calls are fixed by the library's
// use; the argument lists are this installer's: a library that serves it implements exactly
// these. Every call returns non-zero on success.
#pragma once

#include <string>

#include "platform/dynlib.h"

#ifdef _WIN32
#define NUTINS_CALL __stdcall
#else
#define NUTINS_CALL
#endif

namespace corv::inst {

extern "C" {
// Whether the calling user may install or update the component.
typedef int(NUTINS_CALL* NutinsProcessHasRights)(void);
// Runs the component's install script: the product folder ("NuTC 7.5"), the root folder of
// the installation (default "C:\NuTCROOT") and the folder the component's files were put in.
typedef int(NUTINS_CALL* NutinsInstallOe)(const char* productFolder, const char* rootFolder,
                                          const char* componentFolder);
typedef int(NUTINS_CALL* NutinsSetPreferredXServer)(const char* name);
typedef int(NUTINS_CALL* NutinsRegisterApp)(const char* maker, const char* product, int major,
                                            int minor);
typedef int(NUTINS_CALL* NutinsDeregisterApp)(const char* maker, const char* product);
// The error of the last failed call: one of the codes below.
typedef int(NUTINS_CALL* NutinsGetLastError)(void);
}

enum NutinsError {
    NUTINS_ERR_TMP_DIR = 1,
    NUTINS_ERR_OE_STAGE_DIR = 2,
    NUTINS_ERR_OE_ROOT_DIR = 3,
    NUTINS_ERR_CONFIG_FILE = 4,
    NUTINS_ERR_SHRT_TMP_DIR = 5,
    NUTINS_ERR_COPY_FILES = 6,
    NUTINS_ERR_CHILD_PROCESS = 7,
    NUTINS_ERR_CREATE_PROCESS = 8,
};

// "NUTINS_ERR_TMP_DIR", ..., or "Unknown error".
const char* NutinsErrorName(int code);

// The library, loaded by name or path; each call is looked up when the library is loaded.
class CNutins {
  public:
    // Returns a Win32 error number; *message says what is missing.
    long Load(const std::string& nameOrPath, std::string* message);
    bool IsLoaded() const { return m_hasRights != nullptr; }

    bool HasRights() const { return m_hasRights() != 0; }
    bool InstallOe(const std::string& product, const std::string& root,
                   const std::string& component) const {
        return m_installOe(product.c_str(), root.c_str(), component.c_str()) != 0;
    }
    bool SetPreferredXServer(const std::string& name) const {
        return m_setXServer(name.c_str()) != 0;
    }
    bool RegisterApp(const std::string& maker, const std::string& product, int major,
                     int minor) const {
        return m_register(maker.c_str(), product.c_str(), major, minor) != 0;
    }
    bool DeregisterApp(const std::string& maker, const std::string& product) const {
        return m_deregister(maker.c_str(), product.c_str()) != 0;
    }
    std::string LastErrorName() const { return NutinsErrorName(m_lastError()); }

  private:
    DynamicLibrary m_library;  // stays loaded: its calls may be needed up to the end
    NutinsProcessHasRights m_hasRights = nullptr;
    NutinsInstallOe m_installOe = nullptr;
    NutinsSetPreferredXServer m_setXServer = nullptr;
    NutinsRegisterApp m_register = nullptr;
    NutinsDeregisterApp m_deregister = nullptr;
    NutinsGetLastError m_lastError = nullptr;
};

}  // namespace corv::inst
