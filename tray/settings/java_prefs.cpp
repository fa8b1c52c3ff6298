#include "tray/settings/java_prefs.h"

#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/settings/preferences.h"

namespace corv {

#define CORV_JAVA_PREFS_ROOT "Software\\JavaSoft\\Prefs\\corvane\\proxyclient"
const char* const kJavaPrefsKey = CORV_JAVA_PREFS_ROOT;
const char* const kJavaSipNode = CORV_JAVA_PREFS_ROOT "\\/Sip";
const char* const kJavaSocksNode = CORV_JAVA_PREFS_ROOT "\\/Socks";
const char* const kJavaTunnelNode = CORV_JAVA_PREFS_ROOT "\\/Tunnel";
const char* const kJavaUserNode = CORV_JAVA_PREFS_ROOT "\\/User";

std::string EncodeJavaPrefsName(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') {
            out += '/';
            out += c;
        } else if (c == '/') {
            out += '\\';
        } else if (c == '\\') {
            out += "//";
        } else {
            out += c;
        }
    }
    return out;
}

std::string DecodeJavaPrefsName(const std::string& stored) {
    std::string out;
    out.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        char c = stored[i];
        if (c == '/' && i + 1 < stored.size()) {
            char next = stored[i + 1];
            if (next >= 'A' && next <= 'Z') {
                out += next;
                ++i;
                continue;
            }
            if (next == '/') {
                out += '\\';
                ++i;
                continue;
            }
        }
        out += c == '\\' ? '/' : c;
    }
    return out;
}

bool IsCredentialName(const std::string& name) {
    std::string n = ToLower(name);
    return n == "passwd" || n == "hashed/password" || n == "hashedpassword" || n == "proxyauth" ||
           n == "proxy/auth";
}

long JavaKey::Open(RegRoot root, const std::string& path, unsigned access) {
    return key_.Open(root, path, access);
}

long JavaKey::Create(RegRoot root, const std::string& path) {
    return key_.Create(root, path, kRegReadWrite);
}

long JavaKey::SetStringValue(const std::string& name, const std::string& value) {
    std::string storedName = EncodeJavaPrefsName(name);
    std::string storedValue = EncodeJavaPrefsName(value);
    const std::string& shown =
        IsCredentialName(name) && !value.empty() ? std::string(kCredentialMask) : storedValue;
    TheLog().Log("javakey.SetStringValue(%s, %s)\n", storedName.c_str(), shown.c_str());
    return key_.SetString(storedName, storedValue);
}

long JavaKey::QueryStringValue(const std::string& name, std::string* out) const {
    std::string storedName = EncodeJavaPrefsName(name);
    TheLog().Log("javakey.QueryStringValue(%s, ...)\n", storedName.c_str());
    return key_.QueryString(storedName, out, kMaxValueBytes);
}

long JavaKey::QueryDecodedStringValue(const std::string& name, std::string* out) const {
    std::string stored;
    long rc = QueryStringValue(name, &stored);
    if (rc == kOk) *out = DecodeJavaPrefsName(stored);
    return rc;
}

long JavaKey::DeleteValue(const std::string& name) {
    long rc = key_.DeleteValue(EncodeJavaPrefsName(name));
    return rc == kErrFileNotFound ? kOk : rc;
}

}  // namespace corv
