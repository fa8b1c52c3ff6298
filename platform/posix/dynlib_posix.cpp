#include <dlfcn.h>

#include "platform/dynlib.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace corv {

DynamicLibrary::~DynamicLibrary() = default;

long DynamicLibrary::Load(const std::string& nameOrPath) {
    // A path in the program's form reads as this system's.
    handle_ = dlopen(NativePath(nameOrPath).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle_) {
        const char* e = dlerror();
        error_ = e ? e : "dlopen failed";
        return kErrFileNotFound;
    }
    return kOk;
}

void* DynamicLibrary::Symbol(const std::string& name) const {
    return handle_ ? dlsym(handle_, name.c_str()) : nullptr;
}

}  // namespace corv
