// The system facts of the install decision as a test sets them.
#pragma once

#include <map>
#include <string>

#include "installer/manager/install_system.h"
#include "platform/text.h"

namespace corv::inst::test {

class FakeSystem : public InstallSystem {
  public:
    bool admin = true;
    std::string sid = "S-1-5-21-100";
    std::map<std::string, unsigned> running;  // lower-case image name -> pid
    corv::DiskSpace disk{uint64_t(1) << 40, uint64_t(1) << 39, uint64_t(1) << 39};
    std::string programFiles;
    std::string windows = "Windows XP";

    bool InAdministratorsGroup() override { return admin; }
    std::string UserName() override { return "tester"; }
    std::string UserSid() override { return sid; }
    std::string WindowsVersion() override { return windows; }
    std::string InstallerVersion() override { return "3.0.1-0007"; }
    std::string FileVersion(const std::string&) override { return "not set"; }
    unsigned IsRunning(const std::string& image) override {
        auto it = running.find(ToLower(image));
        return it == running.end() ? 0 : it->second;
    }
    bool DiskSpace(const std::string&, corv::DiskSpace* out) override {
        *out = disk;
        return true;
    }
    std::string ProgramFilesFolder() override { return programFiles; }
};

}  // namespace corv::inst::test
