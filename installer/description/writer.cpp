// The installed copy's writer, and the merge of a newer package into it.
#include <unordered_map>

#include "installer/description/description.h"
#include "installer/sys/inst_log.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

// Every text must read back as written; a value that would not is refused rather than saved
// into a file that the uninstaller and later updates would misread.
struct Unwritable {
    std::string reason;
};

void CheckValue(const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos)
        throw Unwritable{"a value holds a line break: " +
                         text.substr(0, text.find_first_of("\r\n"))};
    if (text != Trim(text))
        throw Unwritable{"a value has leading or trailing blanks: \"" + text + "\""};
}

// A "|" field is also split and checked for keywords on reading.
void CheckField(const std::string& text) {
    CheckValue(text);
    if (text.find('|') != std::string::npos) throw Unwritable{"a field holds \"|\": " + text};
    if (EqualsNoCase(text, "void") || EqualsNoCase(text, "obsolete") ||
        EqualsNoCase(text, "validsince") || EqualsNoCase(text, "ignoreorder"))
        throw Unwritable{"a field is a keyword: " + text};
}

std::string Flags(const ItemFlags& flags) {
    std::string out;
    if (flags.obsolete) out += "|obsolete";
    if (flags.ignoreOrder) out += "|ignoreorder";
    if (!flags.validSince.empty()) {
        CheckField(flags.validSince);
        out += "|validsince|" + flags.validSince;
    }
    return out;
}

const char* ModeName(ScriptMode mode) {
    switch (mode) {
        case ScriptMode::Overwrite:
            return "overwrite";
        case ScriptMode::Update:
            return "update";
        case ScriptMode::Keep:
            return "keep";
    }
    return "keep";
}

std::string RegistryFields(const RegistryItem& item) {
    const CRegistryKey& k = item.key;
    CheckField(k.Root());
    CheckField(k.KeyPath());
    std::string out = k.Root() + "|" + k.KeyPath();
    if (!k.ValueName().empty() || k.Type() != RegItemType::None) {
        if (!k.ValueName().empty()) CheckField(k.ValueName());
        out += "|" + k.ValueName();
    }
    if (k.Type() != RegItemType::None) {
        if (!k.Data().empty()) CheckField(k.Data());
        out += "|" + k.TypeName() + "|" + k.Data();
    }
    return out + Flags(item.flags);
}

std::string FileFields(const FileItem& item) {
    CheckField(item.path);
    std::string out = item.path;
    // Empty fields before a later non-empty one stay, so that fields keep their places.
    size_t last = item.fields.size();
    while (last > 0 && item.fields[last - 1].empty()) --last;
    for (size_t i = 0; i < last; ++i) {
        if (!item.fields[i].empty()) CheckField(item.fields[i]);
        out += "|" + item.fields[i];
    }
    return out + Flags(item.flags);
}

std::string ScriptFields(const ScriptItem& s) {
    CheckField(s.program);
    if (s.kind == ScriptKind::Exec) {
        for (const std::string* f : {&s.folder, &s.parameters, &s.target})
            if (!f->empty()) CheckField(*f);
        return Format("%s|%s|%s|%s|%s|%s|%llu", s.program.c_str(),
                      s.folder.empty() ? "void" : s.folder.c_str(), s.parameters.c_str(),
                      s.target.empty() ? "void" : s.target.c_str(), s.show ? "show" : "hide",
                      ModeName(s.mode), static_cast<unsigned long long>(s.stamp)) +
               Flags(s.flags);
    }
    if (s.shortForm) return s.program + Flags(s.flags);
    if (!s.parameters.empty()) CheckField(s.parameters);
    return Format("%s|%s|%s|%llu", s.program.c_str(), s.parameters.c_str(), ModeName(s.mode),
                  static_cast<unsigned long long>(s.stamp)) +
           Flags(s.flags);
}

class Writer {
  public:
    void Line(const std::string& text) {
        if (text.size() > kMaxLineBytes)
            throw Unwritable{
                Format("a line is longer than %u bytes: ", static_cast<unsigned>(kMaxLineBytes)) +
                text.substr(0, 60) + "..."};
        m_out += text;
        m_out += "\r\n";
    }
    void Key(const char* key, const std::string& value) {
        CheckValue(value);
        Line(std::string(key) + "=" + value);
    }
    std::string& Text() { return m_out; }

  private:
    std::string m_out;
};

template <typename T, typename F>
void Items(Writer& w, const std::vector<T>& items, F line) {
    for (const auto& item : items)
        if (item.selectable.empty()) w.Line(line(item, false));
    for (const auto& item : items) {
        if (item.selectable.empty()) continue;
        CheckField(item.selectable);
        w.Line(line(item, true));
    }
}

}  // namespace

std::string CInstallConfig::ToText() const {
    Writer w;
    try {
        w.Line("[corvinstall]");
        w.Key("user", m_user);
        w.Line("");

        const ReleaseInfo& r = m_release;
        w.Line("[Release]");
        w.Key("PackageType", r.packageType);
        w.Key("Company", r.company);
        w.Key("Product", r.product);
        w.Key("ProcessName", r.processName);
        w.Key("Version", r.version);
        w.Key("ApplicableSince", r.applicableSince);
        w.Key("TargetFolder", r.targetFolder);
        w.Key("Logo", r.logo);
        w.Key("Readme", r.readme);
        if (!r.displayCompleteOptions.empty())
            w.Key("DisplayCompleteOptions", r.displayCompleteOptions);
        std::string installFor = r.installFor == InstallFor::AllUsers    ? "allusers"
                                 : r.installFor == InstallFor::OnlyForMe ? "onlyforme"
                                                                         : "";
        if (r.promptInstallFor && !installFor.empty()) installFor += "|prompt";
        w.Key("InstallFor", installFor);
        w.Key("RegistryRoot", r.registryRoot);
        w.Key("RegistryInstallLocation", r.registryInstallLocation);
        w.Line("");

        const AddRemoveInfo& a = m_addRemove;
        w.Line("[AddRemovePrograms]");
        w.Key("DisplayName", a.displayName);
        w.Key("UninstallString", a.uninstallString);
        w.Key("DisplayIcon", a.displayIcon);
        w.Key("InstallLocation", a.installLocation);
        w.Key("UrlInfoAbout", a.urlInfoAbout);
        w.Key("Publisher", a.publisher);
        w.Key("Contact", a.contact);
        w.Key("DisplayVersion", a.displayVersion);
        w.Line("");

        w.Line("[Selectables]");
        for (const auto& s : m_selectables) {
            CheckField(s.group);
            CheckField(s.id);
            CheckField(s.title);
            w.Line(s.group + "=" + s.id + "|" + s.title + (s.selected ? "|selected" : "|cleared"));
        }
        w.Line("");

        w.Line("[Pages]");
        for (const auto& p : m_pages) {
            CheckValue(p.name);
            if (p.name.empty() || p.name.find('=') != std::string::npos || p.name[0] == ';' ||
                p.name[0] == '[' || EqualsNoCase(p.name, "Selectable"))
                throw Unwritable{"a page name cannot be written: " + p.name};
            CheckValue(p.header);
            CheckValue(p.description);
            w.Line(p.name + "=Header|" + p.header);
            w.Line(p.name + "=Description|" + p.description);
            if (!p.enable.empty()) {
                CheckValue(p.enable);
                w.Line(p.name + "=Enable|" + p.enable);
            }
        }
        w.Line("");

        w.Line("[RegistryKeys]");
        Items(w, m_registry, [](const RegistryItem& item, bool owned) {
            return owned ? "Selectable=" + item.selectable + "|reg|" + RegistryFields(item)
                         : "reg=" + RegistryFields(item);
        });
        w.Line("");

        w.Line("[FileItems]");
        Items(w, m_files, [](const FileItem& item, bool owned) {
            std::string kind = FileKindName(item.kind);
            return owned ? "Selectable=" + item.selectable + "|" + kind + "|" + FileFields(item)
                         : kind + "=" + FileFields(item);
        });
        w.Line("");

        w.Line("[Scripts]");
        Items(w, m_scripts, [](const ScriptItem& item, bool owned) {
            std::string kind = item.kind == ScriptKind::Exec ? "Exec" : "LaunchApp";
            return owned ? "Selectable=" + item.selectable + "|" + kind + "|" + ScriptFields(item)
                         : kind + "=" + ScriptFields(item);
        });
        w.Line("");
    } catch (const Unwritable& e) {
        throw CConfigException("Cannot write the description: " + e.reason);
    }
    return std::move(w.Text());
}

void CInstallConfig::Save(const std::string& path) const {
    std::string text;
    try {
        text = ToText();
    } catch (const CConfigException& e) {
        throw CConfigException(Format("Could not save config file: %s, reason: %s", path.c_str(),
                                      e.Message().c_str()));
    }
    long rc = WriteFileBytes(path, text);
    if (rc != kOk)
        throw CConfigException(Format("Could not save config file: %s, reason: %s", path.c_str(),
                                      ErrorText(rc).c_str()));
}

namespace {

// Folds `newer` into `items` in one pass: a hash of identities, replacement in place,
// appends at the end, and removals compacted at the end.
template <typename T, typename Id>
void FoldList(std::vector<T>* items, const std::vector<T>& newer, Id identity) {
    std::unordered_map<std::string, size_t> index;
    index.reserve(items->size() + newer.size());
    for (size_t i = 0; i < items->size(); ++i) index.emplace(identity((*items)[i], false), i);
    std::vector<bool> removed(items->size(), false);
    for (const T& item : newer) {
        std::string id = identity(item, true);
        auto it = index.find(id);
        if (item.flags.obsolete) {
            // Removed by this update: the installed description no longer lists it.
            if (it != index.end()) {
                removed[it->second] = true;
                index.erase(it);
            }
            continue;
        }
        if (it != index.end()) {
            (*items)[it->second] = item;
        } else {
            index.emplace(std::move(id), items->size());
            items->push_back(item);
            removed.push_back(false);
        }
    }
    size_t out = 0;
    for (size_t i = 0; i < items->size(); ++i) {
        if (removed[i]) continue;
        if (out != i) (*items)[out] = std::move((*items)[i]);
        ++out;
    }
    items->resize(out);
}

}  // namespace

void CInstallConfig::Merge(const CInstallConfig& newer) {
    InstallFor mine = m_release.installFor;
    InstallFor theirs = newer.m_release.installFor;
    FoldList(&m_registry, newer.m_registry, [&](const RegistryItem& item, bool isNew) {
        return ItemIdentity(item, isNew ? theirs : mine);
    });
    FoldList(&m_files, newer.m_files,
             [](const FileItem& item, bool) { return ItemIdentity(item); });
    FoldList(&m_scripts, newer.m_scripts,
             [](const ScriptItem& item, bool) { return ItemIdentity(item); });

    // Items may name selectables of either description; keep them all defined.
    for (const Selectable& s : newer.m_selectables) {
        auto it = std::find_if(m_selectables.begin(), m_selectables.end(),
                               [&](const Selectable& mine) { return EqualsNoCase(mine.id, s.id); });
        if (it != m_selectables.end())
            *it = s;
        else
            m_selectables.push_back(s);
    }
    for (const PageText& p : newer.m_pages) {
        auto it = std::find_if(m_pages.begin(), m_pages.end(), [&](const PageText& mine) {
            return EqualsNoCase(mine.name, p.name);
        });
        if (it != m_pages.end())
            *it = p;
        else
            m_pages.push_back(p);
    }

    // The installed version is now the newer package's; the computed Add/Remove values stay
    // when the newer description does not carry them.
    if (newer.m_hasRelease) {
        m_release = newer.m_release;
        m_hasRelease = true;
    }
    AddRemoveInfo addRemove = newer.m_addRemove;
    if (addRemove.uninstallString.empty()) addRemove.uninstallString = m_addRemove.uninstallString;
    if (addRemove.installLocation.empty()) addRemove.installLocation = m_addRemove.installLocation;
    if (addRemove.displayName.empty()) addRemove.displayName = m_addRemove.displayName;
    m_addRemove = addRemove;
}

void CInstallConfig::MergeIntoFile(const std::string& installedPath, const CInstallConfig& newer,
                                   const LoadOptions& options) {
    std::string mrg = installedPath;
    size_t dot = mrg.find_last_of(".\\/");
    if (dot != std::string::npos && mrg[dot] == '.') mrg.resize(dot);
    mrg += ".mrg";
    try {
        CInstallConfig merged;
        merged.LoadInstalled(installedPath, options);
        merged.Merge(newer);
        merged.Save(mrg);
        long rc = ReplaceFileBy(mrg, installedPath);
        if (rc != kOk)
            throw CConfigException(
                Format("Could not replace %s: %s", installedPath.c_str(), ErrorText(rc).c_str()));
    } catch (const CInstallerError& e) {
        InstLog("%s\n", e.Message().c_str());
        if (PathExists(mrg)) RemoveFile(mrg);
        throw CInstallException("Could not merge new updates into current config file!");
    }
}

}  // namespace corv::inst
