// Which client programs are on the machine and set up for this user, and the versions of the
// two messengers.
#pragma once

#include <functional>
#include <string>

namespace corv {

// The raw version resource of a file ("%u.%u.%u-%04u"), empty when it has none.
using VersionReader = std::function<std::string(const std::string& path)>;

// The file's version, or "<NOT SET>" when it has no version resource.
std::string GetFileVersionString(const std::string& path, const VersionReader& reader = nullptr);

// Byte-wise string comparison, as the version tests are made: "10.0" is before "7.0", and
// "<NOT SET>" after it.
bool VersionAtLeast(const std::string& version, const std::string& floor);

// The per-user keys whose presence means the program is set up for this user.
bool IsMsnMessengerSetUp();
bool IsWindowsMessengerSetUp();
bool DetectEconf();  // the eConf key opens for reading (HKLM)
bool DetectXLite();  // either X-Lite edition's key opens for reading (HKCU)

class ClientDetection {
  public:
    explicit ClientDetection(VersionReader reader = nullptr) : reader_(std::move(reader)) {}

    // Logs the installation folder and the program file's version when they are found;
    // the result is whether the program is set up for this user.
    bool DetectMsnMessenger();
    bool DetectWindowsMessenger();
    bool IsMsnMessenger7OrLater();
    bool IsWindowsMessenger5OrLater();

    const std::string& MsnMessengerVersion() const { return msnVersion_; }
    const std::string& WindowsMessengerVersion() const { return windowsVersion_; }

  private:
    VersionReader reader_;
    std::string msnVersion_;
    std::string windowsVersion_;
};

}  // namespace corv
