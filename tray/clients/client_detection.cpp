#include "tray/clients/client_detection.h"

#include <cstring>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "tray/clients/client_values.h"
#include "tray/core/log_file.h"

namespace corv {

namespace {

bool Opens(RegRoot root, const char* path) {
    RegKey key;
    return key.Open(root, path, kRegRead) == kOk;
}

struct Messenger {
    const char* key;
    const char* program;  // file in the installation folder
    const char* label;    // in the log lines
};

bool Detect(const Messenger& m, const VersionReader& reader, std::string* version) {
    CLogFile& log = TheLog();
    RegKey key;
    std::string folder;
    if (key.Open(RegRoot::LocalMachine, m.key, kRegRead) == kOk &&
        key.QueryString("InstallationDirectory", &folder, 260) == kOk && !folder.empty()) {
        log.Log("%s InstallationDirectory: %s\n", m.label, folder.c_str());
        std::string path = folder + "\\" + m.program;
        if (PathExists(path)) {
            *version = GetFileVersionString(path, reader);
            log.Log("%s file version: %s\n", m.label, version->c_str());
        }
    }
    return Opens(RegRoot::CurrentUser, m.key);
}

const Messenger kMsn = {kMsnMessengerKey, "msnmsgr.exe", "MSN Messenger"};
const Messenger kWindowsMessenger = {kMessengerServiceKey, "msmsgs.exe", "Windows Messenger"};

}  // namespace

std::string GetFileVersionString(const std::string& path, const VersionReader& reader) {
    std::string version = reader ? reader(path) : FileVersion(path);
    return version.empty() ? "<NOT SET>" : version;
}

bool VersionAtLeast(const std::string& version, const std::string& floor) {
    return std::strcmp(version.c_str(), floor.c_str()) >= 0;
}

bool IsMsnMessengerSetUp() {
    return Opens(RegRoot::CurrentUser, kMsnMessengerKey);
}

bool IsWindowsMessengerSetUp() {
    return Opens(RegRoot::CurrentUser, kMessengerServiceKey);
}

bool DetectEconf() {
    return Opens(RegRoot::LocalMachine, kEconfKey);
}

bool DetectXLite() {
    return Opens(RegRoot::CurrentUser, kXLiteKey) || Opens(RegRoot::CurrentUser, kXLiteFwdKey);
}

bool ClientDetection::DetectMsnMessenger() {
    return Detect(kMsn, reader_, &msnVersion_);
}

bool ClientDetection::DetectWindowsMessenger() {
    return Detect(kWindowsMessenger, reader_, &windowsVersion_);
}

bool ClientDetection::IsMsnMessenger7OrLater() {
    if (msnVersion_.empty() && !DetectMsnMessenger()) return false;
    return VersionAtLeast(msnVersion_, "7.0");
}

bool ClientDetection::IsWindowsMessenger5OrLater() {
    if (windowsVersion_.empty() && !DetectWindowsMessenger()) return false;
    return VersionAtLeast(windowsVersion_, "5.0");
}

}  // namespace corv
