// The description reader: line classification, sections, items, placeholders and the rules
// that the command line and the Windows version add.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "installer/description/byte_scan.h"
#include "installer/description/description.h"
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

// Blanks are spaces and tabs. (find_first_not_of would search the set once per character.)
inline std::string_view TrimView(std::string_view s) {
    // Most texts have no blanks around them: one compare per end decides (blanks and control
    // characters are the bytes up to the space).
    if (s.empty() ||
        (static_cast<unsigned char>(s.front()) > ' ' && static_cast<unsigned char>(s.back()) > ' '))
        return s;
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::string TrimBlanks(std::string_view s) {
    return std::string(TrimView(s));
}

// Whether a field is as long as a flag word: 8, 10 or 11 bytes.
inline bool IsFlagLength(size_t size) {
    return size < 12 && ((1u << size) & ((1u << 8) | (1u << 10) | (1u << 11))) != 0;
}

// The "|"-separated fields of a value, each trimmed; `void` stands for an empty field. The
// fields point into the value. Reused from line to line: the slots are sized once for the
// longest value, so that splitting is a plain store per field.
class FieldList {
  public:
    // Starts a new line's bars: up to `bytes` of them, added in order by AddBar.
    void StartBars(size_t bytes) {
        if (m_bars.size() < bytes) m_bars.resize(bytes);
        m_barCount = 0;
        m_barsKnown = true;
    }
    void AddBar(size_t at) { m_bars[m_barCount++] = static_cast<uint32_t>(at); }
    // The line's bars are to be found by Split.
    void ForgetBars() { m_barsKnown = false; }
    // The bars added since StartBars are those of `text`.
    void MarkBarsOf(std::string_view text) { m_marked = m_barsKnown ? text : std::string_view(); }

    void Split(std::string_view value) {
        // A value of n bytes has at most n + 1 fields.
        if (m_slots.size() <= value.size()) m_slots.resize(value.size() + 1);
        std::string_view* slot = m_slots.data();
        const char* p = value.data();
        size_t n = 0, start = 0;
        m_flagFrom = 0;
        auto add = [&](size_t bar) {
            std::string_view f = TrimView(std::string_view(p + start, bar - start));
            if (f.size() == 4 && NoCase(f, "void")) f = std::string_view();
            // Flag words ("obsolete", "validsince", "ignoreorder") follow the first field.
            if (IsFlagLength(f.size()) && m_flagFrom == 0) m_flagFrom = n;
            slot[n++] = f;
            start = bar + 1;
        };
        const char* end = value.data() + value.size();
        const char* markedEnd = m_marked.data() + m_marked.size();
        if (end == markedEnd && value.data() >= m_marked.data()) {
            // The value is the marked text or its end: the bars are known.
            size_t skip = static_cast<size_t>(value.data() - m_marked.data());
            size_t i = 0;
            while (i < m_barCount && m_bars[i] < skip) ++i;
            for (; i < m_barCount; ++i) add(m_bars[i] - skip);
        } else {
            ForEachByte(value, '|', add);
        }
        add(value.size());
        m_count = n;
    }
    size_t size() const { return m_count; }
    std::string_view& operator[](size_t i) { return m_slots[i]; }
    std::string_view operator[](size_t i) const { return m_slots[i]; }
    const std::string_view* begin() const { return m_slots.data(); }
    const std::string_view* end() const { return m_slots.data() + m_count; }
    // Drops the fields from `count` on.
    void Truncate(size_t count) { m_count = std::min(m_count, count); }
    // The first field after the first one that is as long as a flag word, or size().
    size_t FlagsFrom() const { return m_flagFrom == 0 ? m_count : m_flagFrom; }

  private:
    std::vector<std::string_view> m_slots;
    size_t m_count = 0;
    size_t m_flagFrom = 0;
    std::vector<uint32_t> m_bars;
    size_t m_barCount = 0;
    bool m_barsKnown = false;
    std::string_view m_marked;  // the text whose bars are known
};

// A text built piece by piece and reused from line to line; appending is inline.
class LineBuffer {
  public:
    void Clear() { m_size = 0; }
    void Append(std::string_view s) {
        if (m_size + s.size() > m_bytes.size())
            m_bytes.resize(std::max(2 * m_bytes.size(), m_size + s.size()));
        CopyBytes(m_bytes.data() + m_size, s.data(), s.size());
        m_size += s.size();
    }
    std::string_view View() const { return std::string_view(m_bytes.data(), m_size); }

  private:
    std::vector<char> m_bytes = std::vector<char>(1024);
    size_t m_size = 0;
};

bool StartsTail(std::string_view f, bool registry) {
    switch (f.size()) {
        case 8:
            return NoCase(f, "obsolete");
        case 10:
            return NoCase(f, "validsince");
        case 11:
            return registry && NoCase(f, "ignoreorder");
        default:
            return false;
    }
}

// Selectable ids are told apart without regard to case.
void LowerInto(std::string_view text, std::string* out) {
    out->assign(text.data(), text.size());
    for (char& c : *out) c = AsciiLower(c);
}

// Item-level format error, turned into a CConfigException with file and line by the reader.
struct ItemError {
    std::string reason;
};

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
        const TextSurvey survey = Survey(content);
        // The item texts are about as long as the file; a little more for placeholder values.
        m_config.m_texts.Reserve(content.size() + content.size() / 8 + 64);
        size_t pos = 0;
        int lineNo = 0;
        const size_t size = content.size();
        const char* const data = content.data();
        std::string converted;
        // Most files are plain ASCII without NUL bytes: checked once for the whole text.
        const bool ascii = !survey.nonAscii, hasNul = survey.nul;
        while (pos < size) {
            // The line ends at the first CR or LF.
            size_t end = static_cast<size_t>(FindLineBreak(data + pos, data + size) - data);
            ++lineNo;
            if (end - pos > kMaxLineBytes) throw LineTooLong("", lineNo);
            // A NUL would cut the text short in every system call that gets it.
            if (hasNul && std::memchr(data + pos, '\0', end - pos))
                throw CConfigException(
                    Format("Config file is corrupt! \n\nLine holds a NUL byte in file: %s:%d\n",
                           m_fileName.c_str(), lineNo));
            std::string_view line(data + pos, end - pos);
            if (ascii || IsAscii(line)) {
                Line(line, lineNo, data);
            } else {
                // The file is in the system's code page; the program works in UTF-8.
                converted = AnsiToUtf8(std::string(line));
                Line(converted, lineNo, converted.data());
            }
            // CR, LF and CR LF each end one line.
            pos = end;
            if (pos < size && content[pos] == '\r') {
                ++pos;
                if (pos < size && content[pos] == '\n') ++pos;
            } else if (pos < size) {
                ++pos;
            }
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

    // `floor`: the start of the buffer that holds the line.
    void Line(std::string_view line, int lineNo, const char* floor) {
        if (line.empty() || line[0] == ';') return;
        if (line[0] == '[' && line.back() == ']' && line.size() >= 2) {
            Header(line);
            return;
        }
        size_t eq = FindByte(line, '=');
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
        const std::string_view written = line.substr(eq + 1);
        std::string_view value = Expand(written, floor);
        // A value that names itself grows with every line that sets it: its line is held to
        // the same limit as a line of the file (it could not be written back otherwise).
        if (value.data() != written.data() && eq + 1 + value.size() > kMaxLineBytes &&
            !FitsOnALine(std::string(line.substr(0, eq + 1)).append(value)))
            throw LineTooLong(" once its placeholders are replaced", lineNo);
        // Items keep views of their texts: store the value once, the fields point into it.
        if (m_section == Section::Registry || m_section == Section::Files ||
            m_section == Section::Scripts)
            value = m_config.m_texts.Keep(value);
        m_fields.MarkBarsOf(value);
        try {
            if (NoCase(key, "Selectable"))
                SelectableLine(value);
            else
                KeyLine(key, value, std::string_view());
        } catch (const ItemError& e) {
            throw CConfigException(
                Format("Config file is corrupt! \n\n%s in file: %s:%d\n\nline:\n", e.reason.c_str(),
                       m_fileName.c_str(), lineNo) +
                std::string(line));
        } catch (const CInstallException& e) {
            throw CConfigException(
                Format("Config file is corrupt! \n\n%s in file: %s:%d\n\nline:\n",
                       e.Message().c_str(), m_fileName.c_str(), lineNo) +
                std::string(line));
        }
    }

    void Header(std::string_view line) {
        Section section = SectionOf(line, m_section);
        if (section == Section::Release) m_config.m_hasRelease = true;
        m_section = section;
    }

    // The section a header line opens; any other name leaves `current` as it was.
    static Section SectionOf(std::string_view line, Section current) {
        size_t b = line.find_first_not_of("[ \t");
        size_t e = line.find_last_not_of("] \t");
        std::string_view name =
            b == std::string_view::npos || e < b ? std::string_view() : line.substr(b, e - b + 1);
        static const char kMark[] = "corvinstall";
        const size_t markSize = sizeof(kMark) - 1;
        for (size_t i = 0; i + markSize <= name.size(); ++i)
            if (NoCase(name.substr(i, markSize), kMark)) return Section::User;
        if (NoCase(name, "release")) return Section::Release;
        if (NoCase(name, "addremoveprograms")) return Section::AddRemove;
        if (NoCase(name, "selectables")) return Section::Selectables;
        if (NoCase(name, "pages")) return Section::Pages;
        if (NoCase(name, "registrykeys")) return Section::Registry;
        if (NoCase(name, "fileitems")) return Section::Files;
        if (NoCase(name, "scripts")) return Section::Scripts;
        return current;
    }

    // Surveys the text, and sizes the item lists from the number of lines in each section,
    // so that a large description is not moved around while it grows.
    TextSurvey Survey(const std::string& content) {
        size_t counts[static_cast<int>(Section::Scripts) + 1] = {};
        Section section = Section::None;
        size_t sectionStart = 0;  // the line feeds before the current section's header
        const char* const end = content.data() + content.size();
        TextSurvey survey = SurveyText(content, [&](size_t at, size_t lineFeedsBefore) {
            const char* line = content.data() + at;
            const char* eol = FindLineBreak(line, end);
            if (eol[-1] != ']') return;
            counts[static_cast<int>(section)] += lineFeedsBefore - sectionStart;
            sectionStart = lineFeedsBefore;
            section = SectionOf(std::string_view(line, static_cast<size_t>(eol - line)), section);
        });
        // The last line may have no line end.
        counts[static_cast<int>(section)] += survey.lineFeeds - sectionStart + 1;
        m_config.m_registry.reserve(counts[static_cast<int>(Section::Registry)]);
        m_config.m_files.reserve(counts[static_cast<int>(Section::Files)]);
        m_config.m_scripts.reserve(counts[static_cast<int>(Section::Scripts)]);
        return survey;
    }

    // The value with its placeholders replaced, as ExpandPlaceholders does; the result lives
    // in `value` or in a buffer reused from line to line. The same pass finds the bars of
    // the result for m_fields.
    std::string_view Expand(std::string_view value, const char* floor) {
        if (m_marks.size() < value.size()) m_marks.resize(value.size());
        const size_t marks = FindEach(value, '$', '|', m_marks.data(), floor);
        m_barInValue = m_barInRelease;
        m_fields.StartBars(value.size() + 1);
        LineBuffer& out = m_expanded;
        size_t pos = 0;    // where the text not yet copied to `out` starts
        size_t shift = 0;  // how far the text from `pos` on moves in the result
        for (size_t i = 0; i < marks; ++i) {
            const size_t at = m_marks[i];
            if (value[at] == '|') {
                m_fields.AddBar(at + shift);
                continue;
            }
            // Names hold no "$" or "|": each "$" of the value starts a name or stands alone.
            size_t end = NameEnd(value, at + 1);
            std::string_view known;
            // Placeholders left as written are copied with the text around them.
            if (end > at + 1 && Lookup(value.substr(at + 1, end - at - 1), &known)) {
                if (pos == 0) out.Clear();
                out.Append(value.substr(pos, at - pos));
                out.Append(known);
                pos = end;
                shift = out.View().size() - end;
            }
        }
        if (pos == 0) return value;  // nothing replaced
        out.Append(value.substr(pos));
        // A bar inside a placeholder's value is found when the fields are split.
        if (m_barInValue) m_fields.ForgetBars();
        return out.View();
    }

    // The value of a placeholder that is known while reading. Names are told apart by their
    // length first: this runs for every placeholder of every line.
    __attribute__((always_inline)) bool Lookup(std::string_view name, std::string_view* value) {
        const ReleaseInfo& r = m_config.m_release;
        switch (name.size()) {
            case 7:
                if (NoCase(name, "Company")) return Known(m_haveCompany, r.company, value);
                if (NoCase(name, "Product")) return Known(m_haveProduct, r.product, value);
                if (NoCase(name, "Version")) return Known(m_haveVersion, r.version, value);
                break;
            case 11:
                if (NoCase(name, "ProcessName")) return Known(m_haveProcess, r.processName, value);
                break;
            // Names whose values are known only when the target folder and InstallFor are
            // final: the reader leaves them as written for the job.
            case 10:
                if (NoCase(name, "TargetHKEY")) return false;
                break;
            case 12:
                if (NoCase(name, "TargetFolder")) return false;
                break;
            case 13:
                if (NoCase(name, "DesktopFolder") || NoCase(name, "StartupFolder")) return false;
                break;
            case 15:
                if (NoCase(name, "StartMenuFolder")) return false;
                break;
            case 23:
                if (NoCase(name, "StartMenuProgramsFolder")) return false;
                break;
        }
        return AskSystem(name, value);
    }

    // Other names come from the system; kept out of line, as they are rare.
    __attribute__((noinline)) bool AskSystem(std::string_view name, std::string_view* value) {
        m_lookedUp.clear();
        if (!m_options.placeholders(std::string(name), &m_lookedUp)) return false;
        *value = m_lookedUp;
        m_barInValue = m_barInValue || FindByte(m_lookedUp, '|') != std::string_view::npos;
        return true;
    }

    static bool Known(bool have, const std::string& known, std::string_view* value) {
        if (!have) return false;
        *value = known;
        return true;
    }

    // Selectable=<id>|<key>|<rest>: the line <key>=<rest> for an item of that selectable.
    void SelectableLine(std::string_view value) {
        size_t bar1 = value.find('|');
        if (bar1 == std::string::npos) return;
        size_t bar2 = value.find('|', bar1 + 1);
        if (bar2 == std::string::npos) return;
        std::string_view id = TrimView(value.substr(0, bar1));
        std::string_view key = TrimView(value.substr(bar1 + 1, bar2 - bar1 - 1));
        std::string_view rest = value.substr(bar2 + 1);
        if (id.empty() || key.empty() || TrimView(rest).empty()) return;
        if (NoCase(key, "Selectable")) return;
        LowerInto(id, &m_idKey);
        auto it = m_selectableIds.find(m_idKey);
        if (it == m_selectableIds.end()) return;
        KeyLine(key, rest, id);
    }

    void KeyLine(std::string_view key, std::string_view value, std::string_view owner) {
        switch (m_section) {
            case Section::User:
                if (NoCase(key, "User")) m_config.m_user = TrimBlanks(value);
                break;
            case Section::Release:
                ReleaseLine(key, TrimView(value));
                break;
            case Section::AddRemove:
                AddRemoveLine(key, TrimView(value));
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

    // A release value that placeholders stand for.
    void Remember(std::string* slot, bool* have, std::string_view value) {
        *slot = value;
        *have = true;
        m_barInRelease = m_barInRelease || FindByte(value, '|') != std::string_view::npos;
    }

    void ReleaseLine(std::string_view key, std::string_view value) {
        ReleaseInfo& r = m_config.m_release;
        if (NoCase(key, "PackageType")) {
            r.packageType = value;
        } else if (NoCase(key, "Company")) {
            Remember(&r.company, &m_haveCompany, value);
        } else if (NoCase(key, "Product")) {
            Remember(&r.product, &m_haveProduct, value);
        } else if (NoCase(key, "ProcessName")) {
            Remember(&r.processName, &m_haveProcess, value);
        } else if (NoCase(key, "Version")) {
            Remember(&r.version, &m_haveVersion, value);
        } else if (NoCase(key, "ApplicableSince")) {
            r.applicableSince = value;
        } else if (NoCase(key, "InstallFor")) {
            FieldList& f = m_fields;
            f.Split(value);
            m_fileInstallFor = NoCase(f[0], "allusers")    ? InstallFor::AllUsers
                               : NoCase(f[0], "onlyforme") ? InstallFor::OnlyForMe
                                                           : InstallFor::Unset;
            m_filePrompt =
                m_fileInstallFor != InstallFor::Unset && f.size() > 1 && NoCase(f[1], "prompt");
        } else if (NoCase(key, "TargetFolder")) {
            r.targetFolder = value;
        } else if (NoCase(key, "Logo")) {
            r.logo = value;
        } else if (NoCase(key, "Readme")) {
            r.readme = value;
        } else if (NoCase(key, "DisplayCompleteOptions")) {
            r.displayCompleteOptions = value;
        } else if (NoCase(key, "RegistryRoot")) {
            r.registryRoot = value;
        } else if (NoCase(key, "RegistryInstallLocation")) {
            r.registryInstallLocation = value;
        }
    }

    void AddRemoveLine(std::string_view key, std::string_view value) {
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
        if (slot) *slot = value;
    }

    void SelectablesLine(std::string_view key, std::string_view value) {
        std::string group = ToLower(std::string(key));
        if (group != "internal" && group != "wrapper") return;
        FieldList& f = m_fields;
        f.Split(value);
        Selectable s;
        s.group = group;
        s.id = f[0];
        s.title = f.size() > 1 ? f[1] : std::string_view();
        if (s.id.empty() || s.title.empty()) return;
        s.selected = f.size() > 2 && NoCase(f[2], "selected");
        LowerInto(s.id, &m_idKey);
        m_selectableIds.emplace(m_idKey, m_config.m_selectables.size());
        m_config.m_selectables.push_back(std::move(s));
    }

    void PageLine(std::string_view name, std::string_view value) {
        size_t bar = value.find('|');
        std::string attribute = TrimBlanks(value.substr(0, bar));
        std::string text =
            bar == std::string::npos ? std::string() : TrimBlanks(value.substr(bar + 1));
        std::string* slot = nullptr;
        auto page = [&]() -> PageText& {
            auto it = m_pageIndex.find(ToLower(std::string(name)));
            if (it != m_pageIndex.end()) return m_config.m_pages[it->second];
            m_pageIndex.emplace(ToLower(std::string(name)), m_config.m_pages.size());
            m_config.m_pages.push_back(PageText{std::string(name), {}, {}, {}});
            return m_config.m_pages.back();
        };
        if (NoCase(attribute, "Header"))
            slot = &page().header;
        else if (NoCase(attribute, "Description"))
            slot = &page().description;
        else if (NoCase(attribute, "Enable"))
            slot = &page().enable;
        if (slot) *slot = text;
    }

    // Splits the flag tail off `fields`: fields[0..positional) stay, the rest are flags.
    static ItemFlags TakeFlags(FieldList& fields, size_t maxPositional, bool registry) {
        size_t tail = fields.size();
        for (size_t i = fields.FlagsFrom(); i < fields.size(); ++i) {
            if (StartsTail(fields[i], registry)) {
                tail = i;
                break;
            }
        }
        size_t positional = std::min(tail, maxPositional);
        ItemFlags flags;
        for (size_t i = positional; i < fields.size(); ++i) {
            std::string_view f = fields[i];
            if (NoCase(f, "obsolete")) {
                flags.obsolete = true;
            } else if (registry && NoCase(f, "ignoreorder")) {
                flags.ignoreOrder = true;
            } else if (NoCase(f, "validsince")) {
                if (i + 1 >= fields.size() || fields[i + 1].empty())
                    throw ItemError{"validsince without a version"};
                flags.validSince = fields[++i];
            }
            // Other words in the tail carry no meaning and are passed over.
        }
        fields.Truncate(positional);
        return flags;
    }

    void RegistryLine(std::string_view value, std::string_view owner) {
        FieldList& f = m_fields;
        f.Split(value);
        ItemFlags flags = TakeFlags(f, 5, true);
        if (f.size() < 2 || f[0].empty() || f[1].empty()) throw ItemError{"syntax error!"};
        if (!IsKnownRootName(f[0])) throw ItemError{"Unknown Registry key: " + std::string(f[0])};
        // Built in place; a line in error ends the whole reading, item and all.
        RegistryItem& item = m_config.m_registry.emplace_back();
        item.flags = flags;
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
    }

    void FileLine(std::string_view key, std::string_view value, std::string_view owner) {
        FileKind kind;
        size_t extra = 0;
        if (NoCase(key, "file")) {
            kind = FileKind::File;
            extra = 1;
        } else if (NoCase(key, "dir")) {
            kind = FileKind::Dir;
        } else if (NoCase(key, "link")) {
            kind = FileKind::Link;
            extra = 3;
        } else if (NoCase(key, "activex")) {
            kind = FileKind::ActiveX;
        } else {
            return;
        }
        FieldList& f = m_fields;
        f.Split(value);
        ItemFlags flags = TakeFlags(f, 1 + extra, false);
        if (f[0].empty()) throw ItemError{"syntax error!"};
        if (kind == FileKind::Link && (f.size() < 2 || f[1].empty()))
            throw ItemError{"syntax error!"};
        size_t last = f.size();
        while (last > 1 && f[last - 1].empty()) --last;
        // Built in place: an item with a list is costly to move.
        FileItem& item = m_config.m_files.emplace_back();
        item.kind = kind;
        item.path = f[0];
        if (last > 1) item.fields.assign(f.begin() + 1, f.begin() + last);
        item.flags = flags;
        item.selectable = owner;
    }

    static bool ParseMode(std::string_view word, ScriptMode* mode) {
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

    static bool ParseStamp(std::string_view text, uint64_t* stamp) {
        if (text.empty() || text.size() > 20) return false;
        uint64_t v = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (c < '0' || c > '9') return false;
            uint64_t digit = static_cast<uint64_t>(c - '0');
            // Nineteen digits always fit; only the twentieth can overflow.
            if (i == 19 && v > (UINT64_MAX - digit) / 10) return false;
            v = v * 10 + digit;
        }
        *stamp = v;
        return true;
    }

    void ScriptLine(std::string_view key, std::string_view value, std::string_view owner) {
        ScriptItem item;
        FieldList& f = m_fields;
        f.Split(value);
        if (NoCase(key, "Exec")) {
            item.kind = ScriptKind::Exec;
            item.flags = TakeFlags(f, 7, false);
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
                throw ItemError{"Unknown window mode: " + std::string(f[4])};
            if (!ParseMode(f[5], &item.mode))
                throw ItemError{"Unknown script mode: " + std::string(f[5])};
            if (!ParseStamp(f[6], &item.stamp))
                throw ItemError{"Invalid time stamp: " + std::string(f[6])};
        } else if (NoCase(key, "LaunchApp")) {
            item.kind = ScriptKind::LaunchApp;
            item.flags = TakeFlags(f, 4, false);
            if (f[0].empty() || f.size() == 2 || f.size() == 3) throw ItemError{"syntax error!"};
            item.program = f[0];
            item.shortForm = f.size() == 1;
            if (!item.shortForm) {
                item.parameters = f[1];
                if (!ParseMode(f[2], &item.mode))
                    throw ItemError{"Unknown script mode: " + std::string(f[2])};
                if (!ParseStamp(f[3], &item.stamp))
                    throw ItemError{"Invalid time stamp: " + std::string(f[3])};
            }
        } else {
            return;
        }
        item.selectable = owner;
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
        if (!m_options.targetFolder.empty()) r.targetFolder = m_options.targetFolder;
        if (m_options.hasTunnelServers) {
            const std::string& text = m_options.tunnelServers;
            if (text.find_first_of("|\r\n") != std::string::npos)
                throw CConfigException("Tunnel server list cannot contain \"|\" or line breaks: " +
                                       text);
            std::string_view kept = m_config.m_texts.Keep(text);
            Replace({kTargetHkeyName, "SOFTWARE\\Velmora\\Corvane\\Preferences",
                     "proxyServerAddresses", RegItemType::String, kept});
            Replace({"HKEY_CURRENT_USER",
                     "SOFTWARE\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Tunnel",
                     "proxy/Server/Addresses", RegItemType::String, kept});
        }
    }

    void Replace(const RegistryEntry& key) {
        RegistryItem item{key, {}, {}};
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
    LineBuffer m_expanded;
    std::vector<uint32_t> m_marks;  // where the "$" and "|" of a value are
    std::string m_lookedUp;         // the last value from the placeholder lookup
    FieldList m_fields;
    std::string m_fileName;
    LoadOptions m_options;
    Section m_section = Section::None;
    bool m_haveCompany = false, m_haveProduct = false, m_haveProcess = false, m_haveVersion = false;
    bool m_barInRelease = false;  // a release value that placeholders stand for holds a "|"
    bool m_barInValue = false;    // so may the value being expanded
    InstallFor m_fileInstallFor = InstallFor::Unset;
    bool m_filePrompt = false;
    std::unordered_map<std::string, size_t> m_selectableIds;  // by lower-case id
    std::string m_idKey;
    std::unordered_map<std::string, size_t> m_pageIndex;
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
