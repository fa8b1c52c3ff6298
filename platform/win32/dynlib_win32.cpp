#include <windows.h>

#include "platform/dynlib.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv {

DynamicLibrary::~DynamicLibrary() = default;

long DynamicLibrary::Load(const std::string& nameOrPath) {
    handle_ = LoadLibraryW(Widen(nameOrPath).c_str());
    if (!handle_) {
        long rc = static_cast<long>(GetLastError());
        error_ = ErrorWithText(rc);
        return rc ? rc : 126;
    }
    return 0;
}

void* DynamicLibrary::Symbol(const std::string& name) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name.c_str()));
}

}  // namespace corv
