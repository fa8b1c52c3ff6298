#include <windows.h>

#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace corv {

namespace {

HKEY RootKey(RegRoot root) {
    switch (root) {
        case RegRoot::LocalMachine:
            return HKEY_LOCAL_MACHINE;
        case RegRoot::CurrentUser:
            return HKEY_CURRENT_USER;
        case RegRoot::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case RegRoot::Users:
            return HKEY_USERS;
        case RegRoot::CurrentConfig:
            return HKEY_CURRENT_CONFIG;
    }
    return HKEY_CURRENT_USER;
}

REGSAM Sam(unsigned access) {
    REGSAM sam = 0;
    if (access & kRegRead) sam |= KEY_READ;
    if (access & kRegWrite) sam |= KEY_WRITE;
    return sam;
}

// Wide registry data to the in-memory form: strings become UTF-8 without terminator.
void FromWide(DWORD type, const std::vector<BYTE>& raw, DWORD size, RegValue* out) {
    out->type = static_cast<RegType>(type);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring w(reinterpret_cast<const wchar_t*>(raw.data()), size / sizeof(wchar_t));
        size_t nul = w.find(L'\0');
        if (nul != std::wstring::npos) w.resize(nul);
        std::string s = Narrow(w);
        out->data.assign(s.begin(), s.end());
    } else {
        out->data.assign(raw.begin(), raw.begin() + size);
    }
}

class Win32Registry : public RegistryBackend {
  public:
    long Open(RegRoot root, const std::string& path, unsigned access, Handle* out) override {
        HKEY h = nullptr;
        long rc = RegOpenKeyExW(RootKey(root), Widen(path).c_str(), 0, Sam(access), &h);
        if (rc == ERROR_SUCCESS) *out = h;
        return rc;
    }
    long Create(RegRoot root, const std::string& path, unsigned access, Handle* out) override {
        HKEY h = nullptr;
        long rc = RegCreateKeyExW(RootKey(root), Widen(path).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, Sam(access), nullptr, &h, nullptr);
        if (rc == ERROR_SUCCESS) *out = h;
        return rc;
    }
    void Close(Handle h) override { RegCloseKey(static_cast<HKEY>(h)); }

    long Query(Handle h, const std::string& name, RegValue* out) override {
        std::wstring wname = Widen(name);
        DWORD type = 0, size = 0;
        long rc =
            RegQueryValueExW(static_cast<HKEY>(h), wname.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        std::vector<BYTE> raw(size + sizeof(wchar_t));
        rc = RegQueryValueExW(static_cast<HKEY>(h), wname.c_str(), nullptr, &type, raw.data(),
                              &size);
        if (rc != ERROR_SUCCESS) return rc;
        out->name = name;
        FromWide(type, raw, size, out);
        return kOk;
    }

    long Set(Handle h, const RegValue& value) override {
        if (value.type == RegType::Sz || value.type == RegType::ExpandSz) {
            std::wstring w = Widen(ValueText(value));
            return RegSetValueExW(static_cast<HKEY>(h), Widen(value.name).c_str(), 0,
                                  static_cast<DWORD>(value.type),
                                  reinterpret_cast<const BYTE*>(w.c_str()),
                                  static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
        }
        return RegSetValueExW(static_cast<HKEY>(h), Widen(value.name).c_str(), 0,
                              static_cast<DWORD>(value.type), value.data.data(),
                              static_cast<DWORD>(value.data.size()));
    }

    long DeleteValue(Handle h, const std::string& name) override {
        return RegDeleteValueW(static_cast<HKEY>(h), Widen(name).c_str());
    }

    long DeleteTree(Handle h, const std::string& subkey) override {
        HKEY child = nullptr;
        std::wstring wsub = Widen(subkey);
        long rc =
            RegOpenKeyExW(static_cast<HKEY>(h), wsub.c_str(), 0, KEY_READ | KEY_WRITE, &child);
        if (rc != ERROR_SUCCESS) return rc;
        // Children first: RegDeleteKey refuses keys that still have subkeys.
        for (;;) {
            wchar_t name[256];
            DWORD len = 256;
            if (RegEnumKeyExW(child, 0, name, &len, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (DeleteTree(child, Narrow(name)) != ERROR_SUCCESS) break;
        }
        RegCloseKey(child);
        return RegDeleteKeyW(static_cast<HKEY>(h), wsub.c_str());
    }

    long EnumSubkey(Handle h, uint32_t index, std::string* name) override {
        wchar_t buf[256];
        DWORD len = 256;
        long rc = RegEnumKeyExW(static_cast<HKEY>(h), index, buf, &len, nullptr, nullptr, nullptr,
                                nullptr);
        if (rc == ERROR_SUCCESS) *name = Narrow(std::wstring(buf, len));
        return rc;
    }

    long EnumValue(Handle h, uint32_t index, RegValue* out) override {
        DWORD nameLen = 0, dataLen = 0;
        long rc = RegQueryInfoKeyW(static_cast<HKEY>(h), nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, &nameLen, &dataLen, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) return rc;
        std::vector<wchar_t> name(nameLen + 2);
        std::vector<BYTE> raw(dataLen + sizeof(wchar_t));
        DWORD nl = nameLen + 1, dl = dataLen, type = 0;
        rc = RegEnumValueW(static_cast<HKEY>(h), index, name.data(), &nl, nullptr, &type,
                           raw.data(), &dl);
        if (rc != ERROR_SUCCESS) return rc;
        out->name = Narrow(std::wstring(name.data(), nl));
        FromWide(type, raw, dl, out);
        return kOk;
    }

    long ArmWatch(Handle h, bool subtree, void** watch) override {
        HANDLE event = static_cast<HANDLE>(*watch);
        if (!event) {
            event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            if (!event) return static_cast<long>(GetLastError());
            *watch = event;
        }
        ResetEvent(event);
        return RegNotifyChangeKeyValue(static_cast<HKEY>(h), subtree, REG_NOTIFY_CHANGE_LAST_SET,
                                       event, TRUE);
    }
    long WaitWatch(void* watch, unsigned timeoutMs) override {
        DWORD r = WaitForSingleObject(static_cast<HANDLE>(watch), timeoutMs);
        if (r == WAIT_OBJECT_0) return kOk;
        return r == WAIT_TIMEOUT ? kWaitTimeout : static_cast<long>(GetLastError());
    }
    void CloseWatch(void* watch) override { CloseHandle(static_cast<HANDLE>(watch)); }

    long SaveHive(Handle h, const std::string& file) override {
        // Windows refuses an existing file; Wine would overwrite it.
        std::wstring wfile = Widen(file);
        if (GetFileAttributesW(wfile.c_str()) != INVALID_FILE_ATTRIBUTES)
            return ERROR_ALREADY_EXISTS;
        return RegSaveKeyW(static_cast<HKEY>(h), wfile.c_str(), nullptr);
    }
    long LoadHive(RegRoot root, const std::string& name, const std::string& file) override {
        return RegLoadKeyW(RootKey(root), Widen(name).c_str(), Widen(file).c_str());
    }
    long UnloadHive(RegRoot root, const std::string& name) override {
        return RegUnLoadKeyW(RootKey(root), Widen(name).c_str());
    }
};

}  // namespace

RegistryBackend* DefaultRegistryBackend() {
    static Win32Registry registry;
    return &registry;
}

}  // namespace corv
