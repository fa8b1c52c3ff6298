#include "installer/manager/install_system.h"

#include "installer/sys/file_util.h"
#include "installer/sys/process_util.h"
#include "installer/sys/system_info.h"
#include "platform/files.h"
#include "platform/system.h"

namespace corv::inst {

bool InstallSystem::InAdministratorsGroup() {
    return corv::IsAdministrator();
}

std::string InstallSystem::UserName() {
    std::string name = GetEnv("USERNAME");
    return name.empty() ? GetEnv("USER") : name;
}

std::string InstallSystem::UserSid() {
    return CurrentUserSid();
}

std::string InstallSystem::WindowsVersion() {
    return inst::WindowsVersion();
}

std::string InstallSystem::InstallerVersion() {
    return FileVersion(ProgramFile());
}

std::string InstallSystem::FileVersion(const std::string& path) {
    std::string version = corv::FileVersion(path);
    return version.empty() ? "not set" : version;
}

unsigned InstallSystem::IsRunning(const std::string& imageName) {
    return inst::IsRunning(imageName);
}

bool InstallSystem::DiskSpace(const std::string& path, corv::DiskSpace* out) {
    return DiskFreeSpace(path, out);
}

std::string InstallSystem::ProgramFilesFolder() {
    return GetProgramFilesDir();
}

InstallSystem& RealInstallSystem() {
    static InstallSystem system;
    return system;
}

}  // namespace corv::inst
