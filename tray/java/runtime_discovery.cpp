#include "tray/java/runtime_discovery.h"

#include <cctype>
#include <vector>

#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/core/status_text.h"
#include "tray/java/registry_dump.h"

namespace corv {

const char* const kJreFamilyKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char* const kJdkFamilyKey = "SOFTWARE\\JavaSoft\\Java Development Kit";
const char* const kModernJreFamilyKey = "SOFTWARE\\JavaSoft\\JRE";
const char* const kModernJdkFamilyKey = "SOFTWARE\\JavaSoft\\JDK";

namespace {

const char kMinimumVersion[] = "1.4.2";
const size_t kCurrentVersionBytes = 30;
const size_t kJavaHomeBytes = 1024;

// A version key's JavaHome; false when the key or the value is missing or unreadable.
bool ReadJavaHome(const std::string& keyPath, std::string* home) {
    RegKey key;
    if (key.Open(RegRoot::LocalMachine, keyPath, kRegRead) != kOk) return false;
    return key.QueryString("JavaHome", home, kJavaHomeBytes) == kOk;
}

std::vector<std::string> SplitLines(const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos) end = list.size();
        items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::vector<unsigned long> VersionNumbers(const std::string& version) {
    std::vector<unsigned long> numbers;
    unsigned long n = 0;
    bool inNumber = false;
    for (char c : version) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            if (n < 100000000UL) n = n * 10 + static_cast<unsigned long>(c - '0');
            inNumber = true;
        } else if (inNumber) {
            numbers.push_back(n);
            n = 0;
            inNumber = false;
        }
    }
    if (inNumber) numbers.push_back(n);
    return numbers;
}

bool HasVm(const std::string& folder) {
    return PathExists(folder + "\\jvm.dll");
}

void SetFolders(const std::string& home, const std::string& sub, JavaRuntime* runtime) {
    runtime->JavaHome = home;
    runtime->JRE = home + sub + "\\bin\\java";
    runtime->JVM = home + sub + "\\bin\\client";
}

}  // namespace

int CompareJavaVersionText(const std::string& a, const std::string& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int CompareJavaVersionNumbers(const std::string& a, const std::string& b) {
    std::vector<unsigned long> na = VersionNumbers(a), nb = VersionNumbers(b);
    size_t n = na.size() > nb.size() ? na.size() : nb.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned long x = i < na.size() ? na[i] : 0;
        unsigned long y = i < nb.size() ? nb[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

bool FindPrivateJre(const std::string& home, JavaRuntime* runtime) {
    const std::string folder = WithTrailingBackslash(home);
    std::vector<std::string> found = ListSubfolders(folder, "jre-");
    if (found.empty()) return false;
    const std::string& name = found.front();
    runtime->JavaVersion = name.substr(4);
    SetFolders(folder + name, std::string(), runtime);
    return true;
}

bool FindLatestJre(const std::string& label, const std::string& keyPath, JavaRuntime* runtime) {
    CLogFile& log = TheLog();
    const char* l = label.c_str();
    log.Log("FindLatestJre: Searching for %s installations\n", l);
    RegKey family;
    if (family.Open(RegRoot::LocalMachine, keyPath, kRegRead) != kOk) {
        log.Log("FindLatestJre: Found no %s installation!\n", l);
        return false;
    }

    std::string currentVersion;
    std::string familyVersion;
    if (family.QueryString("CurrentVersion", &familyVersion, kCurrentVersionBytes) == kOk &&
        !familyVersion.empty()) {
        std::string javaHome;
        if (ReadJavaHome(keyPath + "\\" + familyVersion, &javaHome)) {
            size_t slash = javaHome.rfind('\\');
            int pos = slash == std::string::npos ? -1 : static_cast<int>(slash);
            std::string base = javaHome.substr(slash == std::string::npos ? 0 : slash + 1);
            int len = static_cast<int>(javaHome.size());
            log.Log("FindLatestJre: %s basename is %s\nJavaHome: %s\nlen: %d\npos: %d\n", l,
                    base.c_str(), javaHome.c_str(), len, pos);
            // A home folder named j2re1.4.2_05 with CurrentVersion 1.4 gives 1.4.2_05.
            size_t at = base.find(familyVersion);
            if (at != std::string::npos) currentVersion = base.substr(at);
            log.Log("FindLatestJre: Current %s version is %s\nJavaHome: %s\nlen: %d\npos: %d\n", l,
                    currentVersion.c_str(), javaHome.c_str(), len,
                    at == std::string::npos ? -1 : static_cast<int>(at));
        }
    }
    family.Close();

    std::string latest = currentVersion;
    if (latest.empty() || CompareJavaVersionText(latest, kMinimumVersion) < 0) {
        std::string list = EnumSubkeys(RegRoot::LocalMachine, keyPath);
        if (list.empty()) {
            log.Log("FindLatestJre: Found no %s installation!\n", l);
            return false;
        }
        // One line per name, as the program lists them; the names themselves stay escaped.
        std::string shown;
        for (const std::string& name : SplitLines(list))
            shown += (shown.empty() ? "" : "\n") + EscapeControls(name);
        log.LogText("FindLatestJre: " + label + " list is " + shown + "\n");
        for (const std::string& name : SplitLines(list)) {
            if (name.size() == 3) {
                log.Log("FindLatestJre: Skipping master version key: %s\n", name.c_str());
            } else if (CompareJavaVersionText(name, latest) > 0) {
                latest = name;
                log.Log("FindLatestJre: New latest version: %s\n", latest.c_str());
            } else {
                log.Log("FindLatestJre: Latest version %s is newer than or equal to %s\n",
                        latest.c_str(), name.c_str());
            }
        }
        if (CompareJavaVersionText(latest, kMinimumVersion) < 0) {
            log.Log("FindLatestJre: Latest %s version too old %s\n", l, latest.c_str());
            return false;
        }
    }

    runtime->JavaVersion = latest;
    log.Log("FindLatestJre: Latest %s version is %s\n", l, latest.c_str());
    std::string javaHome;
    if (!ReadJavaHome(keyPath + "\\" + latest, &javaHome)) {
        log.Log("FindLatestJre: No JavaHome for %s %s\n", l, latest.c_str());
        return false;
    }
    SetFolders(javaHome, EqualsNoCase(label, "JDK") ? "\\jre" : "", runtime);
    return true;
}

bool FindModernJre(const std::string& label, const std::string& keyPath, JavaRuntime* runtime) {
    CLogFile& log = TheLog();
    const char* l = label.c_str();
    log.Log("FindModernJre: Searching for %s 9 or later installations in %s\n", l, keyPath.c_str());
    std::string best, bestHome;
    bool bestHasVm = false;
    for (const std::string& name : SplitLines(EnumSubkeys(RegRoot::LocalMachine, keyPath))) {
        std::string home;
        if (!ReadJavaHome(keyPath + "\\" + name, &home) || home.empty()) continue;
        bool hasVm = HasVm(home + "\\bin\\client") || HasVm(home + "\\bin\\server");
        log.Log("FindModernJre: Found %s %s in %s%s\n", l, name.c_str(), home.c_str(),
                hasVm ? "" : " (no jvm.dll)");
        if (CompareJavaVersionNumbers(name, kMinimumVersion) < 0) continue;
        // A runtime that is really there beats a newer one whose files are gone.
        bool better = best.empty() || (hasVm && !bestHasVm) ||
                      (hasVm == bestHasVm && CompareJavaVersionNumbers(name, best) > 0);
        if (better) {
            best = name;
            bestHome = home;
            bestHasVm = hasVm;
        }
    }
    if (best.empty()) {
        log.Log("FindModernJre: Found no %s installation!\n", l);
        return false;
    }
    runtime->JavaVersion = best;
    SetFolders(bestHome, std::string(), runtime);
    log.Log("FindModernJre: Latest %s version is %s\n", l, best.c_str());
    return true;
}

void ChooseVmFolder(JavaRuntime* runtime) {
    if (HasVm(runtime->JVM)) return;
    std::string server = FolderOf(runtime->JVM) + "\\server";
    if (!HasVm(server)) return;
    TheLog().Log("VerifyJava: No client VM in %s, using the server VM in %s\n",
                 runtime->JVM.c_str(), server.c_str());
    runtime->JVM = server;
}

bool VerifyJava(const std::string& home, JavaRuntime* runtime) {
    runtime->javaOk = 1;
    bool found = FindPrivateJre(home, runtime) || FindLatestJre("JRE", kJreFamilyKey, runtime) ||
                 FindLatestJre("JDK", kJdkFamilyKey, runtime) ||
                 FindModernJre("JRE", kModernJreFamilyKey, runtime) ||
                 FindModernJre("JDK", kModernJdkFamilyKey, runtime);
    if (!found) {
        TheLog().Log("VerifyJava: Could not find Java 1.4.2 or newer on this machine\n");
        SetStatusText("Disabled: Java 1.4.2 is not installed");
        runtime->javaOk = 0;
        return false;
    }
    ChooseVmFolder(runtime);
    return true;
}

}  // namespace corv
