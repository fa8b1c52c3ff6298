// An in-memory registry for tests: case-insensitive names, subkeys listed in name order,
// values in the order they were first set, keys that refuse chosen access rights, and
// change signalling for waiters. Hive files live in memory too, by file name: a saved key
// can be loaded below HKEY_USERS or HKEY_LOCAL_MACHINE and unloaded back into its file.
#pragma once

#include <map>
#include <memory>
#include <set>

#include "platform/registry.h"
#include "platform/sync.h"

namespace corv {

class MemoryRegistry : public RegistryBackend {
  public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    // Opening or creating the key with any right in `access` fails with kErrAccessDenied.
    void DenyAccess(RegRoot root, const std::string& path, unsigned access = kRegReadWrite);
    void ClearDenied();
    void Clear();
    // Wakes the waiters of the key and of its parents, as a change would.
    void Signal(RegRoot root, const std::string& path);
    bool KeyExists(RegRoot root, const std::string& path);

    long Open(RegRoot root, const std::string& path, unsigned access, Handle* out) override;
    long Create(RegRoot root, const std::string& path, unsigned access, Handle* out) override;
    void Close(Handle h) override;
    long Query(Handle h, const std::string& name, RegValue* out) override;
    long Set(Handle h, const RegValue& value) override;
    long DeleteValue(Handle h, const std::string& name) override;
    long DeleteTree(Handle h, const std::string& subkey) override;
    long EnumSubkey(Handle h, uint32_t index, std::string* name) override;
    long EnumValue(Handle h, uint32_t index, RegValue* out) override;
    long ArmWatch(Handle h, bool subtree, void** watch) override;
    long WaitWatch(void* watch, unsigned timeoutMs) override;
    void CloseWatch(void* watch) override;
    long SaveHive(Handle h, const std::string& file) override;
    long LoadHive(RegRoot root, const std::string& name, const std::string& file) override;
    long UnloadHive(RegRoot root, const std::string& name) override;

  private:
    struct Node;
    struct OpenKey;
    struct Mount {
        RegRoot root;
        std::string name;  // lower case
        std::string file;  // lower case
    };
    static std::unique_ptr<Node> CopyTree(const Node& from);
    const Mount* MountOf(RegRoot root, const std::string& lowerName);
    struct Watch;
    uint64_t Changes(const Watch& watch);
    Node* Find(const OpenKey& key);
    Node* Walk(RegRoot root, const std::vector<std::string>& parts, bool create);
    void Touch(Node* node, bool ownChange);
    long CheckAccess(RegRoot root, const std::vector<std::string>& parts, unsigned access);
    long OpenOrCreate(RegRoot root, const std::string& path, unsigned access, bool create,
                      Handle* out);

    Mutex mutex_;
    ConditionVariable changed_;
    std::map<RegRoot, std::unique_ptr<Node>> roots_;
    std::map<std::string, unsigned> denied_;  // "root\\lower\\path" -> rights refused
    std::set<OpenKey*> open_;
    std::map<std::string, std::unique_ptr<Node>> hiveFiles_;  // by lower-case file name
    std::vector<Mount> mounted_;
};

// Installs a fresh MemoryRegistry as the process backend for the lifetime of the object.
class ScopedMemoryRegistry {
  public:
    ScopedMemoryRegistry();
    ~ScopedMemoryRegistry();
    MemoryRegistry& operator*() { return registry_; }
    MemoryRegistry* operator->() { return &registry_; }

  private:
    MemoryRegistry registry_;
};

}  // namespace corv
