// The lines the writer makes of single items. The reader builds them too, so that it refuses at
// load time what the installed copy could not hold.
#pragma once

#include <string>
#include <vector>

#include "installer/description/description.h"

namespace corv::inst {

// A value that cannot be written so that it reads back the same.
struct Unwritable {
    std::string reason;
};

// Each throws Unwritable; the line has no line end.
std::string WrittenLine(const RegistryItem& item);
std::string WrittenLine(const FileItem& item);
std::string WrittenLine(const ScriptItem& item);
std::string WrittenLine(const Selectable& selectable);
// The lines of a page's texts.
std::vector<std::string> WrittenLines(const PageText& page);
// "<key>=<value>" of the [Release], [AddRemovePrograms] and [corvinstall] sections.
std::string WrittenKeyLine(const char* key, const std::string& value);

}  // namespace corv::inst
