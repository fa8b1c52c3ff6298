// Registry access: a key handle over a process-wide backend (Win32 or in-memory).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/errors.h"

namespace corv {

enum class RegRoot { LocalMachine, CurrentUser, ClassesRoot, Users, CurrentConfig };

// "HKEY_LOCAL_MACHINE" and so on.
const char* RegRootName(RegRoot root);

enum class RegType : uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
};

enum RegAccess : unsigned { kRegRead = 1, kRegWrite = 2, kRegReadWrite = 3 };

// Strings are UTF-8 in memory; the Win32 backend stores them as the system's wide strings,
// so narrow and wide readers both see the right characters.
struct RegValue {
    std::string name;
    RegType type = RegType::None;
    std::vector<uint8_t> data;  // REG_SZ: the UTF-8 text without terminator; DWORD: 4 bytes LE
};

class RegistryBackend {
  public:
    using Handle = void*;
    virtual ~RegistryBackend() = default;

    virtual long Open(RegRoot root, const std::string& path, unsigned access, Handle* out) = 0;
    virtual long Create(RegRoot root, const std::string& path, unsigned access, Handle* out) = 0;
    virtual void Close(Handle h) = 0;
    virtual long Query(Handle h, const std::string& name, RegValue* out) = 0;
    virtual long Set(Handle h, const RegValue& value) = 0;
    virtual long DeleteValue(Handle h, const std::string& name) = 0;
    // Deletes the subkey and everything below it.
    virtual long DeleteTree(Handle h, const std::string& subkey) = 0;
    virtual long EnumSubkey(Handle h, uint32_t index, std::string* name) = 0;
    virtual long EnumValue(Handle h, uint32_t index, RegValue* out) = 0;
    // Change notification (see RegWatch): ArmWatch starts watching h for values set on it, and
    // with subtree on its subkeys too; *watch is null the first time and kept for the next
    // arming. WaitWatch returns kOk once a value was set after the latest arming, kWaitTimeout
    // when the time passed first.
    virtual long ArmWatch(Handle h, bool subtree, void** watch) = 0;
    virtual long WaitWatch(void* watch, unsigned timeoutMs) = 0;
    virtual void CloseWatch(void* watch) = 0;

    // Hives. Backends without them answer kErrNotSupported.
    // Writes h with everything below it to a new hive file (kErrAlreadyExists if it exists).
    virtual long SaveHive(Handle h, const std::string& file);
    // Mounts a hive file as the key `name` right below HKEY_USERS or HKEY_LOCAL_MACHINE.
    virtual long LoadHive(RegRoot root, const std::string& name, const std::string& file);
    // Writes the mounted hive back to its file and removes the key; fails while keys in it
    // are open.
    virtual long UnloadHive(RegRoot root, const std::string& name);
};

constexpr long kWaitTimeout = 258;

// The process-wide backend. Programs install the Win32 backend at start; native tests an in-memory
// one.
RegistryBackend& Registry();
void SetRegistryBackend(RegistryBackend* backend);  // not owned; nullptr restores the default

// Hives of the process backend. On Windows loading, unloading and saving need the backup
// and restore privileges enabled in the process token (see session.h).
long LoadHive(RegRoot root, const std::string& name, const std::string& file);
long UnloadHive(RegRoot root, const std::string& name);

// An open registry key; closed on destruction. Every result is a Win32 error number.
class RegKey {
  public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    long Open(RegRoot root, const std::string& path, unsigned access = kRegRead);
    long Create(RegRoot root, const std::string& path, unsigned access = kRegReadWrite);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

    // A string counts only when the value is REG_SZ (kErrInvalidData otherwise) and its text
    // is shorter than maxBytes (kErrMoreData otherwise). *out is left alone on every failure.
    long QueryString(const std::string& name, std::string* out, size_t maxBytes = 2048) const;
    // A number counts only when the value is REG_DWORD.
    long QueryDword(const std::string& name, uint32_t* out) const;
    long QueryInt(const std::string& name, int* out) const;
    long QueryValue(const std::string& name, RegValue* out) const;

    long SetString(const std::string& name, const std::string& value);
    long SetDword(const std::string& name, uint32_t value);
    long SetBinary(const std::string& name, const std::vector<uint8_t>& data);
    long SetValue(const RegValue& value);
    long DeleteValue(const std::string& name);
    long DeleteTree(const std::string& subkey);
    // Saves this key's tree as a hive file (see RegistryBackend::SaveHive).
    long SaveHive(const std::string& file) const;

    long EnumSubkey(uint32_t index, std::string* name) const;
    long EnumValue(uint32_t index, RegValue* out) const;
    std::vector<std::string> Subkeys() const;
    std::vector<RegValue> Values() const;

  private:
    friend class RegWatch;
    RegistryBackend::Handle handle_ = nullptr;
};

// Watches an open key for values being set. Arm before reading the values, and again after each
// wake-up before reading them again: a change made after arming is never lost, even one made
// before Wait is called.
class RegWatch {
  public:
    RegWatch() = default;
    ~RegWatch();
    RegWatch(const RegWatch&) = delete;
    RegWatch& operator=(const RegWatch&) = delete;

    long Arm(const RegKey& key, bool subtree);
    // kOk after a change since the latest Arm, kWaitTimeout when the time passed first.
    long Wait(unsigned timeoutMs);

  private:
    void* watch_ = nullptr;
};

// Registry value helpers for building values.
RegValue MakeStringValue(const std::string& name, const std::string& text);
RegValue MakeDwordValue(const std::string& name, uint32_t value);
std::string ValueText(const RegValue& v);  // REG_SZ/EXPAND_SZ data as text
uint32_t ValueDword(const RegValue& v);    // REG_DWORD data, 0 when malformed

}  // namespace corv
