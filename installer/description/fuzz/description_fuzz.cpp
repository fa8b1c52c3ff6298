// libFuzzer target for the description reader. Beyond "no crash", every description that the
// reader takes (with release data) must be writable and read back equal, and its text must be a
// fixed point of read + write; merging it into itself must keep it writable.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "installer/description/description.h"

using namespace corv::inst;

namespace {

LoadOptions FuzzOptions() {
    LoadOptions o;
    o.windowsVersion = "Windows XP";
    o.placeholders = [](const std::string& name, std::string* value) {
        // A few fixed values, one of which holds a bar and one a further placeholder.
        if (name == "PWD")
            *value = "C:\\work";
        else if (name == "TEMP")
            *value = "C:\\Temp";
        else if (name == "ProgramFilesFolder")
            *value = "C:\\Program Files";
        else if (name == "BAR")
            *value = "a|b";
        else if (name == "SELF")
            *value = "$SELF";
        else
            return false;
        return true;
    };
    return o;
}

[[noreturn]] void Fail(const char* what, const std::string& a, const std::string& b) {
    std::fprintf(stderr, "%s\n--- first:\n%s\n--- second:\n%s\n", what, a.c_str(), b.c_str());
    std::abort();
}

// Placeholders that the reader keeps for the job. Any other "$Name" in a written copy may
// expand when the copy is read again (a release value used before the file defined it, or a
// value the environment now knows), so the exact round trip is checked only without them.
bool OnlyLatePlaceholders(const std::string& text) {
    static const char* const kLate[] = {"targetfolder",    "targethkey",
                                        "startmenufolder", "startmenuprogramsfolder",
                                        "desktopfolder",   "startupfolder"};
    for (size_t pos = text.find('$'); pos != std::string::npos; pos = text.find('$', pos + 1)) {
        size_t end = pos + 1;
        std::string name;
        while (end < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(text[end++])));
        if (name.empty()) continue;
        bool late = false;
        for (const char* l : kLate) late = late || name == l;
        if (!late) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const LoadOptions options = FuzzOptions();
    std::string input(reinterpret_cast<const char*>(data), size);
    CInstallConfig first;
    try {
        first.Parse(input, "fuzz.cfg", options);
    } catch (const CConfigException&) {
        return 0;
    }
    if (!first.HasRelease()) return 0;  // a package without release data is never saved
    std::string text;
    try {
        text = first.ToText();
    } catch (const CConfigException& e) {
        Fail("the reader took what the writer refuses", input, e.Message());
    }
    CInstallConfig merged = first;
    merged.Merge(first);
    try {
        merged.ToText();
    } catch (const CConfigException& e) {
        Fail("a merge made the description unwritable", text, e.Message());
    }

    CInstallConfig second;
    if (!OnlyLatePlaceholders(text)) {
        try {
            second.Parse(text, "fuzz.cfg", options);
            second.ToText();
        } catch (const CConfigException&) {
        }
        return 0;
    }
    try {
        second.Parse(text, "fuzz.cfg", options);
    } catch (const CConfigException& e) {
        Fail("the written text does not read back", text, e.Message());
    }
    if (second != first.InWriterOrder())
        Fail("the round trip changed the description", input, text);
    std::string again = second.ToText();
    if (again != text) Fail("the written text is not a fixed point", text, again);
    return 0;
}
