#include "platform/system.h"

namespace corv {

namespace {

std::string TableName(const OsVersion& v) {
    switch (v.platform) {
        case OsPlatform::Windows9x:
            if (v.major == 4 && v.minor < 10) {
                if (v.build == 950) return "Windows 95";
                if (v.build >= 951 && v.build <= 1080) return "Windows 95 SP1";
                if (v.build >= 1081) return "Windows 95 OSR2";
            }
            if (v.major == 4 && v.minor == 10) {
                if (v.build == 1998) return "Windows 98";
                if (v.build >= 1999 && v.build <= 2182) return "Windows 98 SP1";
                if (v.build >= 2183) return "Windows 98 SE";
            }
            if (v.major == 4 && v.minor == 90) return "Windows ME";
            break;
        case OsPlatform::NT:
            if (v.major == 3 && v.minor == 51) return "Windows NT 3.51";
            if (v.major == 4 && v.minor == 0) return "Windows NT 4";
            if (v.major == 5 && v.minor == 0) return "Windows 2000";
            if (v.major == 5 && v.minor == 1) return "Windows XP";
            break;
        case OsPlatform::CE:
            return "Windows CE";
        default:
            break;
    }
    return std::string();
}

// Newer NT versions, named only from the true version (compatibility shims may lie).
std::string LaterNtName(const OsVersion& v) {
    if (v.platform != OsPlatform::NT) return std::string();
    if (v.major == 5 && v.minor == 2) return "Windows Server 2003";
    if (v.major == 6 && v.minor == 0) return "Windows Vista";
    if (v.major == 6 && v.minor == 1) return "Windows 7";
    if (v.major == 6 && v.minor == 2) return "Windows 8";
    if (v.major == 6 && v.minor == 3) return "Windows 8.1";
    if (v.major == 10 && v.minor == 0) return v.build >= 22000 ? "Windows 11" : "Windows 10";
    return std::string();
}

}  // namespace

std::string WindowsVersionName(const OsVersion* version, const OsVersion* trueVersion) {
    if (version) {
        std::string name = TableName(*version);
        if (!name.empty()) return name;
    }
    if (trueVersion) {
        std::string name = LaterNtName(*trueVersion);
        if (!name.empty()) return name;
    }
    return "unknown Windows version";
}

std::string GetWindowsVersionName() {
    OsVersion v, t;
    bool haveV = GetOsVersion(&v);
    bool haveT = GetTrueOsVersion(&t);
    return WindowsVersionName(haveV ? &v : nullptr, haveT ? &t : nullptr);
}

std::string ErrorWithText(long code) {
    return "(" + std::to_string(code) + ") " + ErrorText(code);
}

}  // namespace corv
