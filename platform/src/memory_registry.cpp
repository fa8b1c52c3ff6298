#include "platform/memory_registry.h"

#include <algorithm>
#include <chrono>

#include "platform/text.h"

namespace corv {

struct MemoryRegistry::Node {
    std::string name;
    Node* parent = nullptr;
    std::map<std::string, std::unique_ptr<Node>> children;  // by lower-case name
    std::vector<RegValue> values;                           // in the order first set
    uint64_t ownChanges = 0;
    uint64_t treeChanges = 0;

    RegValue* FindValue(const std::string& valueName) {
        for (auto& v : values)
            if (EqualsNoCase(v.name, valueName)) return &v;
        return nullptr;
    }
};

struct MemoryRegistry::OpenKey {
    RegRoot root;
    std::vector<std::string> parts;  // lower case
    unsigned access;
};

namespace {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string DeniedKey(RegRoot root, const std::vector<std::string>& parts) {
    std::string key = std::to_string(static_cast<int>(root));
    for (const auto& p : parts) key += "\\" + ToLower(p);
    return key;
}

constexpr long kErrKeyDeleted = 1018;

}  // namespace

MemoryRegistry::MemoryRegistry() {
    Clear();
}
MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::Clear() {
    std::lock_guard<Mutex> lock(mutex_);
    roots_.clear();
    for (RegRoot r : {RegRoot::LocalMachine, RegRoot::CurrentUser, RegRoot::ClassesRoot,
                      RegRoot::Users, RegRoot::CurrentConfig}) {
        roots_[r] = std::make_unique<Node>();
        roots_[r]->name = RegRootName(r);
    }
    denied_.clear();
    hiveFiles_.clear();
    mounted_.clear();
}

void MemoryRegistry::DenyAccess(RegRoot root, const std::string& path, unsigned access) {
    std::lock_guard<Mutex> lock(mutex_);
    denied_[DeniedKey(root, SplitPath(path))] |= access;
}

void MemoryRegistry::ClearDenied() {
    std::lock_guard<Mutex> lock(mutex_);
    denied_.clear();
}

void MemoryRegistry::Signal(RegRoot root, const std::string& path) {
    std::lock_guard<Mutex> lock(mutex_);
    if (Node* n = Walk(root, SplitPath(path), false)) Touch(n, true);
}

bool MemoryRegistry::KeyExists(RegRoot root, const std::string& path) {
    std::lock_guard<Mutex> lock(mutex_);
    return Walk(root, SplitPath(path), false) != nullptr;
}

MemoryRegistry::Node* MemoryRegistry::Walk(RegRoot root, const std::vector<std::string>& parts,
                                           bool create) {
    Node* node = roots_[root].get();
    for (const auto& part : parts) {
        auto it = node->children.find(ToLower(part));
        if (it == node->children.end()) {
            if (!create) return nullptr;
            auto child = std::make_unique<Node>();
            child->name = part;
            child->parent = node;
            Node* raw = child.get();
            node->children[ToLower(part)] = std::move(child);
            Touch(node, true);
            node = raw;
        } else {
            node = it->second.get();
        }
    }
    return node;
}

MemoryRegistry::Node* MemoryRegistry::Find(const OpenKey& key) {
    return Walk(key.root, key.parts, false);
}

void MemoryRegistry::Touch(Node* node, bool ownChange) {
    if (ownChange) ++node->ownChanges;
    for (Node* n = node; n; n = n->parent) ++n->treeChanges;
    changed_.notify_all();
}

long MemoryRegistry::CheckAccess(RegRoot root, const std::vector<std::string>& parts,
                                 unsigned access) {
    auto it = denied_.find(DeniedKey(root, parts));
    if (it != denied_.end() && (it->second & access)) return kErrAccessDenied;
    return kOk;
}

long MemoryRegistry::OpenOrCreate(RegRoot root, const std::string& path, unsigned access,
                                  bool create, Handle* out) {
    std::lock_guard<Mutex> lock(mutex_);
    auto parts = SplitPath(path);
    if (long rc = CheckAccess(root, parts, access)) return rc;
    if (!Walk(root, parts, create)) return kErrFileNotFound;
    auto* key = new OpenKey{root, {}, access};
    for (auto& p : parts) key->parts.push_back(ToLower(p));
    open_.insert(key);
    *out = key;
    return kOk;
}

long MemoryRegistry::Open(RegRoot root, const std::string& path, unsigned access, Handle* out) {
    return OpenOrCreate(root, path, access, false, out);
}

long MemoryRegistry::Create(RegRoot root, const std::string& path, unsigned access, Handle* out) {
    return OpenOrCreate(root, path, access, true, out);
}

void MemoryRegistry::Close(Handle h) {
    std::lock_guard<Mutex> lock(mutex_);
    open_.erase(static_cast<OpenKey*>(h));
    delete static_cast<OpenKey*>(h);
}

long MemoryRegistry::Query(Handle h, const std::string& name, RegValue* out) {
    std::lock_guard<Mutex> lock(mutex_);
    auto* key = static_cast<OpenKey*>(h);
    if (!(key->access & kRegRead)) return kErrAccessDenied;
    Node* node = Find(*key);
    if (!node) return kErrKeyDeleted;
    RegValue* v = node->FindValue(name);
    if (!v) return kErrFileNotFound;
    *out = *v;
    return kOk;
}

long MemoryRegistry::Set(Handle h, const RegValue& value) {
    std::lock_guard<Mutex> lock(mutex_);
    auto* key = static_cast<OpenKey*>(h);
    if (!(key->access & kRegWrite)) return kErrAccessDenied;
    Node* node = Find(*key);
    if (!node) return kErrKeyDeleted;
    if (RegValue* v = node->FindValue(value.name)) {
        v->type = value.type;
        v->data = value.data;
    } else {
        node->values.push_back(value);
    }
    Touch(node, true);
    return kOk;
}

long MemoryRegistry::DeleteValue(Handle h, const std::string& name) {
    std::lock_guard<Mutex> lock(mutex_);
    auto* key = static_cast<OpenKey*>(h);
    if (!(key->access & kRegWrite)) return kErrAccessDenied;
    Node* node = Find(*key);
    if (!node) return kErrKeyDeleted;
    auto it = std::find_if(node->values.begin(), node->values.end(),
                           [&](const RegValue& v) { return EqualsNoCase(v.name, name); });
    if (it == node->values.end()) return kErrFileNotFound;
    node->values.erase(it);
    Touch(node, true);
    return kOk;
}

long MemoryRegistry::DeleteTree(Handle h, const std::string& subkey) {
    std::lock_guard<Mutex> lock(mutex_);
    auto* key = static_cast<OpenKey*>(h);
    Node* node = Find(*key);
    if (!node) return kErrKeyDeleted;
    auto parts = SplitPath(subkey);
    if (parts.empty()) return kErrInvalidParameter;
    std::vector<std::string> full = key->parts;
    for (auto& p : parts) full.push_back(ToLower(p));
    if (long rc = CheckAccess(key->root, full, kRegWrite)) return rc;
    Node* target = Walk(key->root, full, false);
    if (!target) return kErrFileNotFound;
    if (full.size() == 1 && MountOf(key->root, full[0])) return kErrAccessDenied;
    Node* parent = target->parent;
    parent->children.erase(ToLower(target->name));
    Touch(parent, true);
    return kOk;
}

long MemoryRegistry::EnumSubkey(Handle h, uint32_t index, std::string* name) {
    std::lock_guard<Mutex> lock(mutex_);
    Node* node = Find(*static_cast<OpenKey*>(h));
    if (!node) return kErrKeyDeleted;
    if (index >= node->children.size()) return kErrNoMoreItems;
    auto it = node->children.begin();
    std::advance(it, index);
    *name = it->second->name;
    return kOk;
}

long MemoryRegistry::EnumValue(Handle h, uint32_t index, RegValue* out) {
    std::lock_guard<Mutex> lock(mutex_);
    Node* node = Find(*static_cast<OpenKey*>(h));
    if (!node) return kErrKeyDeleted;
    if (index >= node->values.size()) return kErrNoMoreItems;
    *out = node->values[index];
    return kOk;
}

struct MemoryRegistry::Watch {
    OpenKey key;
    bool subtree = false;
    uint64_t armedAt = 0;
};

uint64_t MemoryRegistry::Changes(const Watch& watch) {
    Node* n = Find(watch.key);
    if (!n) return ~0ull;  // deleted: counts as a change
    return watch.subtree ? n->treeChanges : n->ownChanges;
}

long MemoryRegistry::ArmWatch(Handle h, bool subtree, void** watch) {
    std::lock_guard<Mutex> lock(mutex_);
    auto* key = static_cast<OpenKey*>(h);
    if (!Find(*key)) return kErrKeyDeleted;
    auto* w = static_cast<Watch*>(*watch);
    if (!w) {
        w = new Watch;
        *watch = w;
    }
    w->key = *key;
    w->subtree = subtree;
    w->armedAt = Changes(*w);
    return kOk;
}

long MemoryRegistry::WaitWatch(void* watch, unsigned timeoutMs) {
    std::unique_lock<Mutex> lock(mutex_);
    auto* w = static_cast<Watch*>(watch);
    bool changed = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return Changes(*w) != w->armedAt; });
    return changed ? kOk : kWaitTimeout;
}

void MemoryRegistry::CloseWatch(void* watch) {
    delete static_cast<Watch*>(watch);
}

std::unique_ptr<MemoryRegistry::Node> MemoryRegistry::CopyTree(const Node& from) {
    auto copy = std::make_unique<Node>();
    copy->name = from.name;
    copy->values = from.values;
    for (const auto& [lower, child] : from.children) {
        auto c = CopyTree(*child);
        c->parent = copy.get();
        copy->children[lower] = std::move(c);
    }
    return copy;
}

const MemoryRegistry::Mount* MemoryRegistry::MountOf(RegRoot root, const std::string& lower) {
    for (const auto& m : mounted_)
        if (m.root == root && m.name == lower) return &m;
    return nullptr;
}

long MemoryRegistry::SaveHive(Handle h, const std::string& file) {
    std::lock_guard<Mutex> lock(mutex_);
    Node* node = Find(*static_cast<OpenKey*>(h));
    if (!node) return kErrKeyDeleted;
    std::string lowerFile = ToLower(file);
    if (hiveFiles_.count(lowerFile)) return kErrAlreadyExists;
    for (const auto& m : mounted_)
        if (m.file == lowerFile) return kErrAlreadyExists;
    hiveFiles_[lowerFile] = CopyTree(*node);
    return kOk;
}

long MemoryRegistry::LoadHive(RegRoot root, const std::string& name, const std::string& file) {
    std::lock_guard<Mutex> lock(mutex_);
    if (root != RegRoot::Users && root != RegRoot::LocalMachine) return kErrInvalidParameter;
    if (name.empty() || name.find('\\') != std::string::npos) return kErrInvalidParameter;
    std::string lowerFile = ToLower(file);
    for (const auto& m : mounted_)
        if (m.file == lowerFile) return kErrSharingViolation;
    auto it = hiveFiles_.find(lowerFile);
    if (it == hiveFiles_.end()) return kErrFileNotFound;
    std::string lowerName = ToLower(name);
    Node* top = roots_[root].get();
    if (top->children.count(lowerName)) return kErrAccessDenied;
    std::unique_ptr<Node> hive = std::move(it->second);
    hiveFiles_.erase(it);
    hive->name = name;
    hive->parent = top;
    top->children[lowerName] = std::move(hive);
    mounted_.push_back({root, lowerName, lowerFile});
    Touch(top, true);
    return kOk;
}

long MemoryRegistry::UnloadHive(RegRoot root, const std::string& name) {
    std::lock_guard<Mutex> lock(mutex_);
    std::string lowerName = ToLower(name);
    const Mount* mount = MountOf(root, lowerName);
    if (!mount) return kErrInvalidParameter;
    for (const OpenKey* key : open_)
        if (key->root == root && !key->parts.empty() && key->parts[0] == lowerName)
            return kErrAccessDenied;
    Node* top = roots_[root].get();
    auto child = top->children.find(lowerName);
    std::unique_ptr<Node> hive = std::move(child->second);
    top->children.erase(child);
    hive->parent = nullptr;
    hiveFiles_[mount->file] = std::move(hive);
    mounted_.erase(mounted_.begin() + (mount - mounted_.data()));
    Touch(top, true);
    return kOk;
}

ScopedMemoryRegistry::ScopedMemoryRegistry() {
    SetRegistryBackend(&registry_);
}
ScopedMemoryRegistry::~ScopedMemoryRegistry() {
    SetRegistryBackend(nullptr);
}

}  // namespace corv
