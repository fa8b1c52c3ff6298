// The installed copy's writer, and the merge of a newer package into it.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "installer/description/description.h"
#include "installer/description/item_lines.h"
#include "installer/sys/inst_log.h"
#include "installer/sys/text_util.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

bool HasOuterBlanks(const std::string& text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return !text.empty() && (blank(text.front()) || blank(text.back()));
}

// The reader trims values of blanks and ends lines at CR or LF.
void CheckValue(const std::string& text) {
    size_t lineBreak = 0;
    while (lineBreak < text.size() && text[lineBreak] != '\r' && text[lineBreak] != '\n')
        ++lineBreak;
    if (lineBreak < text.size())
        throw Unwritable{"a value holds a line break: " + text.substr(0, lineBreak)};
    if (HasOuterBlanks(text))
        throw Unwritable{"a value has leading or trailing blanks: \"" + text + "\""};
}

enum class Tail { None, Flags, RegistryFlags };

// A "|" field is also split and "void" read as empty; after the first field a word that
// starts the flag tail of its kind of item would be read as a flag.
void CheckField(const std::string& text, Tail tail = Tail::Flags) {
    CheckValue(text);
    if (text.find('|') != std::string::npos) throw Unwritable{"a field holds \"|\": " + text};
    bool flag =
        tail != Tail::None && (NoCase(text, "obsolete") || NoCase(text, "validsince") ||
                               (tail == Tail::RegistryFlags && NoCase(text, "ignoreorder")));
    if (NoCase(text, "void") || flag) throw Unwritable{"a field is a keyword: " + text};
}

// Appends "|" and the field.
void Field(std::string* out, const std::string& text) {
    out->push_back('|');
    out->append(text);
}

void AppendFlags(std::string* out, const ItemFlags& flags) {
    if (flags.obsolete) out->append("|obsolete");
    if (flags.ignoreOrder) out->append("|ignoreorder");
    if (!flags.validSince.empty()) {
        CheckField(flags.validSince, Tail::RegistryFlags);
        out->append("|validsince");
        Field(out, flags.validSince);
    }
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

void RegistryFields(std::string* out, const RegistryItem& item) {
    const RegistryEntry& k = item.key;
    CheckField(k.root, Tail::None);
    CheckField(k.keyPath, Tail::RegistryFlags);
    out->append(k.root);
    Field(out, k.keyPath);
    if (!k.valueName.empty() || k.type != RegItemType::None) {
        if (!k.valueName.empty()) CheckField(k.valueName, Tail::RegistryFlags);
        Field(out, k.valueName);
    }
    if (k.type != RegItemType::None) {
        if (!k.data.empty()) CheckField(k.data, Tail::RegistryFlags);
        Field(out, k.TypeName());
        Field(out, k.data);
    }
    AppendFlags(out, item.flags);
}

void FileFields(std::string* out, const FileItem& item) {
    CheckField(item.path, Tail::None);
    out->append(item.path);
    // Empty fields before a later non-empty one stay, so that fields keep their places.
    size_t last = item.fields.size();
    while (last > 0 && item.fields[last - 1].empty()) --last;
    for (size_t i = 0; i < last; ++i) {
        if (!item.fields[i].empty()) CheckField(item.fields[i]);
        Field(out, item.fields[i]);
    }
    AppendFlags(out, item.flags);
}

void ScriptFields(std::string* out, const ScriptItem& s) {
    CheckField(s.program, Tail::None);
    out->append(s.program);
    if (s.kind == ScriptKind::Exec) {
        for (const std::string* f : {&s.folder, &s.parameters, &s.target})
            if (!f->empty()) CheckField(*f);
        Field(out, s.folder.empty() ? "void" : s.folder);
        Field(out, s.parameters);
        Field(out, s.target.empty() ? "void" : s.target);
        Field(out, s.show ? "show" : "hide");
    } else if (!s.shortForm) {
        if (!s.parameters.empty()) CheckField(s.parameters);
        Field(out, s.parameters);
    }
    if (s.kind == ScriptKind::Exec || !s.shortForm) {
        Field(out, ModeName(s.mode));
        Field(out, std::to_string(s.stamp));
    }
    AppendFlags(out, s.flags);
}

std::string CheckedLine(std::string line) {
    if (!FitsOnALine(line))
        throw Unwritable{
            Format("a line is longer than %u bytes: ", static_cast<unsigned>(kMaxLineBytes)) +
            line.substr(0, 60) + "..."};
    return line;
}

// "<kind>=<fields>" or "Selectable=<id>|<kind>|<fields>".
template <typename T, typename Fields>
std::string ItemLine(const T& item, const char* kind, Fields fields) {
    std::string line;
    if (!item.selectable.empty()) {
        CheckField(item.selectable, Tail::None);
        line.append("Selectable=").append(item.selectable).append(1, '|');
        line.append(kind).append(1, '|');
    } else {
        line.append(kind).append(1, '=');
    }
    fields(&line, item);
    return CheckedLine(std::move(line));
}

class Writer {
  public:
    void Line(const std::string& text) {
        m_out.append(CheckedLine(text));
        m_out.append("\r\n");
    }
    void Key(const char* key, const std::string& value) {
        m_out.append(WrittenKeyLine(key, value));
        m_out.append("\r\n");
    }
    // The items' lines, plain items first.
    template <typename T>
    void Items(const std::vector<T>& items) {
        for (int owned = 0; owned < 2; ++owned) {
            for (const auto& item : items) {
                if (item.selectable.empty() == (owned == 1)) continue;
                m_out.append(WrittenLine(item));
                m_out.append("\r\n");
            }
        }
    }
    std::string& Text() { return m_out; }

  private:
    std::string m_out;
};

}  // namespace

std::string WrittenLine(const RegistryItem& item) {
    return ItemLine(item, "reg", RegistryFields);
}

std::string WrittenLine(const FileItem& item) {
    return ItemLine(item, FileKindName(item.kind), FileFields);
}

std::string WrittenLine(const ScriptItem& item) {
    return ItemLine(item, item.kind == ScriptKind::Exec ? "Exec" : "LaunchApp", ScriptFields);
}

std::string WrittenLine(const Selectable& s) {
    CheckField(s.group, Tail::None);
    CheckField(s.id, Tail::None);
    CheckField(s.title, Tail::None);
    return CheckedLine(s.group + "=" + s.id + "|" + s.title +
                       (s.selected ? "|selected" : "|cleared"));
}

std::vector<std::string> WrittenLines(const PageText& p) {
    CheckValue(p.name);
    if (p.name.empty() || p.name.find('=') != std::string::npos || p.name[0] == ';' ||
        p.name[0] == '[' || NoCase(p.name, "Selectable"))
        throw Unwritable{"a page name cannot be written: " + p.name};
    CheckValue(p.header);
    CheckValue(p.description);
    std::vector<std::string> lines{CheckedLine(p.name + "=Header|" + p.header),
                                   CheckedLine(p.name + "=Description|" + p.description)};
    if (!p.enable.empty()) {
        CheckValue(p.enable);
        lines.push_back(CheckedLine(p.name + "=Enable|" + p.enable));
    }
    return lines;
}

std::string WrittenKeyLine(const char* key, const std::string& value) {
    CheckValue(value);
    return CheckedLine(std::string(key) + "=" + value);
}

std::string CInstallConfig::ToText() const {
    Writer w;
    try {
        // An installed copy without release data could never be loaded again.
        if (!m_hasRelease) throw Unwritable{"the description has no [Release] section"};
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
        for (const auto& s : m_selectables) w.Line(WrittenLine(s));
        w.Line("");

        w.Line("[Pages]");
        for (const auto& p : m_pages)
            for (const std::string& line : WrittenLines(p)) w.Line(line);
        w.Line("");

        w.Line("[RegistryKeys]");
        w.Items(m_registry);
        w.Line("");

        w.Line("[FileItems]");
        w.Items(m_files);
        w.Line("");

        w.Line("[Scripts]");
        w.Items(m_scripts);
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
    std::string ansi;
    if (!Utf8ToAnsi(text, &ansi)) {
        std::string line;
        for (size_t start = 0, end; start < text.size(); start = end + 2) {
            end = text.find("\r\n", start);
            line = text.substr(start, end - start);
            if (!Utf8ToAnsi(line, &ansi)) break;
        }
        throw CConfigException(
            Format("Could not save config file: %s, reason: the system's code page "
                   "cannot hold the text of the line: %s",
                   path.c_str(), line.c_str()));
    }
    long rc = WriteFileBytes(path, ansi);
    if (rc != kOk)
        throw CConfigException(Format("Could not save config file: %s, reason: %s", path.c_str(),
                                      ErrorText(rc).c_str()));
}

namespace {

uint64_t HashNoCase(uint64_t h, std::string_view s) {
    for (char c : s) {
        h ^= static_cast<unsigned char>(AsciiLower(c));
        h *= 1099511628211ull;
    }
    return h;
}

constexpr uint64_t kHashSeed = 14695981039346656037ull;

std::string_view WithoutTrailingBackslashes(std::string_view path) {
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return path;
}

// The root as a number: a resolved root, "$TargetHKEY" while unresolved, or -1 (unknown name).
int RootCode(std::string_view name, InstallFor installFor) {
    RegRoot root;
    if (ResolveRootName(name, installFor, &root)) return static_cast<int>(root);
    return NoCase(name, kTargetHkeyName) ? 100 : -1;
}

struct RegistryIdentity {
    uint64_t Hash(const RegistryItem& item, InstallFor installFor) const {
        int code = RootCode(item.key.root, installFor);
        uint64_t h = code >= 0 ? kHashSeed ^ static_cast<uint64_t>(code)
                               : HashNoCase(kHashSeed, item.key.root);
        h = HashNoCase(h * 31, WithoutTrailingBackslashes(item.key.keyPath));
        return HashNoCase(h * 31, item.key.valueName);
    }
    bool Same(const RegistryItem& a, InstallFor fa, const RegistryItem& b, InstallFor fb) const {
        int ca = RootCode(a.key.root, fa), cb = RootCode(b.key.root, fb);
        return ca == cb && (ca >= 0 || NoCase(a.key.root, b.key.root)) &&
               NoCase(WithoutTrailingBackslashes(a.key.keyPath),
                      WithoutTrailingBackslashes(b.key.keyPath)) &&
               NoCase(a.key.valueName, b.key.valueName);
    }
};

struct FileIdentity {
    uint64_t Hash(const FileItem& item, InstallFor) const {
        return HashNoCase(kHashSeed, item.path);
    }
    bool Same(const FileItem& a, InstallFor, const FileItem& b, InstallFor) const {
        return NoCase(a.path, b.path);
    }
};

struct ScriptIdentity {
    uint64_t Hash(const ScriptItem& item, InstallFor) const {
        return HashNoCase(kHashSeed ^ static_cast<uint64_t>(item.kind), item.program);
    }
    bool Same(const ScriptItem& a, InstallFor, const ScriptItem& b, InstallFor) const {
        return a.kind == b.kind && NoCase(a.program, b.program);
    }
};

// Folds `newer` into `items` in one pass over both lists: an open-addressing table of item
// hashes finds matches without building keys, replacements go in place, new items at the end,
// and removed items are dropped in a final compaction.
template <typename T, typename Identity>
void FoldList(std::vector<T>* items, InstallFor mine, const std::vector<T>& newer,
              InstallFor theirs, const Identity& identity) {
    size_t capacity = 16;
    while (capacity < 2 * (items->size() + newer.size())) capacity *= 2;
    std::vector<uint64_t> hashes(capacity);
    std::vector<size_t> slots(capacity, 0);  // item index + 1; 0 = empty
    std::vector<char> fromNewer(items->size(), 0), removed(items->size(), 0);
    items->reserve(items->size() + newer.size());

    auto insert = [&](uint64_t hash, size_t index) {
        size_t i = hash & (capacity - 1);
        while (slots[i] != 0) i = (i + 1) & (capacity - 1);
        hashes[i] = hash;
        slots[i] = index + 1;
    };
    for (size_t i = 0; i < items->size(); ++i) insert(identity.Hash((*items)[i], mine), i);

    for (const T& item : newer) {
        uint64_t hash = identity.Hash(item, theirs);
        size_t match = SIZE_MAX;
        for (size_t i = hash & (capacity - 1); slots[i] != 0; i = (i + 1) & (capacity - 1)) {
            size_t index = slots[i] - 1;
            if (hashes[i] == hash && !removed[index] &&
                identity.Same((*items)[index], fromNewer[index] ? theirs : mine, item, theirs)) {
                match = index;
                break;
            }
        }
        if (item.flags.obsolete) {
            // Removed by this update: the installed description no longer lists it.
            if (match != SIZE_MAX) removed[match] = 1;
        } else if (match != SIZE_MAX) {
            (*items)[match] = item;
            fromNewer[match] = 1;
        } else {
            insert(hash, items->size());
            items->push_back(item);
            fromNewer.push_back(1);
            removed.push_back(0);
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
    FoldList(&m_registry, mine, newer.m_registry, theirs, RegistryIdentity());
    FoldList(&m_files, mine, newer.m_files, theirs, FileIdentity());
    FoldList(&m_scripts, mine, newer.m_scripts, theirs, ScriptIdentity());

    // Items may name selectables of either description; keep them all defined. Whether a
    // selectable is installed is a fact of this installation.
    for (const Selectable& s : newer.m_selectables) {
        auto it = std::find_if(m_selectables.begin(), m_selectables.end(),
                               [&](const Selectable& mine) { return NoCase(mine.id, s.id); });
        if (it != m_selectables.end()) {
            bool selected = it->selected;
            *it = s;
            it->selected = selected;
        } else {
            m_selectables.push_back(s);
        }
    }
    for (const PageText& p : newer.m_pages) {
        auto it = std::find_if(m_pages.begin(), m_pages.end(),
                               [&](const PageText& mine) { return NoCase(mine.name, p.name); });
        if (it != m_pages.end())
            *it = p;
        else
            m_pages.push_back(p);
    }

    // The release is now the newer package's; where and for whom it is installed stays, or a
    // later uninstall would act on the package's default folder and root.
    if (newer.m_hasRelease) {
        ReleaseInfo release = newer.m_release;
        if (m_hasRelease) {
            release.targetFolder = m_release.targetFolder;
            release.installFor = m_release.installFor;
            release.promptInstallFor = m_release.promptInstallFor;
        }
        m_release = std::move(release);
        m_hasRelease = true;
    }
    AddRemoveInfo addRemove = newer.m_addRemove;
    if (!m_addRemove.uninstallString.empty())
        addRemove.uninstallString = m_addRemove.uninstallString;
    if (!m_addRemove.installLocation.empty())
        addRemove.installLocation = m_addRemove.installLocation;
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
