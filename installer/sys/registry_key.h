// A registry item of the installer: root name, key path, optional value name, type and data.
#pragma once

#include <string>
#include <string_view>

#include "platform/registry.h"

namespace corv::inst {

// Who the product is installed for; decides what "$TargetHKEY" means.
enum class InstallFor { Unset, AllUsers, OnlyForMe };

constexpr const char* kTargetHkeyName = "$TargetHKEY";

// The root name table ("HKLM", "HKEY_LOCAL_MACHINE", ..., "$TargetHKEY"), without regard to
// case. False for an unknown name, and for "$TargetHKEY" while InstallFor is unset.
bool ResolveRootName(std::string_view name, InstallFor installFor, RegRoot* root);
bool IsKnownRootName(std::string_view name);
// "HKEY_LOCAL_MACHINE" for "hklm" and so on; "$TargetHKEY" for that name; "" when unknown.
std::string CanonicalRootName(std::string_view name);

enum class RegItemType { None, String, Dword };

// "REG_SZ" or "REG_DWORD", in any case; false for any other type.
bool ParseRegItemType(std::string_view name, RegItemType* type);
const char* RegItemTypeName(RegItemType type);  // "REG_SZ", "REG_DWORD" or ""
extern const char kUnknownTypeMessage[];        // "IllegalTypeException: ..."

class CRegistryKey {
  public:
    CRegistryKey() = default;
    // The key itself (valueName empty) or a value without data. Throws CInstallException
    // "syntax error!" when the root or the key path is empty.
    CRegistryKey(std::string root, std::string keyPath, std::string valueName = std::string());
    // A value: typeName "REG_SZ" or "REG_DWORD" (any case); any other type throws
    // "IllegalTypeException: CRegistryKey constructor: type is unknown".
    CRegistryKey(std::string root, std::string keyPath, std::string valueName,
                 const std::string& typeName, std::string data);
    // A value of a known type, or for RegItemType::None the key or value without data.
    CRegistryKey(std::string root, std::string keyPath, std::string valueName, RegItemType type,
                 std::string data);

    const std::string& Root() const { return m_root; }
    const std::string& KeyPath() const { return m_keyPath; }
    const std::string& ValueName() const { return m_valueName; }
    RegItemType Type() const { return m_type; }
    const std::string& Data() const { return m_data; }
    std::string TypeName() const;  // "REG_SZ", "REG_DWORD" or ""
    bool IsKey() const { return m_valueName.empty(); }
    // "root\key" or "root\key\value", as the log shows it.
    std::string Path() const;

    // System operations; "$TargetHKEY" is resolved with installFor. Results are Win32 error
    // numbers; an unknown root is logged as "Unknown Registry key: %s\n".
    long CreateKey(InstallFor installFor) const;
    // Creates the key and writes the value with its type; a REG_DWORD's data is a decimal or
    // 0x-hexadecimal number (kErrInvalidData otherwise).
    long Write(InstallFor installFor) const;
    // Deletes the value, or for a key item the key when nothing remains in it: a key item
    // may name a key that other programs share ("HKCR\.x"), and removing an item never
    // removes what the package did not create. A key that still holds subkeys or values
    // gives kErrKeyHasChildren and stays.
    long Delete(InstallFor installFor) const;
    // Deletes the key with everything below it; only for cleanups that name their keys
    // themselves.
    long DeleteTree(InstallFor installFor) const;
    bool Exists(InstallFor installFor) const;
    // The value's present data as text (REG_SZ as is, REG_DWORD in decimal).
    long Read(InstallFor installFor, std::string* data) const;

    bool operator==(const CRegistryKey& o) const;
    bool operator!=(const CRegistryKey& o) const { return !(*this == o); }

  private:
    long Root(InstallFor installFor, RegRoot* root) const;
    long Remove(InstallFor installFor, bool tree) const;

    std::string m_root;
    std::string m_keyPath;
    std::string m_valueName;
    RegItemType m_type = RegItemType::None;
    std::string m_data;
};

// Parses a REG_DWORD data text: decimal or 0x-hexadecimal, at most 32 bits.
bool ParseDword(const std::string& text, uint32_t* value);

}  // namespace corv::inst
