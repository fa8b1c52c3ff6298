#include "installer/description/description.h"

#include <algorithm>

#include "installer/sys/file_util.h"
#include "installer/sys/system_info.h"
#include "installer/sys/text_util.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

bool FitsOnALine(std::string_view utf8) {
    if (utf8.size() <= kMaxLineBytes) return true;
    std::string ansi;
    return Utf8ToAnsi(std::string(utf8), &ansi) && ansi.size() <= kMaxLineBytes;
}

const char* FileKindName(FileKind kind) {
    switch (kind) {
        case FileKind::File:
            return "file";
        case FileKind::Dir:
            return "dir";
        case FileKind::Link:
            return "link";
        case FileKind::ActiveX:
            return "activex";
    }
    return "";
}

const char* RegistryEntry::TypeName() const {
    return RegItemTypeName(type);
}

std::string RegistryEntry::Path() const {
    std::string path;
    path.reserve(root.size() + keyPath.size() + valueName.size() + 2);
    path.append(root).append(1, '\\').append(keyPath);
    if (!valueName.empty()) path.append(1, '\\').append(valueName);
    return path;
}

CRegistryKey RegistryEntry::ToKey() const {
    return CRegistryKey(root, keyPath, valueName, type, data);
}

bool FileItem::IsLibrary() const {
    if (kind != FileKind::File) return false;
    size_t dot = path.find_last_of(".\\/");
    return dot != std::string::npos && path[dot] == '.' && NoCase(path.substr(dot + 1), "dll");
}

bool ScriptItem::operator==(const ScriptItem& o) const {
    return kind == o.kind && program == o.program && folder == o.folder &&
           parameters == o.parameters && target == o.target && show == o.show && mode == o.mode &&
           stamp == o.stamp && shortForm == o.shortForm && flags == o.flags &&
           selectable == o.selectable;
}

bool PageText::IsEnabled() const {
    if (enable.empty()) return true;
    return NoCase(enable, "yes") || NoCase(enable, "true") || NoCase(enable, "on");
}

bool ReleaseInfo::ShowCompleteOptions() const {
    return !(NoCase(displayCompleteOptions, "no") || NoCase(displayCompleteOptions, "false"));
}

std::string ReleaseInfo::TargetHkey() const {
    if (installFor == InstallFor::AllUsers) return "HKEY_LOCAL_MACHINE";
    if (installFor == InstallFor::OnlyForMe) return "HKEY_CURRENT_USER";
    return std::string();
}

bool ReleaseInfo::operator==(const ReleaseInfo& o) const {
    return packageType == o.packageType && company == o.company && product == o.product &&
           processName == o.processName && version == o.version &&
           applicableSince == o.applicableSince && targetFolder == o.targetFolder &&
           logo == o.logo && readme == o.readme &&
           displayCompleteOptions == o.displayCompleteOptions && installFor == o.installFor &&
           promptInstallFor == o.promptInstallFor && registryRoot == o.registryRoot &&
           registryInstallLocation == o.registryInstallLocation;
}

bool AddRemoveInfo::operator==(const AddRemoveInfo& o) const {
    return displayName == o.displayName && uninstallString == o.uninstallString &&
           displayIcon == o.displayIcon && installLocation == o.installLocation &&
           urlInfoAbout == o.urlInfoAbout && publisher == o.publisher && contact == o.contact &&
           displayVersion == o.displayVersion;
}

std::string ExpandPlaceholders(std::string_view text, const PlaceholderLookup& lookup) {
    size_t dollar = text.find('$');
    if (dollar == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 32);
    size_t pos = 0;
    while (dollar != std::string_view::npos) {
        out.append(text.substr(pos, dollar - pos));
        size_t end = dollar + 1;
        while (end < text.size() && IsNameChar(text[end])) ++end;
        std::string value;
        if (end > dollar + 1 &&
            lookup(std::string(text.substr(dollar + 1, end - dollar - 1)), &value))
            out += value;
        else
            out.append(text.substr(dollar, end - dollar));
        pos = end;
        dollar = text.find('$', pos);
    }
    out.append(text.substr(pos));
    return out;
}

PlaceholderLookup SystemPlaceholders() {
    return [](const std::string& name, std::string* value) {
        static const struct {
            const char* name;
            ShellFolder folder;
            bool allUsers;
        } kFolders[] = {
            {"StartMenuFolderUser", ShellFolder::StartMenu, false},
            {"StartMenuFolderAll", ShellFolder::StartMenu, true},
            {"StartMenuProgramsFolderUser", ShellFolder::Programs, false},
            {"StartMenuProgramsFolderAll", ShellFolder::Programs, true},
            {"DesktopFolderUser", ShellFolder::Desktop, false},
            {"DesktopFolderAll", ShellFolder::Desktop, true},
            {"StartupFolderUser", ShellFolder::Startup, false},
            {"StartupFolderAll", ShellFolder::Startup, true},
        };
        if (NoCase(name, "UninstallString")) return false;  // known only to the job
        if (NoCase(name, "PWD")) {
            *value = CurrentFolder();
        } else if (NoCase(name, "TEMP")) {
            *value = TempFolder();
        } else if (NoCase(name, "ProgramFilesFolder")) {
            *value = GetProgramFilesDir();
        } else {
            bool folder = false;
            for (const auto& f : kFolders) {
                if (NoCase(name, f.name)) {
                    *value = GetShellFolder(f.folder, f.allUsers);
                    folder = true;
                    break;
                }
            }
            if (!folder) *value = GetEnv(name);
        }
        return !value->empty();
    };
}

const ReleaseInfo& CInstallConfig::GetRelease() const {
    if (!m_hasRelease) throw CInstallException("NullPointerException: GetRelease() is NULL");
    return m_release;
}

ReleaseInfo& CInstallConfig::GetRelease() {
    if (!m_hasRelease) throw CInstallException("NullPointerException: GetRelease() is NULL");
    return m_release;
}

const Selectable* CInstallConfig::FindSelectable(const std::string& id) const {
    for (const auto& s : m_selectables)
        if (NoCase(s.id, id)) return &s;
    return nullptr;
}

const PageText* CInstallConfig::FindPage(const std::string& name) const {
    for (const auto& p : m_pages)
        if (NoCase(p.name, name)) return &p;
    return nullptr;
}

namespace {
template <typename T>
void PlainFirst(std::vector<T>* items) {
    std::stable_partition(items->begin(), items->end(),
                          [](const T& item) { return item.selectable.empty(); });
}
}  // namespace

CInstallConfig CInstallConfig::InWriterOrder() const {
    CInstallConfig copy = *this;
    PlainFirst(&copy.m_registry);
    PlainFirst(&copy.m_files);
    PlainFirst(&copy.m_scripts);
    return copy;
}

bool CInstallConfig::operator==(const CInstallConfig& o) const {
    return m_user == o.m_user && m_hasRelease == o.m_hasRelease && m_release == o.m_release &&
           m_addRemove == o.m_addRemove && m_selectables == o.m_selectables &&
           m_pages == o.m_pages && m_registry == o.m_registry && m_files == o.m_files &&
           m_scripts == o.m_scripts;
}

void CInstallConfig::ValidatePackage(const std::string& fileName) const {
    auto corrupt = [&](const char* what) {
        throw CConfigException(
            Format("Installation file, %s, is corrupt! [Release] %s\n", fileName.c_str(), what));
    };
    if (m_release.packageType.empty()) corrupt("PackageType is missing");
    if (m_release.product.empty()) corrupt("Product name is missing");
    if (m_release.version.empty()) corrupt("Version info is missing");
    // A location written with its own root must lie under the product's registry root.
    const std::string& location = m_release.registryInstallLocation;
    std::string first = location.substr(0, location.find('\\'));
    if (!location.empty() && IsKnownRootName(first)) {
        RegRoot a, b;
        bool same = CanonicalRootName(first) == CanonicalRootName(m_release.registryRoot) ||
                    (ResolveRootName(first, m_release.installFor, &a) &&
                     ResolveRootName(m_release.registryRoot, m_release.installFor, &b) && a == b);
        if (!same)
            throw CConfigException(
                Format("Installation file, %s, is corrupt! [Release] Registry install location "
                       "must be in %s\n",
                       fileName.c_str(), m_release.registryRoot.c_str()));
    }
}

std::string ItemIdentity(const RegistryItem& item, InstallFor installFor) {
    std::string root = CanonicalRootName(item.key.root);
    RegRoot resolved;
    if (ResolveRootName(item.key.root, installFor, &resolved)) root = RegRootName(resolved);
    if (root.empty()) root = item.key.root;
    std::string path = item.key.keyPath;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return ToLower(root + '\x01' + path + '\x01' + item.key.valueName);
}

std::string ItemIdentity(const FileItem& item) {
    return ToLower(item.path);
}

std::string ItemIdentity(const ScriptItem& item) {
    return (item.kind == ScriptKind::Exec ? "e\x01" : "l\x01") + ToLower(item.program);
}

}  // namespace corv::inst
