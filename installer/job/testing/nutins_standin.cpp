// A stand-in for the NuTCRACKER installation library, for the installer's tests only: it
// records each call, one line each, in the file named by CORV_NUTINS_RECORD, and fails the call
// named by CORV_NUTINS_FAIL (its error code is then NUTINS_ERR_COPY_FILES). It installs nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#define STANDIN_EXPORT extern "C" __declspec(dllexport)
#define STANDIN_CALL __stdcall
#else
#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#define STANDIN_CALL
#endif

namespace {

int g_lastError = 0;

int Call(const std::string& line, const char* name) {
    if (const char* record = std::getenv("CORV_NUTINS_RECORD")) {
        if (std::FILE* f = std::fopen(record, "ab")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }
    const char* fail = std::getenv("CORV_NUTINS_FAIL");
    if (fail && std::strcmp(fail, name) == 0) {
        g_lastError = 6;
        return 0;
    }
    return 1;
}

}  // namespace

STANDIN_EXPORT int STANDIN_CALL nutinsProcessHasRights(void) {
    return Call("nutinsProcessHasRights", "nutinsProcessHasRights");
}

STANDIN_EXPORT int STANDIN_CALL nutinsInstallOe(const char* product, const char* root,
                                                const char* component) {
    return Call(std::string("nutinsInstallOe|") + product + "|" + root + "|" + component,
                "nutinsInstallOe");
}

STANDIN_EXPORT int STANDIN_CALL nutinsSetPreferredXServer(const char* name) {
    return Call(std::string("nutinsSetPreferredXServer|") + name, "nutinsSetPreferredXServer");
}

STANDIN_EXPORT int STANDIN_CALL nutinsRegisterApp(const char* maker, const char* product, int major,
                                                  int minor) {
    return Call(std::string("nutinsRegisterApp|") + maker + "|" + product + "|" +
                    std::to_string(major) + "|" + std::to_string(minor),
                "nutinsRegisterApp");
}

STANDIN_EXPORT int STANDIN_CALL nutinsDeregisterApp(const char* maker, const char* product) {
    return Call(std::string("nutinsDeregisterApp|") + maker + "|" + product, "nutinsDeregisterApp");
}

STANDIN_EXPORT int STANDIN_CALL nutinsGetLastError(void) {
    return g_lastError;
}
