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

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int g_lastError = 0;

// The process's environment as it is now (a library's runtime may keep its own copy).
std::string Env(const char* name) {
#ifdef _WIN32
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof(buf));
    return n > 0 && n < sizeof(buf) ? std::string(buf, n) : std::string();
#else
    const char* v = std::getenv(name);
    return v ? v : "";
#endif
}

int Call(const std::string& line, const char* name) {
    std::string record = Env("CORV_NUTINS_RECORD");
    if (!record.empty()) {
        if (std::FILE* f = std::fopen(record.c_str(), "ab")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }
    if (Env("CORV_NUTINS_FAIL") == name) {
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
