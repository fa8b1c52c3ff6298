// The install description: what a package is, which files, links, registry values and scripts
// belong to it, its optional components and its wizard texts. Read from "corvinst.cfg" (or
// "setup.cfg") in the package folder and written as "uninst.cfg" into the target folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "installer/sys/exceptions.h"
#include "installer/sys/registry_key.h"

namespace corv::inst {

// The longest line the reader takes, without its line end.
constexpr size_t kMaxLineBytes = 999;
// Whether a line of UTF-8 text fits within that limit as the file holds it: in the system's
// code page, where it may take fewer bytes.
bool FitsOnALine(std::string_view utf8);

struct ItemFlags {
    bool obsolete = false;
    bool ignoreOrder = false;  // registry values only
    std::string validSince;    // empty: no validity flag
    bool Any() const { return obsolete || ignoreOrder || !validSince.empty(); }
    bool operator==(const ItemFlags& o) const {
        return obsolete == o.obsolete && ignoreOrder == o.ignoreOrder && validSince == o.validSince;
    }
};

// The key or value a registry item names, as written in the description.
struct RegistryEntry {
    std::string root;
    std::string keyPath;
    std::string valueName;  // empty for the key itself
    RegItemType type = RegItemType::None;
    std::string data;

    const char* TypeName() const;  // "REG_SZ", "REG_DWORD" or ""
    bool IsKey() const { return valueName.empty(); }
    std::string Path() const;  // "root\key" or "root\key\value", as the log shows it
    // The owning key for the registry operations.
    CRegistryKey ToKey() const;
    bool operator==(const RegistryEntry& o) const {
        return root == o.root && keyPath == o.keyPath && valueName == o.valueName &&
               type == o.type && data == o.data;
    }
};

struct RegistryItem {
    RegistryEntry key;
    ItemFlags flags;
    std::string selectable;  // id of the owning selectable; empty when none
    bool operator==(const RegistryItem& o) const {
        return key == o.key && flags == o.flags && selectable == o.selectable;
    }
};

enum class FileKind { File, Dir, Link, ActiveX };
const char* FileKindName(FileKind kind);  // "file", "dir", "link", "activex"

struct FileItem {
    FileKind kind = FileKind::File;
    std::string path;
    // After the path: file: the optional second field; link: the target and the optional
    // third and fourth fields. Kept and written back as read; trailing empty fields dropped.
    std::vector<std::string> fields;
    ItemFlags flags;
    std::string selectable;
    bool IsLibrary() const;  // a "file" whose extension is "dll"
    bool operator==(const FileItem& o) const {
        return kind == o.kind && path == o.path && fields == o.fields && flags == o.flags &&
               selectable == o.selectable;
    }
};

enum class ScriptKind { Exec, LaunchApp };
enum class ScriptMode { Overwrite, Update, Keep };

struct ScriptItem {
    ScriptKind kind = ScriptKind::Exec;
    std::string program;
    std::string folder;  // Exec: the working folder; empty for "void"
    std::string parameters;
    std::string target;  // Exec: what the script produces; empty for "void"
    bool show = true;    // Exec: "show", or "hide"/"hidden"
    ScriptMode mode = ScriptMode::Keep;
    uint64_t stamp = 0;
    bool shortForm = false;  // LaunchApp=<program> without parameters, mode and stamp
    ItemFlags flags;
    std::string selectable;
    bool operator==(const ScriptItem& o) const;
};

struct Selectable {
    std::string group;  // "internal" or "wrapper"
    std::string id;
    std::string title;
    bool selected = false;
    bool operator==(const Selectable& o) const {
        return group == o.group && id == o.id && title == o.title && selected == o.selected;
    }
};

struct PageText {
    std::string name;  // "WelcomePage", "WrapperPage"
    std::string header;
    std::string description;
    std::string enable;      // as written; empty when the page has no Enable line
    bool IsEnabled() const;  // no Enable line, or "yes", "true", "on"
    bool operator==(const PageText& o) const {
        return name == o.name && header == o.header && description == o.description &&
               enable == o.enable;
    }
};

struct ReleaseInfo {
    std::string packageType;
    std::string company;
    std::string product;
    std::string processName;
    std::string version;
    std::string applicableSince;
    std::string targetFolder;
    std::string logo;
    std::string readme;
    std::string displayCompleteOptions;  // empty when not given
    InstallFor installFor = InstallFor::Unset;
    bool promptInstallFor = false;
    std::string registryRoot;
    std::string registryInstallLocation;

    bool InstallForAllUsers() const { return installFor == InstallFor::AllUsers; }
    bool ShowCompleteOptions() const;  // false for "no" or "false"
    // "HKEY_LOCAL_MACHINE" for all users, "HKEY_CURRENT_USER" for one, else empty.
    std::string TargetHkey() const;
    bool operator==(const ReleaseInfo& o) const;
};

struct AddRemoveInfo {
    std::string displayName;
    std::string uninstallString;
    std::string displayIcon;
    std::string installLocation;
    std::string urlInfoAbout;
    std::string publisher;
    std::string contact;
    std::string displayVersion;
    bool operator==(const AddRemoveInfo& o) const;
};

// Command-line options that take part in reading (the A and U options, T: and F:).
enum class InstallForOption { None, AllUsers, OnlyForMe };

// Values of the system placeholders while reading: "PWD", "TEMP", "ProgramFilesFolder",
// "StartMenuFolderUser" ... "StartupFolderAll", "UninstallString", and any other name as an
// environment variable. False when the value is unknown (the text then stays as written).
using PlaceholderLookup = std::function<bool(const std::string& name, std::string* value)>;
PlaceholderLookup SystemPlaceholders();

struct LoadOptions {
    std::string windowsVersion;  // empty: the running system's
    InstallForOption installFor = InstallForOption::None;
    bool hasTunnelServers = false;  // T:
    std::string tunnelServers;
    std::string targetFolder;        // F:; empty when not given
    PlaceholderLookup placeholders;  // empty: SystemPlaceholders()
};

// Replaces each "$Name" (the longest run of letters, digits and underscores) for which
// `lookup` knows a value; every other "$" stays as written. One pass: values are not expanded
// again.
std::string ExpandPlaceholders(std::string_view text, const PlaceholderLookup& lookup);

class CInstallConfig {
  public:
    // Reads and parses the file; throws CConfigException.
    void Load(const std::string& path, const LoadOptions& options = LoadOptions());
    // Loads an installed copy ("uninst.cfg"), which must exist and hold the release version.
    void LoadInstalled(const std::string& path, const LoadOptions& options = LoadOptions());
    // Parses file content; `fileName` names the file in messages.
    void Parse(const std::string& content, const std::string& fileName,
               const LoadOptions& options = LoadOptions());

    // The installed copy's text (CR LF line ends). Throws CConfigException naming the reason
    // when a value cannot be written so that it reads back the same.
    std::string ToText() const;
    // Throws CConfigException "Could not save config file: %s, reason: %s".
    void Save(const std::string& path) const;

    // Folds a newer package's registry items, file items and scripts into this description:
    // a matching item is replaced in place, any other appended; an obsolete item of the newer
    // package removes its match. What describes the release (versions, names, texts) comes
    // from the newer package; what describes this installation stays: the installing user,
    // the target folder, who it is installed for, the selected states of the selectables and
    // the computed uninstall command and location.
    void Merge(const CInstallConfig& newer);
    // Loads the installed copy at `installedPath`, merges `newer` into it, writes the result
    // with the extension ".mrg" and moves it over the installed copy. Throws CInstallException
    // "Could not merge new updates into current config file!" (the installed copy is then
    // left as it was).
    static void MergeIntoFile(const std::string& installedPath, const CInstallConfig& newer,
                              const LoadOptions& options = LoadOptions());

    // Throws CConfigException with the "Installation file, %s, is corrupt!" texts.
    void ValidatePackage(const std::string& fileName) const;

    const std::string& GetUser() const { return m_user; }
    void SetUser(const std::string& sid) { m_user = sid; }
    bool HasRelease() const { return m_hasRelease; }
    // Throws CInstallException "NullPointerException: GetRelease() is NULL" when the file had
    // no release data.
    const ReleaseInfo& GetRelease() const;
    ReleaseInfo& GetRelease();
    const AddRemoveInfo& GetAddRemove() const { return m_addRemove; }
    AddRemoveInfo& GetAddRemove() { return m_addRemove; }
    const std::vector<Selectable>& GetSelectables() const { return m_selectables; }
    std::vector<Selectable>& GetSelectables() { return m_selectables; }
    const Selectable* FindSelectable(const std::string& id) const;
    const std::vector<PageText>& GetPages() const { return m_pages; }
    const PageText* FindPage(const std::string& name) const;
    const std::vector<RegistryItem>& GetRegistryItems() const { return m_registry; }
    std::vector<RegistryItem>& GetRegistryItems() { return m_registry; }
    const std::vector<FileItem>& GetFileItems() const { return m_files; }
    std::vector<FileItem>& GetFileItems() { return m_files; }
    const std::vector<ScriptItem>& GetScripts() const { return m_scripts; }
    std::vector<ScriptItem>& GetScripts() { return m_scripts; }
    // This description with each list in the order the writer uses: plain items first, then
    // the items of selectables, each group in list order.
    CInstallConfig InWriterOrder() const;

    bool operator==(const CInstallConfig& o) const;
    bool operator!=(const CInstallConfig& o) const { return !(*this == o); }

  private:
    friend class ConfigReader;

    std::string m_user;
    bool m_hasRelease = false;
    ReleaseInfo m_release;
    AddRemoveInfo m_addRemove;
    std::vector<Selectable> m_selectables;
    std::vector<PageText> m_pages;
    std::vector<RegistryItem> m_registry;
    std::vector<FileItem> m_files;
    std::vector<ScriptItem> m_scripts;
};

// Identity of items for merging and replacing: root (with "$TargetHKEY" resolved when
// installFor is set), key path and value name; the path of a file item; kind and program of a
// script. Names are compared without regard to case, as Windows does.
std::string ItemIdentity(const RegistryItem& item, InstallFor installFor);
std::string ItemIdentity(const FileItem& item);
std::string ItemIdentity(const ScriptItem& item);

}  // namespace corv::inst
