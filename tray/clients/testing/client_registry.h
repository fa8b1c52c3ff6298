// Test support: the in-memory registry behind a layer that records every write and can make
// writes fail from a chosen one on, plus snapshots of the client programs' keys.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/memory_registry.h"
#include "platform/text.h"

namespace corv::test {

class RecordingRegistry : public RegistryBackend {
  public:
    RecordingRegistry() { SetRegistryBackend(this); }
    ~RecordingRegistry() override { SetRegistryBackend(nullptr); }

    MemoryRegistry& Memory() { return memory_; }
    // Writes (sets and deletes) into keys whose path holds `under` fail with access denied
    // after the first `count` of them from now; -1: none fail.
    void FailWritesAfter(long count, const std::string& under = "") {
        failAfter_ = count;
        under_ = under;
    }
    // "Set <key>\<name>" or "Delete <key>\<name>", for every write that went in.
    const std::vector<std::string>& Writes() const { return writes_; }
    void ClearWrites() { writes_.clear(); }

    long Open(RegRoot root, const std::string& path, unsigned access, Handle* out) override {
        return Wrap(root, path, memory_.Open(root, path, access, out), out);
    }
    long Create(RegRoot root, const std::string& path, unsigned access, Handle* out) override {
        return Wrap(root, path, memory_.Create(root, path, access, out), out);
    }
    void Close(Handle h) override {
        auto* k = static_cast<Key*>(h);
        memory_.Close(k->inner);
        delete k;
    }
    long Query(Handle h, const std::string& name, RegValue* out) override {
        return memory_.Query(Inner(h), name, out);
    }
    long Set(Handle h, const RegValue& value) override {
        if (long rc = Refused(h)) return rc;
        long rc = memory_.Set(Inner(h), value);
        if (rc == kOk) writes_.push_back("Set " + Path(h) + "\\" + value.name);
        return rc;
    }
    long DeleteValue(Handle h, const std::string& name) override {
        if (long rc = Refused(h)) return rc;
        long rc = memory_.DeleteValue(Inner(h), name);
        if (rc == kOk) writes_.push_back("Delete " + Path(h) + "\\" + name);
        return rc;
    }
    long DeleteTree(Handle h, const std::string& subkey) override {
        return memory_.DeleteTree(Inner(h), subkey);
    }
    long EnumSubkey(Handle h, uint32_t index, std::string* name) override {
        return memory_.EnumSubkey(Inner(h), index, name);
    }
    long EnumValue(Handle h, uint32_t index, RegValue* out) override {
        return memory_.EnumValue(Inner(h), index, out);
    }
    long ArmWatch(Handle h, bool subtree, void** watch) override {
        return memory_.ArmWatch(Inner(h), subtree, watch);
    }
    long WaitWatch(void* watch, unsigned timeoutMs) override {
        return memory_.WaitWatch(watch, timeoutMs);
    }
    void CloseWatch(void* watch) override { memory_.CloseWatch(watch); }

  private:
    struct Key {
        Handle inner;
        std::string path;
    };
    long Wrap(RegRoot root, const std::string& path, long rc, Handle* out) {
        if (rc == kOk) *out = new Key{*out, std::string(RegRootName(root)) + "\\" + path};
        return rc;
    }
    static Handle Inner(Handle h) { return static_cast<Key*>(h)->inner; }
    static const std::string& Path(Handle h) { return static_cast<Key*>(h)->path; }
    long Refused(Handle h) {
        if (failAfter_ < 0 || Path(h).find(under_) == std::string::npos) return kOk;
        if (failAfter_ == 0) return kErrAccessDenied;
        --failAfter_;
        return kOk;
    }

    MemoryRegistry memory_;
    std::vector<std::string> writes_;
    long failAfter_ = -1;
    std::string under_;
};

// A value's type and bytes as text, for comparisons that show what differs.
inline std::string Describe(const RegValue& v) {
    std::string s = "type " + std::to_string(static_cast<int>(v.type)) + ":";
    for (uint8_t b : v.data) s += Format(" %02x", b);
    return s;
}

// Every value of the keys, by "<root>\<key>\<lower-case name>".
inline std::map<std::string, std::string> Snapshot(
    const std::vector<std::pair<RegRoot, std::string>>& keys) {
    std::map<std::string, std::string> out;
    for (const auto& [root, path] : keys) {
        RegKey key;
        if (key.Open(root, path, kRegRead) != kOk) continue;
        for (RegValue& v : key.Values()) {
            std::string name =
                std::string(RegRootName(root)) + "\\" + path + "\\" + ToLower(v.name);
            out[name] = Describe(v);
        }
    }
    return out;
}

}  // namespace corv::test
