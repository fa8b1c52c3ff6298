// The facts of the running system that the install decision reads, behind an interface so that
// tests can set them. Registry and files are read through the platform layer directly.
#pragma once

#include <string>

#include "platform/file_ops.h"

namespace corv::inst {

class InstallSystem {
  public:
    virtual ~InstallSystem() = default;
    // The process token holds the built-in Administrators group.
    virtual bool InAdministratorsGroup();
    virtual std::string UserName();
    virtual std::string UserSid();
    virtual std::string WindowsVersion();
    // The installer's own version, "%u.%u.%u-%04u"; "not set" when it has none.
    virtual std::string InstallerVersion();
    // A file's version, "%u.%u.%u-%04u"; "not set" when it has none.
    virtual std::string FileVersion(const std::string& path);
    // The id of another running process of this image name, 0 when none.
    virtual unsigned IsRunning(const std::string& imageName);
    virtual bool DiskSpace(const std::string& path, corv::DiskSpace* out);
    virtual std::string ProgramFilesFolder();
};

InstallSystem& RealInstallSystem();

}  // namespace corv::inst
