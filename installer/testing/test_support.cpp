#include "installer/testing/test_support.h"

#include <atomic>

#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst::test {

namespace {

bool IsAbsolute(const std::string& path) {
    return (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           (!path.empty() && path[0] == '/');
}

bool RemoveBelow(const std::string& path, int depth, int* budget) {
    if (depth > 64) return false;
    std::vector<FolderEntry> entries;
    if (!ListFolder(path, &entries)) return false;
    bool ok = true;
    for (const FolderEntry& e : entries) {
        if (--*budget < 0) return false;
        std::string child = path + "\\" + e.name;
        if (e.folder && !e.link) {
            ok = RemoveBelow(child, depth + 1, budget) && ok;
            ok = RemoveFolder(child) == kOk && ok;
        } else if (e.folder) {
            ok = RemoveFolder(child) == kOk && ok;  // a folder link: the link only
        } else {
            ok = RemoveFile(child) == kOk && ok;
        }
    }
    return ok;
}

void Snap(const std::string& folder, const std::string& relative, std::string* out) {
    std::vector<FolderEntry> entries;
    ListFolder(folder, &entries);
    for (const FolderEntry& e : entries) {
        std::string path = folder + "\\" + e.name;
        std::string name = relative.empty() ? e.name : relative + "\\" + e.name;
        if (e.folder) {
            *out += "dir " + name + "\n";
            if (!e.link) Snap(path, name, out);
        } else {
            std::string bytes;
            ReadFileText(path, &bytes);
            *out += "file " + name + " [" + bytes + "]\n";
        }
    }
}

void SnapKey(RegRoot root, const std::string& path, std::string* out) {
    RegKey key;
    if (key.Open(root, path, kRegRead) != kOk) return;
    *out += std::string(RegRootName(root)) + "\\" + path + "\n";
    for (const RegValue& v : key.Values()) {
        *out += "  " + v.name + " (" + std::to_string(static_cast<unsigned>(v.type)) + ") ";
        for (uint8_t b : v.data) *out += Format("%02x", b);
        *out += "\n";
    }
    std::vector<std::string> subkeys = key.Subkeys();
    key.Close();
    for (const std::string& sub : subkeys)
        SnapKey(root, path.empty() ? sub : path + "\\" + sub, out);
}

}  // namespace

bool RemoveTreeUnderTemp(const std::string& path) {
    std::string temp = TempFolder();
    if (temp.empty() || !IsAbsolute(path) || path.find("..") != std::string::npos ||
        !StartsWithNoCase(NativePath(path), NativePath(temp) + NativePath("\\")) ||
        path.size() <= temp.size() + 1)
        return false;
    if (!PathExists(path)) return true;
    int budget = 100000;
    bool ok = RemoveBelow(path, 0, &budget);
    return RemoveFolder(path) == kOk && ok;
}

TempTree::TempTree(const std::string& name) {
    static std::atomic<int> counter{0};
    m_path = TempFolder() + "\\" + name + "_" + std::to_string(CurrentProcessId()) + "_" +
             std::to_string(counter++);
    RemoveTreeUnderTemp(m_path);
    MakeDirectory(m_path);
}

TempTree::~TempTree() {
    RemoveTreeUnderTemp(m_path);
}

std::string TempTree::operator[](const std::string& relative) const {
    return m_path + "\\" + relative;
}

void WriteText(const std::string& path, const std::string& text) {
    std::string folder = FolderOf(path);
    std::vector<std::string> missing;
    while (!folder.empty() && !PathExists(folder)) {
        missing.push_back(folder);
        folder = FolderOf(folder);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) MakeDirectory(*it);
    WriteFileBytes(path, text);
}

std::string ReadText(const std::string& path) {
    std::string text;
    ReadFileText(path, &text);
    return text;
}

std::string FilesSnapshot(const std::string& folder) {
    std::string out;
    if (PathExists(folder)) Snap(folder, "", &out);
    return out;
}

std::string RegistrySnapshot(const std::vector<std::pair<RegRoot, std::string>>& keys) {
    std::string out;
    for (const auto& [root, path] : keys) SnapKey(root, path, &out);
    return out;
}

}  // namespace corv::inst::test
