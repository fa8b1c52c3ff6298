// The description reader: line classification, sections, items, placeholders and the rules
// that the command line and the Windows version add.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "installer/description/description.h"
#include "installer/description/item_lines.h"
#include "installer/sys/system_info.h"
#include "installer/sys/text_util.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

enum class Section { None, User, Release, AddRemove, Selectables, Pages, Registry, Files, Scripts };

// Blanks are spaces and tabs.
std::string_view TrimView(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::string TrimBlanks(std::string_view s) {
    return std::string(TrimView(s));
}

// The "|"-separated fields of a value, each trimmed; `void` stands for an empty field.
std::vector<std::string> SplitFields(std::string_view value) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t bar = value.find('|', start);
        std::string_view f =
            TrimView(value.substr(start, bar == std::string_view::npos ? bar : bar - start));
        fields.emplace_back(NoCase(f, "void") ? std::string_view() : f);
        if (bar == std::string_view::npos) return fields;
        start = bar + 1;
    }
}

bool IsFlagWord(std::string_view f, bool registry) {
    return NoCase(f, "obsolete") || NoCase(f, "validsince") ||
           (registry && NoCase(f, "ignoreorder"));
}

// Item-level format error, turned into a CConfigException with file and line by the reader.
struct ItemError {
    std::string reason;
};

// Splits the flag tail off `fields`: fields[0..positional) stay, the rest are flags. The
// tail starts at the first flag word after the first field.
ItemFlags TakeFlags(std::vector<std::string>* fields, size_t maxPositional, bool registry) {
    std::vector<std::string>& f = *fields;
    size_t tail = f.size();
    for (size_t i = 1; i < f.size(); ++i) {
        if (IsFlagWord(f[i], registry)) {
            tail = i;
            break;
        }
    }
    size_t positional = std::min(tail, maxPositional);
    ItemFlags flags;
    for (size_t i = positional; i < f.size(); ++i) {
        if (NoCase(f[i], "obsolete")) {
            flags.obsolete = true;
        } else if (registry && NoCase(f[i], "ignoreorder")) {
            flags.ignoreOrder = true;
        } else if (NoCase(f[i], "validsince")) {
            // A flag word in the version's place is a flag left without its version.
            if (i + 1 >= f.size() || f[i + 1].empty() || IsFlagWord(f[i + 1], true))
                throw ItemError{"validsince without a version"};
            flags.validSince = f[++i];
        }
        // Other words in the tail carry no meaning and are passed over.
    }
    f.resize(positional);
    return flags;
}

bool ParseMode(std::string_view word, ScriptMode* mode) {
    if (NoCase(word, "overwrite"))
        *mode = ScriptMode::Overwrite;
    else if (NoCase(word, "update"))
        *mode = ScriptMode::Update;
    else if (NoCase(word, "keep"))
        *mode = ScriptMode::Keep;
    else
        return false;
    return true;
}

bool ParseStamp(std::string_view text, uint64_t* stamp) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    *stamp = v;
    return true;
}

}  // namespace

class ConfigReader {
  public:
    ConfigReader(CInstallConfig* config, const std::string& fileName, const LoadOptions& options)
        : m_config(*config), m_fileName(fileName), m_options(options) {
        if (!m_options.placeholders) m_options.placeholders = SystemPlaceholders();
        if (m_options.windowsVersion.empty()) m_options.windowsVersion = WindowsVersion();
    }

    void Run(const std::string& content) {
        m_config = CInstallConfig();
        size_t pos = 0;
        int lineNo = 0;
        while (pos < content.size()) {
            // The line ends at the first CR or LF; CR, LF and CR LF each end one line.
            size_t end = pos;
            while (end < content.size() && content[end] != '\r' && content[end] != '\n') ++end;
            ++lineNo;
            std::string_view line(content.data() + pos, end - pos);
            if (line.size() > kMaxLineBytes) throw LineTooLong("", lineNo);
            // A NUL would cut the text short in every system call that gets it.
            if (std::memchr(line.data(), '\0', line.size()))
                throw CConfigException(
                    Format("Config file is corrupt! \n\nLine holds a NUL byte in file: %s:%d\n",
                           m_fileName.c_str(), lineNo));
            bool ascii = std::all_of(line.begin(), line.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            // The file is in the system's code page; the program works in UTF-8.
            if (ascii)
                Line(line, lineNo);
            else
                Line(AnsiToUtf8(std::string(line)), lineNo);
            pos = end;
            if (pos + 1 < content.size() && content[pos] == '\r' && content[pos + 1] == '\n')
                pos += 2;
            else if (pos < content.size())
                ++pos;
        }
        Finish();
    }

  private:
    CConfigException LineTooLong(const char* when, int lineNo) const {
        return CConfigException(Format(
            "Config file is corrupt! \n\nLine is too long%s in file: %s:%d\n\nLines of %u bytes "
            "and more are not supported.\n",
            when, m_fileName.c_str(), lineNo, static_cast<unsigned>(kMaxLineBytes + 1)));
    }

    void Line(std::string_view line, int lineNo) {
        if (line.empty() || line[0] == ';') return;
        if (line.size() >= 2 && line[0] == '[' && line.back() == ']') {
            m_section = SectionOf(line, m_section);
            if (m_section == Section::Release) m_config.m_hasRelease = true;
            return;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0)
            throw CConfigException(Format("Config file is corrupt! \n\nLine is on unknown format "
                                          "in file: %s:%d\n\nline:\n",
                                          m_fileName.c_str(), lineNo) +
                                   std::string(line));
        if (m_section == Section::None)
            throw CConfigException(
                Format("Config file is corrupt! \n\nRelease info is missing in file: %s:%d \n",
                       m_fileName.c_str(), lineNo));
        std::string_view key = TrimView(line.substr(0, eq));
        std::string_view written = line.substr(eq + 1);
        std::string value = ExpandPlaceholders(
            written,
            [this](const std::string& name, std::string* out) { return Lookup(name, out); });
        if (value.size() != written.size() || value != written) {
            // A value that names itself grows with every line that sets it: its line is held
            // to the limit of a line of the file (it could not be written back otherwise).
            std::string expanded = std::string(line.substr(0, eq + 1)) + value;
            if (expanded.size() > kMaxLineBytes && !FitsOnALine(expanded))
                throw LineTooLong(" once its placeholders are replaced", lineNo);
            if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
                throw CConfigException(
                    Format("Config file is corrupt! \n\nA placeholder's value holds a line break "
                           "in file: %s:%d\n",
                           m_fileName.c_str(), lineNo));
        }
        try {
            if (NoCase(key, "Selectable"))
                SelectableLine(value);
            else
                KeyLine(key, value, std::string());
        } catch (const ItemError& e) {
            throw Corrupt(e.reason, lineNo, line);
        } catch (const Unwritable& e) {
            throw Corrupt(e.reason, lineNo, line);
        } catch (const CInstallException& e) {
            throw Corrupt(e.Message(), lineNo, line);
        }
    }

    CConfigException Corrupt(const std::string& reason, int lineNo, std::string_view line) const {
        return CConfigException(Format("Config file is corrupt! \n\n%s in file: %s:%d\n\nline:\n",
                                       reason.c_str(), m_fileName.c_str(), lineNo) +
                                std::string(line));
    }

    // The section a header line opens; any other name leaves `current` as it was.
    static Section SectionOf(std::string_view line, Section current) {
        size_t b = line.find_first_not_of("[ \t");
        size_t e = line.find_last_not_of("] \t");
        std::string name = b == std::string_view::npos || e < b
                               ? std::string()
                               : ToLower(std::string(line.substr(b, e - b + 1)));
        if (name.find("corvinstall") != std::string::npos) return Section::User;
        static const struct {
            const char* name;
            Section section;
        } kSections[] = {
            {"release", Section::Release},         {"addremoveprograms", Section::AddRemove},
            {"selectables", Section::Selectables}, {"pages", Section::Pages},
            {"registrykeys", Section::Registry},   {"fileitems", Section::Files},
            {"scripts", Section::Scripts},
        };
        for (const auto& s : kSections)
            if (name == s.name) return s.section;
        return current;
    }

    // The value of a placeholder while reading: the release values read so far, the system's
    // values, and none for the names the job replaces once the target is final.
    bool Lookup(const std::string& name, std::string* value) {
        const ReleaseInfo& r = m_config.m_release;
        static const char* const kLate[] = {"TargetFolder",    "TargetHKEY",
                                            "StartMenuFolder", "StartMenuProgramsFolder",
                                            "DesktopFolder",   "StartupFolder"};
        for (const char* late : kLate)
            if (NoCase(name, late)) return false;
        const struct {
            const char* name;
            bool known;
            const std::string& value;
        } kRelease[] = {
            {"Company", m_haveCompany, r.company},
            {"Product", m_haveProduct, r.product},
            {"Version", m_haveVersion, r.version},
            {"ProcessName", m_haveProcess, r.processName},
        };
        for (const auto& entry : kRelease) {
            if (!NoCase(name, entry.name)) continue;
            if (!entry.known) break;
            *value = entry.value;
            return true;
        }
        return m_options.placeholders(name, value);
    }

    // Selectable=<id>|<key>|<rest>: the line <key>=<rest> for an item of that selectable.
    void SelectableLine(const std::string& value) {
        size_t bar1 = value.find('|');
        if (bar1 == std::string::npos) return;
        size_t bar2 = value.find('|', bar1 + 1);
        if (bar2 == std::string::npos) return;
        std::string id = TrimBlanks(std::string_view(value).substr(0, bar1));
        std::string key = TrimBlanks(std::string_view(value).substr(bar1 + 1, bar2 - bar1 - 1));
        std::string rest = value.substr(bar2 + 1);
        if (id.empty() || key.empty() || TrimView(rest).empty()) return;
        if (NoCase(key, "Selectable")) return;
        if (m_selectableIds.count(ToLower(id)) == 0) return;
        KeyLine(key, rest, id);
    }

    void KeyLine(std::string_view key, const std::string& value, const std::string& owner) {
        switch (m_section) {
            case Section::User:
                if (NoCase(key, "User")) m_config.m_user = TrimBlanks(value);
                break;
            case Section::Release:
                ReleaseLine(key, TrimBlanks(value));
                break;
            case Section::AddRemove:
                AddRemoveLine(key, TrimBlanks(value));
                break;
            case Section::Selectables:
                SelectablesLine(key, value);
                break;
            case Section::Pages:
                PageLine(key, value);
                break;
            case Section::Registry:
                if (NoCase(key, "reg")) RegistryLine(value, owner);
                break;
            case Section::Files:
                FileLine(key, value, owner);
                break;
            case Section::Scripts:
                ScriptLine(key, value, owner);
                break;
            case Section::None:
                break;
        }
    }

    void ReleaseLine(std::string_view key, std::string value) {
        ReleaseInfo& r = m_config.m_release;
        struct Slot {
            const char* key;
            std::string* value;
            bool* known;  // for the values placeholders stand for
        };
        const Slot slots[] = {
            {"PackageType", &r.packageType, nullptr},
            {"Company", &r.company, &m_haveCompany},
            {"Product", &r.product, &m_haveProduct},
            {"ProcessName", &r.processName, &m_haveProcess},
            {"Version", &r.version, &m_haveVersion},
            {"ApplicableSince", &r.applicableSince, nullptr},
            {"TargetFolder", &r.targetFolder, nullptr},
            {"Logo", &r.logo, nullptr},
            {"Readme", &r.readme, nullptr},
            {"DisplayCompleteOptions", &r.displayCompleteOptions, nullptr},
            {"RegistryRoot", &r.registryRoot, nullptr},
            {"RegistryInstallLocation", &r.registryInstallLocation, nullptr},
        };
        if (NoCase(key, "InstallFor")) {
            std::vector<std::string> f = SplitFields(value);
            m_fileInstallFor = NoCase(f[0], "allusers")    ? InstallFor::AllUsers
                               : NoCase(f[0], "onlyforme") ? InstallFor::OnlyForMe
                                                           : InstallFor::Unset;
            m_filePrompt =
                m_fileInstallFor != InstallFor::Unset && f.size() > 1 && NoCase(f[1], "prompt");
            return;
        }
        for (const Slot& slot : slots) {
            if (!NoCase(key, slot.key)) continue;
            *slot.value = std::move(value);
            if (slot.known) *slot.known = true;
            return;
        }
    }

    void AddRemoveLine(std::string_view key, std::string value) {
        AddRemoveInfo& a = m_config.m_addRemove;
        std::string* slot = NoCase(key, "DisplayName")       ? &a.displayName
                            : NoCase(key, "UninstallString") ? &a.uninstallString
                            : NoCase(key, "DisplayIcon")     ? &a.displayIcon
                            : NoCase(key, "InstallLocation") ? &a.installLocation
                            : NoCase(key, "UrlInfoAbout")    ? &a.urlInfoAbout
                            : NoCase(key, "Publisher")       ? &a.publisher
                            : NoCase(key, "Contact")         ? &a.contact
                            : NoCase(key, "DisplayVersion")  ? &a.displayVersion
                                                             : nullptr;
        if (slot) *slot = std::move(value);
    }

    void SelectablesLine(std::string_view key, const std::string& value) {
        std::string group = ToLower(std::string(key));
        if (group != "internal" && group != "wrapper") return;
        std::vector<std::string> f = SplitFields(value);
        Selectable s;
        s.group = group;
        s.id = f[0];
        s.title = f.size() > 1 ? f[1] : std::string();
        if (s.id.empty() || s.title.empty()) return;
        s.selected = f.size() > 2 && NoCase(f[2], "selected");
        WrittenLine(s);
        m_selectableIds.emplace(ToLower(s.id), m_config.m_selectables.size());
        m_config.m_selectables.push_back(std::move(s));
    }

    void PageLine(std::string_view name, const std::string& value) {
        size_t bar = value.find('|');
        std::string attribute = TrimBlanks(std::string_view(value).substr(0, bar));
        std::string text = bar == std::string::npos
                               ? std::string()
                               : TrimBlanks(std::string_view(value).substr(bar + 1));
        std::string PageText::*slot = NoCase(attribute, "Header")        ? &PageText::header
                                      : NoCase(attribute, "Description") ? &PageText::description
                                      : NoCase(attribute, "Enable")      ? &PageText::enable
                                                                         : nullptr;
        if (!slot) return;
        std::string lower = ToLower(std::string(name));
        auto it = m_pageIndex.find(lower);
        PageText page = it != m_pageIndex.end() ? m_config.m_pages[it->second]
                                                : PageText{std::string(name), {}, {}, {}};
        page.*slot = text;
        WrittenLines(page);
        if (it != m_pageIndex.end()) {
            m_config.m_pages[it->second] = std::move(page);
        } else {
            m_pageIndex.emplace(lower, m_config.m_pages.size());
            m_config.m_pages.push_back(std::move(page));
        }
    }

    void RegistryLine(const std::string& value, const std::string& owner) {
        std::vector<std::string> f = SplitFields(value);
        RegistryItem item;
        item.flags = TakeFlags(&f, 5, true);
        if (f.size() < 2 || f[0].empty() || f[1].empty()) throw ItemError{"syntax error!"};
        if (!IsKnownRootName(f[0])) throw ItemError{"Unknown Registry key: " + f[0]};
        RegistryEntry& key = item.key;
        key.root = f[0];
        key.keyPath = f[1];
        if (f.size() >= 3) key.valueName = f[2];
        // With a type field the value has data (possibly empty); without, it is named only.
        if (f.size() >= 4) {
            if (!ParseRegItemType(f[3], &key.type)) throw ItemError{kUnknownTypeMessage};
            if (f.size() >= 5) key.data = f[4];
        }
        item.selectable = owner;
        WrittenLine(item);
        m_config.m_registry.push_back(std::move(item));
    }

    void FileLine(std::string_view key, const std::string& value, const std::string& owner) {
        FileItem item;
        size_t extra = 0;
        if (NoCase(key, "file")) {
            item.kind = FileKind::File;
            extra = 1;
        } else if (NoCase(key, "dir")) {
            item.kind = FileKind::Dir;
        } else if (NoCase(key, "link")) {
            item.kind = FileKind::Link;
            extra = 3;
        } else if (NoCase(key, "activex")) {
            item.kind = FileKind::ActiveX;
        } else {
            return;
        }
        std::vector<std::string> f = SplitFields(value);
        item.flags = TakeFlags(&f, 1 + extra, false);
        if (f[0].empty()) throw ItemError{"syntax error!"};
        if (item.kind == FileKind::Link && (f.size() < 2 || f[1].empty()))
            throw ItemError{"syntax error!"};
        size_t last = f.size();
        while (last > 1 && f[last - 1].empty()) --last;
        item.path = f[0];
        item.fields.assign(f.begin() + 1, f.begin() + last);
        item.selectable = owner;
        WrittenLine(item);
        m_config.m_files.push_back(std::move(item));
    }

    void ScriptLine(std::string_view key, const std::string& value, const std::string& owner) {
        ScriptItem item;
        std::vector<std::string> f = SplitFields(value);
        if (NoCase(key, "Exec")) {
            item.kind = ScriptKind::Exec;
            item.flags = TakeFlags(&f, 7, false);
            if (f.size() < 7 || f[0].empty()) throw ItemError{"syntax error!"};
            item.program = f[0];
            item.folder = f[1];
            item.parameters = f[2];
            item.target = f[3];
            if (NoCase(f[4], "show"))
                item.show = true;
            else if (NoCase(f[4], "hide") || NoCase(f[4], "hidden"))
                item.show = false;
            else
                throw ItemError{"Unknown window mode: " + f[4]};
            if (!ParseMode(f[5], &item.mode)) throw ItemError{"Unknown script mode: " + f[5]};
            if (!ParseStamp(f[6], &item.stamp)) throw ItemError{"Invalid time stamp: " + f[6]};
        } else if (NoCase(key, "LaunchApp")) {
            item.kind = ScriptKind::LaunchApp;
            item.flags = TakeFlags(&f, 4, false);
            if (f[0].empty() || f.size() == 2 || f.size() == 3) throw ItemError{"syntax error!"};
            item.program = f[0];
            item.shortForm = f.size() == 1;
            if (!item.shortForm) {
                item.parameters = f[1];
                if (!ParseMode(f[2], &item.mode)) throw ItemError{"Unknown script mode: " + f[2]};
                if (!ParseStamp(f[3], &item.stamp)) throw ItemError{"Invalid time stamp: " + f[3]};
            }
        } else {
            return;
        }
        item.selectable = owner;
        WrittenLine(item);
        m_config.m_scripts.push_back(std::move(item));
    }

    void Finish() {
        ReleaseInfo& r = m_config.m_release;
        if (IsWindows98OrMe(m_options.windowsVersion)) {
            r.installFor = InstallFor::OnlyForMe;
            r.promptInstallFor = false;
        } else if (m_options.installFor == InstallForOption::AllUsers) {
            r.installFor = InstallFor::AllUsers;
            r.promptInstallFor = false;
        } else if (m_options.installFor == InstallForOption::OnlyForMe) {
            r.installFor = InstallFor::OnlyForMe;
            r.promptInstallFor = false;
        } else {
            r.installFor = m_fileInstallFor;
            r.promptInstallFor = m_filePrompt;
        }
        // Command-line values are taken as the reader would take them from the file, and
        // refused when the installed copy could not hold them.
        try {
            if (!m_options.targetFolder.empty()) {
                r.targetFolder = TrimBlanks(m_options.targetFolder);
                WrittenKeyLine("TargetFolder", r.targetFolder);
            }
        } catch (const Unwritable& e) {
            throw CConfigException("Target folder cannot be used: " + e.reason);
        }
        if (m_options.hasTunnelServers) {
            std::string text = TrimBlanks(m_options.tunnelServers);
            if (text.find_first_of("|\r\n") != std::string::npos)
                throw CConfigException("Tunnel server list cannot contain \"|\" or line breaks: " +
                                       text);
            if (NoCase(text, "void"))
                throw CConfigException("Tunnel server list cannot be \"void\"");
            try {
                Replace({kTargetHkeyName, "SOFTWARE\\Velmora\\Corvane\\Preferences",
                         "proxyServerAddresses", RegItemType::String, text});
                Replace({"HKEY_CURRENT_USER",
                         "SOFTWARE\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Tunnel",
                         "proxy/Server/Addresses", RegItemType::String, text});
            } catch (const Unwritable& e) {
                throw CConfigException("Tunnel server list cannot be used: " + e.reason);
            }
        }
    }

    void Replace(const RegistryEntry& key) {
        RegistryItem item{key, {}, {}};
        WrittenLine(item);
        InstallFor installFor = m_config.m_release.installFor;
        std::string id = ItemIdentity(item, installFor);
        for (auto& existing : m_config.m_registry) {
            if (ItemIdentity(existing, installFor) == id) {
                existing = item;
                return;
            }
        }
        m_config.m_registry.push_back(std::move(item));
    }

    CInstallConfig& m_config;
    std::string m_fileName;
    LoadOptions m_options;
    Section m_section = Section::None;
    bool m_haveCompany = false, m_haveProduct = false, m_haveProcess = false, m_haveVersion = false;
    InstallFor m_fileInstallFor = InstallFor::Unset;
    bool m_filePrompt = false;
    std::unordered_map<std::string, size_t> m_selectableIds;  // by lower-case id
    std::unordered_map<std::string, size_t> m_pageIndex;      // by lower-case name
};

void CInstallConfig::Parse(const std::string& content, const std::string& fileName,
                           const LoadOptions& options) {
    CInstallConfig parsed;
    ConfigReader(&parsed, fileName, options).Run(content);
    *this = std::move(parsed);
}

void CInstallConfig::Load(const std::string& path, const LoadOptions& options) {
    std::string content;
    if (IsDirectory(path) || !ReadFileText(path, &content))
        throw CConfigException(
            Format("Could not open: %s\n\npwd: %s", path.c_str(), CurrentFolder().c_str()));
    Parse(content, path, options);
}

void CInstallConfig::LoadInstalled(const std::string& path, const LoadOptions& options) {
    if (!PathExists(path))
        throw CConfigException(Format("Config file does not exist: %s\n", path.c_str()));
    Load(path, options);
    if (!m_hasRelease)
        throw CConfigException(Format(
            "Config file is corrupt! \n\nRelease info is missing in file: %s\n", path.c_str()));
    if (m_release.version.empty())
        throw CConfigException(Format(
            "Config file is corrupt! \n\nVersion info is missing in file: %s\n", path.c_str()));
    if (m_addRemove.displayName.empty())
        throw CConfigException(
            Format("Installation file, %s, is corrupt!\n[AddRemoveProgs] DisplayName is missing",
                   path.c_str()));
    if (m_addRemove.uninstallString.empty())
        throw CConfigException(Format(
            "Installation file, %s, is corrupt!\n[AddRemoveProgs] UninstallString is missing",
            path.c_str()));
}

}  // namespace corv::inst
