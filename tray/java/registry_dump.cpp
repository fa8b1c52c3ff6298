#include "tray/java/registry_dump.h"

#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/settings/java_prefs.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

// The bounds of the enumeration buffers: longer entries are skipped as the system would
// refuse them.
const size_t kNameChars = 260;
const size_t kDataBytes = 2048;

std::vector<std::string> SubkeyNames(const RegKey& key) {
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0;; ++i) {
        long rc = key.EnumSubkey(i, &name);
        if (rc == kErrNoMoreItems) break;
        if (rc == kErrMoreData) continue;
        if (rc != kOk) break;  // the key went away
        if (name.size() < kNameChars) names.push_back(name);
    }
    return names;
}

bool FitsBuffers(const RegValue& v) {
    size_t bytes = v.data.size();
    if (v.type == RegType::Sz || v.type == RegType::ExpandSz) bytes += 1;  // the terminator
    return v.name.size() < kNameChars && bytes <= kDataBytes;
}

std::vector<std::pair<std::string, std::string>> ValueItems(const RegKey& key) {
    std::vector<std::pair<std::string, std::string>> items;
    RegValue v;
    for (uint32_t i = 0;; ++i) {
        long rc = key.EnumValue(i, &v);
        if (rc == kErrNoMoreItems) break;
        if (rc == kErrMoreData) continue;
        if (rc != kOk) break;
        if (!FitsBuffers(v)) continue;
        items.emplace_back(v.name, RenderRegValue(v));
    }
    return items;
}

std::vector<std::string> Words(const std::string& list) {
    std::vector<std::string> words;
    for (const std::string& piece : Split(list, ',')) {
        std::string w = Trim(piece);
        if (!w.empty()) words.push_back(w);
    }
    return words;
}

std::string JoinLines(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty()) out += '\n';
        out += item;
    }
    return out;
}

}  // namespace

std::string RenderRegValue(const RegValue& v) {
    if (IsCredentialName(v.name) && !v.data.empty()) return kCredentialMask;
    switch (v.type) {
        case RegType::Sz:
            return ValueText(v);
        case RegType::Binary:
            return "binary data";
        case RegType::Dword:
            return Format("dword:%08x", ValueDword(v));
        default:
            return "<unsupported Registry Value Type>";
    }
}

std::string EnumSubkeys(RegRoot root, const std::string& keyPath) {
    RegKey key;
    if (key.Open(root, keyPath, kRegRead) != kOk) return std::string();
    return JoinLines(SubkeyNames(key));
}

std::string EnumValues(RegRoot root, const std::string& keyPath) {
    RegKey key;
    if (long rc = key.Open(root, keyPath, kRegRead)) {
        TheLog().Log("EnumValues: RegOpenKey failed: %s\n", ErrorWithText(rc).c_str());
        return std::string();
    }
    std::vector<std::string> items;
    for (const auto& item : ValueItems(key)) items.push_back(item.first + "=" + item.second);
    return JoinLines(items);
}

void RegDump(RegRoot root, const std::string& keyPath, const std::string& excludedNames,
             bool recursive) {
    CLogFile& log = TheLog();
    const char* rootName = RegRootName(root);
    RegKey key;
    if (long rc = key.Open(root, keyPath, kRegRead)) {
        if (rc == kErrPathNotFound)
            log.Log("[%s\\%s] does not exist\n", rootName, keyPath.c_str());
        else
            log.Log("RegDump: Could not open %s\\%s, reason: %s\n", rootName, keyPath.c_str(),
                    ErrorWithText(rc).c_str());
        return;
    }
    log.Log("[%s\\%s]\n", rootName, keyPath.c_str());
    const std::vector<std::string> excluded = Words(excludedNames);
    // Items are taken whole, so a value holding a line feed or an equals sign stays one item.
    for (const auto& item : ValueItems(key)) {
        bool skip = false;
        for (const std::string& word : excluded) {
            if (item.first.find(word) != std::string::npos) skip = true;
        }
        if (!skip) log.Log("%s\n", (item.first + "=" + item.second).c_str());
    }
    log.Log("\n");
    if (!recursive) return;
    std::vector<std::string> subkeys = SubkeyNames(key);
    key.Close();
    for (const std::string& name : subkeys)
        RegDump(root, keyPath + "\\" + name, excludedNames, true);
}

}  // namespace corv
