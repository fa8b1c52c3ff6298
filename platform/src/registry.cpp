#include "platform/registry.h"

#include <cstring>

namespace corv {

RegistryBackend* DefaultRegistryBackend();  // per platform

namespace {
RegistryBackend* g_backend = nullptr;
}

const char* RegRootName(RegRoot root) {
    switch (root) {
        case RegRoot::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case RegRoot::CurrentUser:
            return "HKEY_CURRENT_USER";
        case RegRoot::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case RegRoot::Users:
            return "HKEY_USERS";
        case RegRoot::CurrentConfig:
            return "HKEY_CURRENT_CONFIG";
    }
    return "";
}

RegistryBackend& Registry() {
    return g_backend ? *g_backend : *DefaultRegistryBackend();
}

void SetRegistryBackend(RegistryBackend* backend) {
    g_backend = backend;
}

long RegistryBackend::SaveHive(Handle, const std::string&) {
    return kErrNotSupported;
}
long RegistryBackend::LoadHive(RegRoot, const std::string&, const std::string&) {
    return kErrNotSupported;
}
long RegistryBackend::UnloadHive(RegRoot, const std::string&) {
    return kErrNotSupported;
}

long LoadHive(RegRoot root, const std::string& name, const std::string& file) {
    return Registry().LoadHive(root, name, file);
}
long UnloadHive(RegRoot root, const std::string& name) {
    return Registry().UnloadHive(root, name);
}

RegKey::RegKey(RegKey&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

long RegKey::Open(RegRoot root, const std::string& path, unsigned access) {
    Close();
    return Registry().Open(root, path, access, &handle_);
}

long RegKey::Create(RegRoot root, const std::string& path, unsigned access) {
    Close();
    return Registry().Create(root, path, access, &handle_);
}

void RegKey::Close() {
    if (handle_) {
        Registry().Close(handle_);
        handle_ = nullptr;
    }
}

long RegKey::QueryValue(const std::string& name, RegValue* out) const {
    if (!handle_) return kErrInvalidHandle;
    return Registry().Query(handle_, name, out);
}

long RegKey::QueryString(const std::string& name, std::string* out, size_t maxBytes) const {
    RegValue v;
    long rc = QueryValue(name, &v);
    if (rc != kOk) return rc;
    if (v.type != RegType::Sz) return kErrInvalidData;
    std::string text = ValueText(v);
    if (text.size() >= maxBytes) return kErrMoreData;  // the terminator must fit too
    *out = std::move(text);
    return kOk;
}

long RegKey::QueryDword(const std::string& name, uint32_t* out) const {
    RegValue v;
    long rc = QueryValue(name, &v);
    if (rc != kOk) return rc;
    if (v.type != RegType::Dword || v.data.size() != 4) return kErrInvalidData;
    *out = ValueDword(v);
    return kOk;
}

long RegKey::QueryInt(const std::string& name, int* out) const {
    uint32_t v = 0;
    long rc = QueryDword(name, &v);
    if (rc == kOk) *out = static_cast<int>(v);
    return rc;
}

long RegKey::SetValue(const RegValue& value) {
    if (!handle_) return kErrInvalidHandle;
    return Registry().Set(handle_, value);
}

long RegKey::SetString(const std::string& name, const std::string& value) {
    return SetValue(MakeStringValue(name, value));
}

long RegKey::SetDword(const std::string& name, uint32_t value) {
    return SetValue(MakeDwordValue(name, value));
}

long RegKey::SetBinary(const std::string& name, const std::vector<uint8_t>& data) {
    RegValue v;
    v.name = name;
    v.type = RegType::Binary;
    v.data = data;
    return SetValue(v);
}

long RegKey::DeleteValue(const std::string& name) {
    if (!handle_) return kErrInvalidHandle;
    return Registry().DeleteValue(handle_, name);
}

long RegKey::DeleteTree(const std::string& subkey) {
    if (!handle_) return kErrInvalidHandle;
    return Registry().DeleteTree(handle_, subkey);
}

long RegKey::SaveHive(const std::string& file) const {
    if (!handle_) return kErrInvalidHandle;
    return Registry().SaveHive(handle_, file);
}

long RegKey::EnumSubkey(uint32_t index, std::string* name) const {
    if (!handle_) return kErrInvalidHandle;
    return Registry().EnumSubkey(handle_, index, name);
}

long RegKey::EnumValue(uint32_t index, RegValue* out) const {
    if (!handle_) return kErrInvalidHandle;
    return Registry().EnumValue(handle_, index, out);
}

std::vector<std::string> RegKey::Subkeys() const {
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; EnumSubkey(i, &name) == kOk; ++i) names.push_back(name);
    return names;
}

std::vector<RegValue> RegKey::Values() const {
    std::vector<RegValue> values;
    RegValue v;
    for (uint32_t i = 0; EnumValue(i, &v) == kOk; ++i) values.push_back(v);
    return values;
}

RegWatch::~RegWatch() {
    if (watch_) Registry().CloseWatch(watch_);
}

long RegWatch::Arm(const RegKey& key, bool subtree) {
    if (!key.handle_) return kErrInvalidHandle;
    return Registry().ArmWatch(key.handle_, subtree, &watch_);
}

long RegWatch::Wait(unsigned timeoutMs) {
    if (!watch_) return kErrInvalidHandle;
    return Registry().WaitWatch(watch_, timeoutMs);
}

RegValue MakeStringValue(const std::string& name, const std::string& text) {
    RegValue v;
    v.name = name;
    v.type = RegType::Sz;
    v.data.assign(text.begin(), text.end());
    return v;
}

RegValue MakeDwordValue(const std::string& name, uint32_t value) {
    RegValue v;
    v.name = name;
    v.type = RegType::Dword;
    v.data = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return v;
}

std::string ValueText(const RegValue& v) {
    std::string text(v.data.begin(), v.data.end());
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

uint32_t ValueDword(const RegValue& v) {
    if (v.data.size() < 4) return 0;
    return v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
           (static_cast<uint32_t>(v.data[3]) << 24);
}

}  // namespace corv
