// Libraries loaded at run time.
#pragma once

#include <string>

namespace corv {

class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    ~DynamicLibrary();  // the library stays loaded: code may still run inside it
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // By name (system search) or by path. Returns a Win32 error number, 0 on success.
    long Load(const std::string& nameOrPath);
    bool IsLoaded() const { return handle_ != nullptr; }
    void* Symbol(const std::string& name) const;
    const std::string& ErrorMessage() const { return error_; }

  private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace corv
