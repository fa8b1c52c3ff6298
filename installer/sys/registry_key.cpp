#include "installer/sys/registry_key.h"

#include <cstdlib>

#include "installer/sys/exceptions.h"
#include "installer/sys/inst_log.h"
#include "installer/sys/text_util.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

struct RootName {
    std::string_view name;
    RegRoot root;
};

constexpr RootName kRootNames[] = {
    {"HKLM", RegRoot::LocalMachine},
    {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
    {"HKCU", RegRoot::CurrentUser},
    {"HKEY_CURRENT_USER", RegRoot::CurrentUser},
    {"HKCR", RegRoot::ClassesRoot},
    {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
    {"HKEY_USERS", RegRoot::Users},
    {"HKCC", RegRoot::CurrentConfig},
    {"HKEY_CURRENT_CONFIG", RegRoot::CurrentConfig},
};

bool FixedRoot(std::string_view name, RegRoot* root) {
    for (const auto& entry : kRootNames) {
        if (NoCase(name, entry.name)) {
            *root = entry.root;
            return true;
        }
    }
    return false;
}

// Splits "a\b\c" into "a\b" and "c".
void SplitLast(const std::string& path, std::string* parent, std::string* leaf) {
    size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) {
        parent->clear();
        *leaf = path;
    } else {
        *parent = path.substr(0, slash);
        *leaf = path.substr(slash + 1);
    }
}

}  // namespace

bool ResolveRootName(std::string_view name, InstallFor installFor, RegRoot* root) {
    if (FixedRoot(name, root)) return true;
    if (!NoCase(name, kTargetHkeyName)) return false;
    if (installFor == InstallFor::AllUsers) {
        *root = RegRoot::LocalMachine;
        return true;
    }
    if (installFor == InstallFor::OnlyForMe) {
        *root = RegRoot::CurrentUser;
        return true;
    }
    return false;
}

bool IsKnownRootName(std::string_view name) {
    RegRoot root;
    // Packages mostly name the root by $TargetHKEY: asked first.
    return NoCase(name, kTargetHkeyName) || FixedRoot(name, &root);
}

std::string CanonicalRootName(std::string_view name) {
    RegRoot root;
    if (FixedRoot(name, &root)) return RegRootName(root);
    if (NoCase(name, kTargetHkeyName)) return kTargetHkeyName;
    return std::string();
}

bool ParseDword(const std::string& text, uint32_t* value) {
    std::string t = Trim(text);
    if (t.empty() || t[0] == '-' || t[0] == '+') return false;
    int base = 10;
    size_t start = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        start = 2;
    }
    uint64_t v = 0;
    for (size_t i = start; i < t.size(); ++i) {
        char c = t[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (v > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

CRegistryKey::CRegistryKey(std::string root, std::string keyPath, std::string valueName)
    : m_root(std::move(root)), m_keyPath(std::move(keyPath)), m_valueName(std::move(valueName)) {
    if (m_root.empty() || m_keyPath.empty()) throw CInstallException("syntax error!");
}

CRegistryKey::CRegistryKey(std::string root, std::string keyPath, std::string valueName,
                           const std::string& typeName, std::string data)
    : CRegistryKey(std::move(root), std::move(keyPath), std::move(valueName)) {
    if (!ParseRegItemType(typeName, &m_type)) throw CInstallException(kUnknownTypeMessage);
    m_data = std::move(data);
}

CRegistryKey::CRegistryKey(std::string root, std::string keyPath, std::string valueName,
                           RegItemType type, std::string data)
    : CRegistryKey(std::move(root), std::move(keyPath), std::move(valueName)) {
    m_type = type;
    if (type != RegItemType::None) m_data = std::move(data);
}

const char kUnknownTypeMessage[] =
    "IllegalTypeException: CRegistryKey constructor: type is unknown";

bool ParseRegItemType(std::string_view name, RegItemType* type) {
    if (NoCase(name, "REG_SZ"))
        *type = RegItemType::String;
    else if (NoCase(name, "REG_DWORD"))
        *type = RegItemType::Dword;
    else
        return false;
    return true;
}

const char* RegItemTypeName(RegItemType type) {
    switch (type) {
        case RegItemType::String:
            return "REG_SZ";
        case RegItemType::Dword:
            return "REG_DWORD";
        default:
            return "";
    }
}

std::string CRegistryKey::TypeName() const {
    return RegItemTypeName(m_type);
}

std::string CRegistryKey::Path() const {
    std::string path = m_root + "\\" + m_keyPath;
    if (!m_valueName.empty()) path += "\\" + m_valueName;
    return path;
}

bool CRegistryKey::operator==(const CRegistryKey& o) const {
    return m_root == o.m_root && m_keyPath == o.m_keyPath && m_valueName == o.m_valueName &&
           m_type == o.m_type && m_data == o.m_data;
}

long CRegistryKey::Root(InstallFor installFor, RegRoot* root) const {
    if (ResolveRootName(m_root, installFor, root)) return kOk;
    InstLog("Unknown Registry key: %s\n", m_root.c_str());
    return kErrInvalidParameter;
}

long CRegistryKey::CreateKey(InstallFor installFor) const {
    RegRoot root;
    long rc = Root(installFor, &root);
    if (rc != kOk) return rc;
    RegKey key;
    return key.Create(root, m_keyPath);
}

long CRegistryKey::Write(InstallFor installFor) const {
    RegRoot root;
    long rc = Root(installFor, &root);
    if (rc != kOk) return rc;
    uint32_t number = 0;
    if (m_type == RegItemType::Dword && !ParseDword(m_data, &number)) return kErrInvalidData;
    RegKey key;
    rc = key.Create(root, m_keyPath);
    if (rc != kOk || IsKey()) return rc;
    switch (m_type) {
        case RegItemType::String:
            return key.SetString(m_valueName, m_data);
        case RegItemType::Dword:
            return key.SetDword(m_valueName, number);
        default:
            return kOk;  // a value name without type: nothing to write
    }
}

long CRegistryKey::Delete(InstallFor installFor) const {
    return Remove(installFor, false);
}

long CRegistryKey::DeleteTree(InstallFor installFor) const {
    return Remove(installFor, true);
}

long CRegistryKey::Remove(InstallFor installFor, bool tree) const {
    if (m_keyPath.empty()) {
        InstLog("Not able to delete regkey, keyname is empty.\n");
        return kErrInvalidParameter;
    }
    RegRoot root;
    long rc = Root(installFor, &root);
    if (rc != kOk) return rc;
    RegKey key;
    if (!IsKey()) {
        rc = key.Open(root, m_keyPath, kRegReadWrite);
        return rc != kOk ? rc : key.DeleteValue(m_valueName);
    }
    std::string parent, leaf;
    SplitLast(m_keyPath, &parent, &leaf);
    if (leaf.empty()) {
        InstLog("Not able to delete regkey, keyname is empty.\n");
        return kErrInvalidParameter;
    }
    if (!tree) {
        RegKey self;
        rc = self.Open(root, m_keyPath, kRegRead);
        if (rc != kOk) return rc;
        std::string subkey;
        RegValue value;
        if (self.EnumSubkey(0, &subkey) == kOk || self.EnumValue(0, &value) == kOk)
            return kErrKeyHasChildren;
    }
    rc = key.Open(root, parent, kRegReadWrite);
    return rc != kOk ? rc : key.DeleteTree(leaf);
}

bool CRegistryKey::Exists(InstallFor installFor) const {
    RegRoot root;
    if (Root(installFor, &root) != kOk) return false;
    RegKey key;
    if (key.Open(root, m_keyPath, kRegRead) != kOk) return false;
    if (IsKey()) return true;
    RegValue value;
    return key.QueryValue(m_valueName, &value) == kOk;
}

long CRegistryKey::Read(InstallFor installFor, std::string* data) const {
    RegRoot root;
    long rc = Root(installFor, &root);
    if (rc != kOk) return rc;
    RegKey key;
    rc = key.Open(root, m_keyPath, kRegRead);
    if (rc != kOk) return rc;
    RegValue value;
    rc = key.QueryValue(m_valueName, &value);
    if (rc != kOk) return rc;
    if (value.type == RegType::Sz || value.type == RegType::ExpandSz) {
        *data = ValueText(value);
        return kOk;
    }
    if (value.type == RegType::Dword && value.data.size() == 4) {
        *data = std::to_string(ValueDword(value));
        return kOk;
    }
    return kErrInvalidData;
}

}  // namespace corv::inst
